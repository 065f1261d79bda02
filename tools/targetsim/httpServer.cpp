#include "httpServer.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <cstdio>
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

constexpr char kNulTail[] = "\0garbage";
constexpr char kHugeContentLength[] = "Content-Length: 1000000000";
constexpr std::size_t kStreamChunkBytes = 64 * 1024;

// The head of an answer that misbehaves, written by hand: beast would not
// frame a body this way. `framing` is its Content-Length or Transfer-Encoding line.
std::string rawHead(const HttpReply& reply, const std::string& framing) {
  return "HTTP/1.1 " + std::to_string(reply.status) + " " +
         std::string(http::obsolete_reason(http::int_to_status(reply.status))) +
         "\r\nServer: vesktargetsim\r\nContent-Type: " + reply.contentType + "\r\n" + framing +
         "\r\nConnection: close\r\n\r\n";
}

// One chunk of a chunked body; nothing for no data, since an empty chunk
// would end the body.
std::string chunk(const std::string& data) {
  if (data.empty()) return "";
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", data.size());
  return size + data + "\r\n";
}

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
    reply_ = service_.handle(toHttpRequest(request));
    prepare(reply_, request.version(), request.keep_alive());
    if (reply_.delay.count() == 0) return write();
    timer_.expires_after(reply_.delay);
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
      if (reply.delivery == Delivery::nulAfterBody) response_.body().append(kNulTail, sizeof kNulTail - 1);
    }
    response_.keep_alive(keepAlive);
    response_.prepare_payload();
  }

  void onDelayed(beast::error_code error) {
    if (error) return close();
    write();
  }

  void write() {
    const std::string& body = reply_.body;
    switch (reply_.delivery) {
      case Delivery::hang:
        return drain();
      case Delivery::stream:
        return writeRaw(rawHead(reply_, "Transfer-Encoding: chunked") + chunk(body), &Session::onStreamed);
      case Delivery::closeMidBody:
        return writeRaw(rawHead(reply_, "Content-Length: " + std::to_string(body.size())) +
                            body.substr(0, body.size() / 2),
                        &Session::onRawWritten);
      case Delivery::hugeContentLength:
        return writeRaw(rawHead(reply_, kHugeContentLength) + body, &Session::onRawWritten);
      default:
        http::async_write(stream_, response_, beast::bind_front_handler(&Session::onWritten, shared_from_this()));
    }
  }

  void writeRaw(std::string bytes, void (Session::*then)(beast::error_code, std::size_t)) {
    raw_ = std::move(bytes);
    asio::async_write(stream_, asio::buffer(raw_), beast::bind_front_handler(then, shared_from_this()));
  }

  // Spaces keep the body valid JSON so far: only a limit of the client's ends it.
  void onStreamed(beast::error_code error, std::size_t) {
    if (error) return close();
    writeRaw(chunk(std::string(kStreamChunkBytes, ' ')), &Session::onStreamed);
  }

  void onRawWritten(beast::error_code, std::size_t) { close(); }

  // Reads and drops whatever comes until the peer hangs up.
  void drain() {
    stream_.async_read_some(asio::buffer(drained_), beast::bind_front_handler(&Session::onDrained, shared_from_this()));
  }

  void onDrained(beast::error_code error, std::size_t) {
    if (error) return close();
    drain();
  }

  void onWritten(beast::error_code error, std::size_t) {
    if (error || !response_.keep_alive()) return close();
    readHeader();
  }

  // A request that does not parse is answered 400 and ends the connection;
  // a peer that hangs up just ends it.
  void fail(beast::error_code error) {
    if (!isMalformed(error)) return close();
    reply_ = {400, "text/plain", "Malformed request: " + error.message() + "\n", {}};
    prepare(reply_, 11, false);
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
  HttpReply reply_;
  http::response<http::string_body> response_;
  std::string raw_;  // what a misbehaving answer writes next
  char drained_[4096];
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
