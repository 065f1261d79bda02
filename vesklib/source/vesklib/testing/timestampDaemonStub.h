// TimestampDaemonStub: a time-stamp daemon (the timestampService over TCP,
// binary protocol, buffered transport) inside the calling process, for tests
// and the simulated target. Its behaviour can be changed at any time: the API
// version (or none: getApiVersion unknown), the URIs it answers with, a forced
// thrift_qzerr, a reply delay and a hostile string length. It counts
// connections and calls. It listens once the constructor returns and stops,
// ending every connection, when destroyed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "timestampService_types.h"

namespace vesklib::testing {

struct TimestampDaemonBehaviour {
  struct Error {
    int32_t code;
    std::string json;
  };

  // Unset: the daemon does not know getApiVersion (UNKNOWN_METHOD).
  std::optional<int32_t> apiVersion = 2;
  // The local URI that getTime names as read.
  std::string readUri;
  // What getTimeAndCurrentTimescales lists.
  std::vector<std::string> timescaleUris;
  // The daemon's clock; the host's real-time clock unless replaced.
  std::function<timestampService::Timestamp()> clock;
  // Raised by both time requests instead of answering.
  std::optional<Error> error;
  // Waited before each answer (cut short when the stub stops).
  std::chrono::milliseconds replyDelay{0};
  // Both time requests are answered with a string whose length claims 2 GiB
  // and that never comes: the connection ends after its length.
  bool hugeStringLength = false;
};

// A reading as the daemon sends it.
timestampService::Timestamp wireTimestamp(int64_t seconds, int32_t nanos, int32_t fractionalNanos,
                                          bool isNegative);

struct TimestampDaemonCounts {
  int connections = 0;
  int getApiVersion = 0;
  int getTime = 0;
  int getTimeAndCurrentTimescales = 0;
  int32_t lastGetTimeId = -1;
};

class TimestampDaemonStub {
 public:
  // Throws Thrift's TTransportException when it cannot listen.
  TimestampDaemonStub(const std::string& host, int port, TimestampDaemonBehaviour behaviour);
  TimestampDaemonStub(const TimestampDaemonStub&) = delete;
  TimestampDaemonStub& operator=(const TimestampDaemonStub&) = delete;
  ~TimestampDaemonStub();

  // Applies to requests that arrive from now on; one already waiting out its
  // delay answers as it would have.
  void setBehaviour(TimestampDaemonBehaviour behaviour);
  TimestampDaemonCounts counts() const;

  class Server;  // the running daemon, known only to its source

 private:
  std::unique_ptr<Server> server_;
};

}  // namespace vesklib::testing
