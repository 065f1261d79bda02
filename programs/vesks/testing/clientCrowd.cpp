#include "clientCrowd.h"

#include <chrono>
#include <stdexcept>
#include <string>

#include "testing/rawConnection.h"
#include "testing/wireBytes.h"
#include "vesksDaemon.h"

namespace vesktest {
namespace {

using vesksapi::testing::RawConnection;
using vesksapi::testing::WireBytes;

constexpr auto kTrickleInterval = std::chrono::seconds(1);

const std::string& infoCall() {
  static const std::string call = vesksapi::testing::callFrame("getTimescaleInfo", 0, WireBytes().stop());
  return call;
}

std::unique_ptr<RawConnection> connectClient() {
  auto connection = std::make_unique<RawConnection>(kServiceSocketName);
  if (!connection->connected()) throw std::runtime_error("a crowd client could not connect");
  return connection;
}

}  // namespace

ClientCrowd::ClientCrowd() : trickler_(&ClientCrowd::trickle, this) {}

ClientCrowd::~ClientCrowd() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  wake_.notify_all();
  trickler_.join();
}

void ClientCrowd::addIdle(int count) {
  for (int i = 0; i < count; ++i) held_.push_back(connectClient());
}

void ClientCrowd::addTrickling(int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int i = 0; i < count; ++i) {
    held_.push_back(connectClient());
    trickling_.push_back({held_.back().get(), 0});
  }
}

void ClientCrowd::addNonReading(int count) {
  for (int i = 0; i < count; ++i) {
    held_.push_back(connectClient());
    held_.back()->send(infoCall());
  }
}

// Every trickling client sends its next byte each interval, until its call
// is sent whole (which the service does not wait for) or the crowd ends.
void ClientCrowd::trickle() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!ending_) {
    for (Trickling& t : trickling_) {
      if (t.sent < infoCall().size()) t.client->send(infoCall().substr(t.sent++, 1));
    }
    wake_.wait_for(lock, kTrickleInterval, [this] { return ending_; });
  }
}

}  // namespace vesktest
