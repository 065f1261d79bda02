#include "vesklib/timescaleProxyIpc/thriftClient.h"

#include <utility>

#include <thrift/TOutput.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSocket.h>

#include "wireCheckingProtocol.h"

namespace vesklib {

namespace {

// Also the connect time-out: without one a host that drops packets would hold
// each of the session's five attempts for the system's whole connect time.
constexpr int kSocketTimeoutMs = 5000;
// What the daemon is always asked for; other ids mean something to it alone.
constexpr int32_t kTimeId = 0;
// A daemon's lengths are bounded: far above a URI or an error detail, and a
// target's list of timescales.
constexpr rpc::WireLimits kWireLimits{/*stringBytes=*/1024 * 1024, /*containerElements=*/1024};

// Thrift also reports on its global output, to standard error, what it then
// throws (a refused connect, a reset); the session turns those exceptions into
// statuses, so that output is discarded for the whole process from the moment
// the library loads. This object lives here because every user of Thrift in
// the library links this file.
void discardThriftOutput(const char*) {}

struct ThriftOutputSilencer {
  ThriftOutputSilencer() { apache::thrift::GlobalOutput.setOutputFunction(discardThriftOutput); }
} const thriftOutputSilencer;

template <typename Reading>
void copyReading(const Reading& reading, vesklib_Timestamp* timestamp) {
  timestamp->seconds = reading.seconds;
  timestamp->nanos = reading.nanos;
  timestamp->fractionalNanos = reading.fractionalNanos;
  timestamp->isNegative = reading.isNegative;
}

}  // namespace

TimescaleProxyThriftClient::TimescaleProxyThriftClient(const std::string& host, int32_t port)
    : socket_(std::make_shared<apache::thrift::transport::TSocket>(host, port)),
      transport_(std::make_shared<apache::thrift::transport::TBufferedTransport>(socket_)),
      protocol_(std::make_shared<rpc::WireCheckingProtocol>(transport_, kWireLimits)),
      client_(protocol_) {
  socket_->setConnTimeout(kSocketTimeoutMs);
}

bool TimescaleProxyThriftClient::isOpen() { return transport_->isOpen(); }

void TimescaleProxyThriftClient::open() {
  if (!transport_->isOpen()) transport_->open();
  socket_->setRecvTimeout(kSocketTimeoutMs);
  socket_->setSendTimeout(kSocketTimeoutMs);
}

void TimescaleProxyThriftClient::close() {
  transport_->close();
  // The buffered transport keeps what it read and did not use (the rest of a
  // reply that failed to parse) across a close; the next connection's reply
  // must not be read behind it.
  uint32_t unread = 0;
  transport_->borrow(nullptr, &unread);
  transport_->consume(unread);
}

void TimescaleProxyThriftClient::getTime(vesklib_Timestamp* timestamp, std::string* uri) {
  timestampService::TimestampInfo reading;
  client_.getTime(reading, kTimeId);
  copyReading(reading, timestamp);
  *uri = reading.uri;
}

int32_t TimescaleProxyThriftClient::getApiVersion() { return client_.getApiVersion(); }

void TimescaleProxyThriftClient::getTimeAndCurrentTimescales(vesklib_Timestamp* timestamp,
                                                             std::vector<std::string>* timescaleUris) {
  timestampService::TimeInfo reading;
  client_.getTimeAndCurrentTimescales(reading);
  copyReading(reading.timestamp, timestamp);
  *timescaleUris = std::move(reading.timescaleUris);
}

}  // namespace vesklib
