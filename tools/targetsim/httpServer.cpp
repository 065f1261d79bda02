#include "httpServer.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <memory>
#include <optional>

namespace vesktools::targetsim {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

constexpr std::uint64_t kBodyLimit = 16 * 1024 * 1024;

bool expectsContinue(const http::request<http::string_body>& request) {
  return request.version() >= 11 && beast::iequals(request[http::field::expect], "100-continue");
}

HttpRequest toHttpRequest(const http::request<http::string_body>& request) {
  HttpRequest result;
  result.method = std::string(request.method_string());
  result.target = std::string(request.target());
  result.version = "HTTP/" + std::to_string(request.version() / 10) + "." + std::to_string(request.version() % 10);
  for (const auto& field : request) result.headers.emplace_back(field.name_string(), field.value());
  result.body = request.body();
  return result;
}

// The parser refused what the peer sent (as opposed to the peer going away).
bool isMalformed(beast::error_code error) {
  const bool fromParser = error.category() == http::make_error_code(http::error::bad_method).category();
  return fromParser && error != http::error::end_of_stream && error != http::error::partial_message;
}

// A status whose answer the protocol forbids to carry a body.
bool mustBeEmpty(unsigned status) { return status < 200 || status == 204 || status == 304; }

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket&& socket, WebService& service)
      : stream_(std::move(socket)), timer_(stream_.get_executor()), service_(service) {}

  void start() {
    asio::dispatch(stream_.get_executor(), beast::bind_front_handler(&Session::readHeader, shared_from_this()));
  }

 private:
  void readHeader() {
    parser_.emplace();
    parser_->body_limit(kBodyLimit);
    http::async_read_header(stream_, buffer_, *parser_,
                            beast::bind_front_handler(&Session::onHeader, shared_from_this()));
  }

  void onHeader(beast::error_code error, std::size_t) {
    if (error) return fail(error);
    if (!expectsContinue(parser_->get())) return readBody();
    continue_ = {http::status::continue_, parser_->get().version()};
    http::async_write(stream_, continue_, beast::bind_front_handler(&Session::onContinueSent, shared_from_this()));
  }

  void onContinueSent(beast::error_code error, std::size_t) {
    if (error) return close();
    readBody();
  }

  void readBody() {
    http::async_read(stream_, buffer_, *parser_, beast::bind_front_handler(&Session::onBody, shared_from_this()));
  }

  void onBody(beast::error_code error, std::size_t) {
    if (error) return fail(error);
    const http::request<http::string_body> request = parser_->release();
    const HttpReply reply = service_.handle(toHttpRequest(request));
    prepare(reply, request.version(), request.keep_alive());
    if (reply.delay.count() == 0) return write();
    timer_.expires_after(reply.delay);
    timer_.async_wait(beast::bind_front_handler(&Session::onDelayed, shared_from_this()));
  }

  void prepare(const HttpReply& reply, unsigned version, bool keepAlive) {
    response_ = {};
    response_.version(version);
    response_.result(reply.status);
    response_.set(http::field::server, "vesktargetsim");
    if (!mustBeEmpty(reply.status)) {
      response_.set(http::field::content_type, reply.contentType);
      response_.body() = reply.body;
    }
    response_.keep_alive(keepAlive);
    response_.prepare_payload();
  }

  void onDelayed(beast::error_code error) {
    if (error) return close();
    write();
  }

  void write() {
    http::async_write(stream_, response_, beast::bind_front_handler(&Session::onWritten, shared_from_this()));
  }

  void onWritten(beast::error_code error, std::size_t) {
    if (error || !response_.keep_alive()) return close();
    readHeader();
  }

  // A request that does not parse is answered 400 and ends the connection;
  // a peer that hangs up just ends it.
  void fail(beast::error_code error) {
    if (!isMalformed(error)) return close();
    prepare({400, "text/plain", "Malformed request: " + error.message() + "\n", {}}, 11, false);
    write();
  }

  void close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
  }

  beast::tcp_stream stream_;
  asio::steady_timer timer_;
  WebService& service_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  http::response<http::empty_body> continue_;
  http::response<http::string_body> response_;
};

}  // namespace

HttpServer::HttpServer(asio::io_context& io, const tcp::endpoint& endpoint, WebService& service)
    : io_(io), acceptor_(asio::make_strand(io)), service_(service) {
  acceptor_.open(endpoint.protocol());
  acceptor_.set_option(asio::socket_base::reuse_address(true));
  acceptor_.bind(endpoint);
  acceptor_.listen(asio::socket_base::max_listen_connections);
}

void HttpServer::start() { accept(); }

void HttpServer::accept() {
  acceptor_.async_accept(asio::make_strand(io_), [this](beast::error_code error, tcp::socket socket) {
    if (!error) std::make_shared<Session>(std::move(socket), service_)->start();
    if (acceptor_.is_open()) accept();
  });
}

}  // namespace vesktools::targetsim
