// The HTTP/1.1 listener of a simulated target: accepts connections on one
// address and port, reads each request whole (chunked bodies decoded, and
// "Expect: 100-continue" answered before the body is read), hands it to the
// web service and writes the answer, keeping the connection open as the
// client asks, unless the answer's delivery says to misbehave on the wire.
// Every connection runs on its own strand and an answer's delay is an
// asynchronous wait, so a slow device never holds up the others.
#pragma once

#include "webService.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

namespace vesktools::targetsim {

class HttpServer {
 public:
  // Binds and listens at once; throws boost::system::system_error when it cannot.
  HttpServer(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& endpoint, WebService& service);

  // Accepts connections while the io_context runs; stopping the io_context stops the server.
  void start();

 private:
  void accept();

  boost::asio::io_context& io_;
  boost::asio::ip::tcp::acceptor acceptor_;
  WebService& service_;
};

}  // namespace vesktools::targetsim
