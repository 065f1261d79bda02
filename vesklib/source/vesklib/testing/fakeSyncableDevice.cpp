#include "vesklib/testing/fakeSyncableDevice.h"

#include <new>
#include <stdexcept>
#include <thread>

#include "qzerr/errorDetail.h"

namespace vesklib::testing {

namespace {

// Keeps the in-progress count right whichever way a call leaves.
class InProgress {
 public:
  explicit InProgress(std::atomic<int>& count) : count_(count) { ++count_; }
  ~InProgress() { --count_; }
  InProgress(const InProgress&) = delete;
  InProgress& operator=(const InProgress&) = delete;

 private:
  std::atomic<int>& count_;
};

size_t index(FakeCall call) { return static_cast<size_t>(call); }

void fail(FakeFailure failure, const std::string& uri) {
  switch (failure) {
    case FakeFailure::none:
      return;
    case FakeFailure::qzerrError:
      QZERR_ERROR(qzerr::kCommunicationsFault)
          .channel("qzsyncdomain_debug", "Fake device failure.")
          .add("uri", uri)
          .raise();
    case FakeFailure::standardError:
      throw std::runtime_error("fake device failure");
    case FakeFailure::outOfMemory:
      throw std::bad_alloc();
    case FakeFailure::foreignObject:
      throw 42;
  }
}

}  // namespace

FakeSyncableDevice::FakeSyncableDevice(const std::string& uri)
    : uri_(uri), json_("{\"uri\":\"" + uri + "\"}") {}

void FakeSyncableDevice::setAnswers(const std::vector<FakeAnswer>& answers) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_ = answers;
  nextAnswer_ = 0;
}

void FakeSyncableDevice::setJson(const std::string& json) {
  std::lock_guard<std::mutex> lock(mutex_);
  json_ = json;
}

void FakeSyncableDevice::setDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(mutex_);
  delay_ = delay;
}

void FakeSyncableDevice::setFailure(FakeCall call, FakeFailure failure) {
  std::lock_guard<std::mutex> lock(mutex_);
  failures_[index(call)] = failure;
}

int FakeSyncableDevice::callsOtherThanGetUri() const {
  int total = 0;
  for (const auto& count : calls_) total += count.load();
  return total - calls(FakeCall::getUri);
}

std::string FakeSyncableDevice::lastRequirements() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastRequirements_;
}

std::string FakeSyncableDevice::lastRequirementsDomainUri() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastRequirementsDomainUri_;
}

std::vector<std::string> FakeSyncableDevice::clearedDomainUris() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return clearedDomainUris_;
}

void FakeSyncableDevice::setCoherencyRequirements(const std::string& jsonRequirements,
                                                  const std::string& syncDomainUri) {
  enter(FakeCall::setCoherencyRequirements);
  std::lock_guard<std::mutex> lock(mutex_);
  lastRequirements_ = jsonRequirements;
  lastRequirementsDomainUri_ = syncDomainUri;
}

void FakeSyncableDevice::clearCoherencyRequirements(const std::string& syncDomainUri) noexcept {
  ++calls_[index(FakeCall::clearCoherencyRequirements)];
  std::lock_guard<std::mutex> lock(mutex_);
  clearedDomainUris_.push_back(syncDomainUri);
}

bool FakeSyncableDevice::isCoherent(uint32_t* coherencyLossCount) {
  InProgress inProgress(inProgress_);
  enter(FakeCall::isCoherent);
  std::lock_guard<std::mutex> lock(mutex_);
  const FakeAnswer answer = answers_[nextAnswer_];
  if (nextAnswer_ + 1 < answers_.size()) ++nextAnswer_;
  *coherencyLossCount = answer.coherencyLossCount;
  return answer.isCoherent;
}

const std::string& FakeSyncableDevice::getUri() const noexcept {
  ++calls_[index(FakeCall::getUri)];
  return uri_;
}

std::string FakeSyncableDevice::toJson() {
  InProgress inProgress(inProgress_);
  enter(FakeCall::toJson);
  std::lock_guard<std::mutex> lock(mutex_);
  return json_;
}

void FakeSyncableDevice::enter(FakeCall call) {
  ++calls_[index(call)];
  FakeFailure failure;
  std::chrono::milliseconds delay{0};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failure = failures_[index(call)];
    if (call != FakeCall::setCoherencyRequirements) delay = delay_;
  }
  std::this_thread::sleep_for(delay);
  fail(failure, uri_);
}

}  // namespace vesklib::testing
