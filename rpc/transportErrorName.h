// The name of a Thrift transport failure's type, as both ends of our remote
// calls write it into a status detail ("TTransportException::NOT_OPEN"). A
// type outside Thrift's eight gives the name of UNKNOWN.
#pragma once

namespace rpc {

const char* transportErrorName(int type);

}  // namespace rpc
