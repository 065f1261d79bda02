#include "vesksapi/client/sessionProxy.h"

#include <cstdint>
#include <iterator>

#include <thrift/transport/TTransportException.h>

#include "qzerr/errorDetail.h"
#include "thriftQzerr_types.h"
#include "transportErrorName.h"

namespace vesksapi {

namespace {

using apache::thrift::TException;
using apache::thrift::transport::TTransportException;

// The daemon's own status: its code by the status rules, its text in every
// case (a daemon status without text reads as an empty detail, "{}").
void recordDaemonStatus(qzerr_Status* status, const thriftQzerr::thrift_qzerr& error) {
  qzerr_setCode(status, error.code);
  qzerr_resetJson(status, error.json.empty() ? nullptr : error.json.c_str());
}

void recordTransportFailure(qzerr_Status* status, const qzerr_ErrorSite& site, const TTransportException& error) {
  const int32_t type = error.getType();
  qzerr::ErrorDetail(status, qzerr::kCommunicationsFault.code, site)
      .addTopLevel("std_exception_what", error.what())
      .channel("qzsyncdomain_debug")
      .add("type_code", type)
      .add("type", rpc::transportErrorName(type));
}

void recordThriftFailure(qzerr_Status* status, const qzerr_ErrorSite& site, const TException& error) {
  qzerr::ErrorDetail(status, qzerr::kCommunicationsFault.code, site)
      .addTopLevel("std_exception_what", error.what())
      .channel("qzsyncdomain_debug");
}

// Ends the call's connection however the call ends.
class ConnectionCloser {
 public:
  explicit ConnectionCloser(ThriftClientInterface& client) : client_(client) {}
  ConnectionCloser(const ConnectionCloser&) = delete;
  ConnectionCloser& operator=(const ConnectionCloser&) = delete;
  ~ConnectionCloser() { client_.close(); }

 private:
  ThriftClientInterface& client_;
};

}  // namespace

SessionProxy::SessionProxy(const std::shared_ptr<ThriftClientInterface>& client) : client_(client) {}

// The connection is closed, then the mutex released, before a failure is
// written into the status.
template <typename Result, typename Call>
Result SessionProxy::remoteCall(qzerr_Status* status, const qzerr_ErrorSite& site, Call call) {
  if (status->code < 0) return Result();
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    client_->open();
    ConnectionCloser closer(*client_);
    return call(*client_);
  } catch (const thriftQzerr::thrift_qzerr& error) {
    recordDaemonStatus(status, error);
  } catch (const TTransportException& error) {
    recordTransportFailure(status, site, error);
  } catch (const TException& error) {
    recordThriftFailure(status, site, error);
  } catch (...) {
    qzerr_statusFromCurrentException(status);
  }
  return Result();
}

#define VESKSAPI_SESSION_SYMBOL(Result, name, parameters, arguments)                                 \
  Result SessionProxy::name parameters {                                                             \
    return remoteCall<Result>(status, QZERR_SITE(qzerr::kCommunicationsFault),                       \
                              [&](ThriftClientInterface& client) { return client.name arguments; }); \
  }
#include "vesksapi/client/sessionSymbols.h"
#undef VESKSAPI_SESSION_SYMBOL

}  // namespace vesksapi
