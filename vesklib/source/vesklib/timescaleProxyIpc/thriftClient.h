// TimescaleProxyThriftClient: the Thrift connection to one time-stamp daemon:
// a TCP socket, a buffered transport and the binary protocol under the
// generated timestampService client. Construction opens nothing; open()
// connects within 5000 ms and gives every later receive and send 5000 ms;
// close() also drops whatever the connection left unread. A reply whose
// string or list claims more than the client takes, or whose type bytes are
// none of Thrift's, fails with Thrift's protocol exception (SIZE_LIMIT,
// INVALID_DATA) before anything is allocated or stored for it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "timestampService.h"
#include "vesklib/timescaleProxyIpc/thriftClientInterface.h"

namespace apache::thrift::transport {
class TSocket;
class TTransport;
}  // namespace apache::thrift::transport

namespace vesklib {

class TimescaleProxyThriftClient final : public TimescaleProxyThriftClientInterface {
 public:
  // A port outside 0 to 65535 is not refused here: open() fails with
  // TTransportException::BAD_ARGS.
  TimescaleProxyThriftClient(const std::string& host, int32_t port);

  bool isOpen() override;
  void open() override;
  void close() override;
  void getTime(vesklib_Timestamp* timestamp, std::string* uri) override;
  int32_t getApiVersion() override;
  void getTimeAndCurrentTimescales(vesklib_Timestamp* timestamp,
                                   std::vector<std::string>* timescaleUris) override;

 private:
  std::shared_ptr<apache::thrift::transport::TSocket> socket_;
  std::shared_ptr<apache::thrift::transport::TTransport> transport_;
  std::shared_ptr<apache::thrift::protocol::TProtocol> protocol_;
  timestampService::timestampServiceClient client_;
};

}  // namespace vesklib
