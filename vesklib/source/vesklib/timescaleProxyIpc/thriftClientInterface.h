// The connection of a remote timescale proxy to its target's time-stamp
// daemon, behind an interface so that the session can be driven without one.
// Calls report failures only by Thrift's exceptions (transport, protocol,
// application) and the daemon's thriftQzerr::thrift_qzerr; the outputs of a
// call are written only when it succeeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vesklib/timestamp.h"

namespace vesklib {

class TimescaleProxyThriftClientInterface {
 public:
  virtual ~TimescaleProxyThriftClientInterface() = default;

  virtual bool isOpen() = 0;
  // Opening an open connection does nothing.
  virtual void open() = 0;
  virtual void close() = 0;
  // The reading of the daemon's getTime(0), and the local URI it names.
  virtual void getTime(vesklib_Timestamp* timestamp, std::string* uri) = 0;
  virtual int32_t getApiVersion() = 0;
  // The reading and the local URIs of every timescale the daemon serves;
  // the list replaces the vector's contents.
  virtual void getTimeAndCurrentTimescales(vesklib_Timestamp* timestamp,
                                           std::vector<std::string>* timescaleUris) = 0;
};

}  // namespace vesklib
