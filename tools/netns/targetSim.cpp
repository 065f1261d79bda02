#include "targetSim.h"

#include "childProcess.h"

#include <cjson/cJSON.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>

namespace vesktest {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(5);
constexpr char kConfigFile[] = "/config.json";

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};

bool acceptsConnections(const std::string& address, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    throw std::runtime_error("TargetSim: '" + address + "' is not an IP address");
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);
  const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool connected = connect(fd, found->ai_addr, found->ai_addrlen) == 0;
  close(fd);
  return connected;
}

std::string text(const cJSON* object, const char* key) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, key);
  return cJSON_IsString(item) ? item->valuestring : "";
}

// The simulator reads the same text; what it refuses, it refuses at its start.
std::uint16_t timestampPortOf(const std::string& configJson) {
  const std::unique_ptr<cJSON, JsonDeleter> root(cJSON_Parse(configJson.c_str()));
  const cJSON* port = cJSON_GetObjectItemCaseSensitive(root.get(), "timestampPort");
  if (!cJSON_IsNumber(port) || port->valuedouble < 1 || port->valuedouble > 65535) return TargetSim::kTimestampPort;
  return static_cast<std::uint16_t>(port->valuedouble);
}

LoggedRequest toLoggedRequest(const cJSON* entry) {
  LoggedRequest request{text(entry, "method"), text(entry, "target"), text(entry, "version"), {}, text(entry, "body")};
  const cJSON* header = nullptr;
  cJSON_ArrayForEach(header, cJSON_GetObjectItemCaseSensitive(entry, "headers")) {
    request.headers.emplace_back(text(header, "name"), text(header, "value"));
  }
  return request;
}

}  // namespace

const char* targetSimPath() { return VESK_TARGETSIM_PATH; }

std::string LoggedRequest::header(const std::string& name) const {
  for (const auto& [headerName, value] : headers) {
    if (strcasecmp(headerName.c_str(), name.c_str()) == 0) return value;
  }
  return "";
}

bool LoggedRequest::hasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (strcasecmp(header.first.c_str(), name.c_str()) == 0) return true;
  }
  return false;
}

TargetSim::TargetSim(const std::string& configJson, const std::string& address,
                     const std::vector<std::string>& extraArgs)
    : address_(address), timestampPort_(timestampPortOf(configJson)), configDir_(makeScratchDir("vesktargetsim")) {
  const std::string configPath = configDir_ + kConfigFile;
  if (!(std::ofstream(configPath) << configJson)) {
    rmdir(configDir_.c_str());
    throw std::runtime_error("TargetSim: cannot write " + configPath);
  }
  std::vector<std::string> args = {targetSimPath(), "--config", configPath, "--address", address,
                                   "--port", std::to_string(kHttpPort), "--quiet"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  try {
    if (pid_ < 0) throw std::runtime_error("TargetSim: fork: " + std::string(strerror(errno)));
    waitUntilListening();
  } catch (...) {
    cleanUp();
    throw;
  }
}

// A simulator that did not end cleanly (a sanitizer's finding, a crash) fails
// the test that ran it; a test that stopped it itself checks the status itself.
TargetSim::~TargetSim() {
  const bool stoppedHere = !waitStatus_;
  cleanUp();
  if (stoppedHere && !(WIFEXITED(*waitStatus_) && WEXITSTATUS(*waitStatus_) == 0)) {
    ADD_FAILURE() << "vesktargetsim on " << address_ << " ended with " << describeWaitStatus(*waitStatus_);
  }
}

void TargetSim::cleanUp() {
  if (pid_ > 0) stop();
  std::remove((configDir_ + kConfigFile).c_str());
  rmdir(configDir_.c_str());
}

void TargetSim::waitUntilListening() {
  const auto deadline = Clock::now() + kStartTimeout;
  while (!acceptsConnections(address_, kHttpPort) || !acceptsConnections(address_, timestampPort_)) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      waitStatus_ = status;
      throw std::runtime_error("vesktargetsim ended during its start on " + address_ + " (" +
                               describeWaitStatus(status) + ")");
    }
    if (Clock::now() > deadline) throw std::runtime_error("vesktargetsim does not listen on " + address_);
    std::this_thread::sleep_for(kPollInterval);
  }
}

int TargetSim::stop(int signal) {
  if (waitStatus_) return *waitStatus_;
  kill(pid_, signal);
  waitStatus_ = waitWithDeadline(pid_, Clock::now() + kStopTimeout);
  return *waitStatus_;
}

std::string TargetSim::url(const std::string& path) const {
  const bool ipv6 = address_.find(':') != std::string::npos;
  return "http://" + (ipv6 ? "[" + address_ + "]" : address_) + path;
}

std::string TargetSim::controlUrl(const std::string& path) const { return url("/control" + path); }

HttpResult TargetSim::controlOrThrow(const std::string& method, const std::string& path,
                                     const std::string& body) const {
  HttpResult result = httpRequest(method, controlUrl(path), body);
  if (result.status != 200) {
    throw std::runtime_error(method + " " + controlUrl(path) + ": " + std::to_string(result.status) + " " +
                             result.body);
  }
  return result;
}

std::vector<LoggedRequest> TargetSim::requests() const {
  const std::string json = controlOrThrow("GET", "/log", "").body;
  const std::unique_ptr<cJSON, JsonDeleter> root(cJSON_Parse(json.c_str()));
  std::vector<LoggedRequest> requests;
  const cJSON* entry = nullptr;
  cJSON_ArrayForEach(entry, cJSON_GetObjectItemCaseSensitive(root.get(), "requests")) {
    requests.push_back(toLoggedRequest(entry));
  }
  return requests;
}

void TargetSim::clearRequests() const { controlOrThrow("DELETE", "/log", ""); }

void TargetSim::updateDevice(const std::string& deviceUri, const std::string& patchJson) const {
  const std::string path = deviceUri.empty() || deviceUri[0] != '/' ? deviceUri : deviceUri.substr(1);
  controlOrThrow("POST", "/devices/" + path, patchJson);
}

void TargetSim::updateResourceList(const std::string& patchJson) const {
  controlOrThrow("POST", "/resourceList", patchJson);
}

void TargetSim::updateTimestampDaemon(const std::string& patchJson) const {
  controlOrThrow("POST", "/timestampDaemon", patchJson);
}

std::string TargetSim::state() const { return controlOrThrow("GET", "/state", "").body; }

}  // namespace vesktest
