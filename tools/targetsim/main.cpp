// vesktargetsim: a simulated remote target for end-to-end tests, the demo and
// the benchmarks. Run with --help for the options, the config file and the
// control requests.

#include "commandLine.h"
#include "httpServer.h"
#include "targetState.h"
#include "timestampDaemon.h"
#include "webService.h"

#include <boost/asio/signal_set.hpp>

#include <csignal>
#include <iostream>
#include <optional>
#include <thread>

namespace {

namespace asio = boost::asio;
using namespace vesktools::targetsim;

constexpr char kProgram[] = "vesktargetsim";

std::string hostPort(const asio::ip::tcp::endpoint& endpoint) {
  const std::string host = endpoint.address().to_string();
  const std::string port = std::to_string(endpoint.port());
  return endpoint.address().is_v6() ? "[" + host + "]:" + port : host + ":" + port;
}

void printBanner(const TargetConfig& config, const asio::ip::tcp::endpoint& http,
                 const asio::ip::tcp::endpoint& timestamp) {
  std::cout << kProgram << ": web service at http://" << hostPort(http) << "/veskwebs/ with "
            << config.devices.size() << " device(s) and " << config.timescales.size() << " timescale(s)\n"
            << kProgram << ": time-stamp daemon at " << hostPort(timestamp) << "\n"
            << kProgram << ": state at http://" << hostPort(http) << "/control/state, log at /control/log;"
            << " stop with Ctrl-C" << std::endl;
}

int run(const CommandLine& commandLine, const TargetConfig& config) {
  boost::system::error_code error;
  const asio::ip::address address = asio::ip::make_address(config.address, error);
  if (error) {
    std::cerr << kProgram << ": '" << config.address << "' is not an IP address\n";
    return 2;
  }
  const asio::ip::tcp::endpoint httpEndpoint(address, config.httpPort);
  const asio::ip::tcp::endpoint timestampEndpoint(address, config.timestampPort);

  TargetState state(config, commandLine.logLimit);
  WebService service(state, commandLine.quiet ? nullptr : &std::cout);
  asio::io_context io(static_cast<int>(commandLine.threads));
  // Before anything listens: whoever sees the port open may stop us at once.
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&io](const boost::system::error_code&, int) { io.stop(); });

  // The daemon first, so that a target whose web service answers is whole.
  std::optional<TimestampDaemon> timestampDaemon;
  try {
    timestampDaemon.emplace(state, config.address, config.timestampPort, commandLine.quiet);
  } catch (const std::runtime_error& failure) {
    std::cerr << kProgram << ": cannot listen on " << hostPort(timestampEndpoint) << ": " << failure.what() << "\n";
    return 1;
  }
  std::optional<HttpServer> http;
  try {
    http.emplace(io, httpEndpoint, service);
  } catch (const boost::system::system_error& failure) {
    std::cerr << kProgram << ": cannot listen on " << hostPort(httpEndpoint) << ": " << failure.code().message()
              << "\n";
    return 1;
  }
  http->start();
  if (!commandLine.quiet) printBanner(config, httpEndpoint, timestampEndpoint);

  std::vector<std::thread> workers;
  for (unsigned i = 1; i < commandLine.threads; ++i) workers.emplace_back([&io] { io.run(); });
  io.run();
  for (std::thread& worker : workers) worker.join();
  timestampDaemon.reset();
  if (!commandLine.quiet) std::cout << kProgram << ": stopped" << std::endl;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const CommandLine commandLine = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (commandLine.help) {
      std::cout << helpText();
      return 0;
    }
    return run(commandLine, buildTargetConfig(commandLine));
  } catch (const UsageError& error) {
    std::cerr << kProgram << ": " << error.what() << "\nTry '" << kProgram << " --help'.\n";
  } catch (const ConfigError& error) {
    std::cerr << kProgram << ": " << error.what() << "\n";
  }
  return 2;
}
