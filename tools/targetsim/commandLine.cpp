#include "commandLine.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <functional>
#include <sstream>

namespace vesktools::targetsim {
namespace {

constexpr char kDemoDevice[] = "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk";
constexpr char kDemoTimescale[] = "/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01";

constexpr char kHelp[] = R"(Usage: vesktargetsim [options]

Simulates one remote target of vesk: the web service under /veskwebs/ (the
resource list and each syncable device's GET and PUT) and the time-stamp
daemon (the Thrift timestampService on TCP port 9123), answered as
configured, with control requests that change the answers while it runs and
a log of every request the web service received. Runs until SIGTERM or
SIGINT (Ctrl-C), then exits with 0; exits with 1 when it cannot listen, 2
for a bad option or configuration.

Options:
  --config FILE     read the target's configuration from a JSON file (below)
  --address ADDR    listen on ADDR (default 127.0.0.2); overrides the file
  --port N          HTTP port (default 80, since remote URIs carry no port);
                    overrides the file
  --device URI      add a coherent device with this URI (repeatable)
  --timescale URI   add a timescale with this URI (repeatable)
  --threads N       server threads (default 4)
  --log-limit N     keep the last N requests in the log (default 10000)
  --quiet           print nothing per request
  --help            show this text

Without --config, --device and --timescale it serves one device,
  /veskwebs/syncableDevices/pendulo/timekeeper/genericTk
and one timescale,
  /veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01

Configuration file. Every key is optional; null sets a key to its default;
an unknown key is an error.
  {
    "address": "127.0.0.2",
    "httpPort": 80,
    "timestampPort": 9123,        where the time-stamp daemon listens (vesk
                                  asks 9123 only: another port leaves the
                                  target without a daemon for it)
    "resourceList": REPLY,        how GET /veskwebs/resources is answered
    "devices": [
      { "uri": "/veskwebs/syncableDevices/pendulo/timekeeper/genericTk",
                                  required; unique
        "isCoherent": true,
        "coherencyLossCount": 0,
        "members": {},            members added to the device's document,
                                  or taking the place of its own ones
        "get": REPLY,             how the device's GET is answered
        "put": REPLY }            how the device's PUT is answered
    ],
    "timescales": [ "/veskwebs/timescales/pendulo/ptp0/00-1b-21-ff-fe-00-00-01" ],
    "timestampDaemon": DAEMON
  }
  A timescale may also be written {"uri": "..."}.

  REPLY, every key optional:
  {
    "status": 200,        HTTP status, 200 to 999 (204 and 304 carry no body)
    "delayMs": 0,         answer this many milliseconds later; other requests
                          are served meanwhile
    "envelope": "plain",  "plain": the document is the body;
                          "result": the body is {"result": document}
    "error": null,        any JSON; becomes the body's top-level member "error",
                          e.g. {"success":false,"errorCode":-52006,
                                "errorText":"Gone.","errorInfo":{"why":1}}
    "body": null,         the exact body text, in place of all of the above
    "delivery": "whole"   how the answer goes on the wire, for tests of
                          clients facing a broken or hostile peer:
                          "whole": as HTTP says;
                          "nulAfterBody": the body, a NUL byte, "garbage";
                          "stream": chunked, the body, then spaces without end;
                          "hang": no answer, the connection left open;
                          "closeMidBody": half the body, then the end;
                          "hugeContentLength": Content-Length 1000000000,
                          the body, then the end
  }

  DAEMON, every key optional:
  {
    "apiVersion": 2,      what getApiVersion answers (any 32-bit integer);
                          "none": the daemon does not know getApiVersion and
                          answers it with Thrift's UNKNOWN_METHOD
    "offsetNs": 0,        how far its clock is ahead of the host's real-time
                          clock, in ns (up to 2^53 either way); a change moves
                          the clock by the difference
    "driftPpm": 0,        how much faster its clock runs, in parts per million
                          of host time (-1000000 to 1000000, fractions too); a
                          change counts from when it is made, without a jump
    "error": null,        {"code": N, "json": TEXT}: both time requests raise
                          thrift_qzerr with this code (required, any 32-bit
                          integer) and text (default "{}") instead of
                          answering; a text is sent as it is, another JSON
                          value as its JSON text; a patch replaces it whole
    "delayMs": 0,         every answer, getApiVersion's too, waits this long;
                          other connections are served meanwhile
    "timescaleUris": null,
                          the local URIs it names, in place of the timescales'
    "hugeStringLength": false
                          true: both time requests are answered with a
                          string whose length claims 2 GiB; the connection
                          ends right after that length
  }

What it serves, with the media type vnd.qz.syncDomain.v0/json; charset=utf-8:
  GET /veskwebs/resources
      {"version":1,"resources":[{"uri":DEVICE-URI},...,{"uri":TIMESCALE-URI},...]}
      (the devices, then the timescales, in the configuration's order)
  GET DEVICE-URI
      {"version":1,"uri":DEVICE-URI,"isCoherent":true,"coherencyLossCount":0,...}
      then the device's "members"
  PUT DEVICE-URI with a JSON body (chunked, Expect: 100-continue and
      Content-Length bodies alike): answered with the device's document;
      a body that is not JSON gets 400
  Any other target gets 404, another method 405.

What the time-stamp daemon serves (binary protocol, buffered transport), one
thread per connection, for every timescale of the target alike (the protocol
does not name the timescale asked for):
  getApiVersion()                 "apiVersion"
  getTime(id)                     its clock's reading and, as "uri", the first
                                  of its local URIs ("" when it names none);
                                  id is not looked at
  getTimeAndCurrentTimescales()   its clock's reading and all its local URIs
  Its local URIs are the timescales' URIs, which carry no host, unless
  "timescaleUris" names others.

Control requests (JSON in and out; they are not logged):
  GET    /control/state               the whole configuration, in the file's form
  GET    /control/log                 {"dropped":N,"requests":[{"seq":1,"method":..,
                                        "target":..,"version":..,
                                        "headers":[{"name":..,"value":..}],"body":..}]}
  DELETE /control/log                 empty the log
  POST   /control/resourceList        body: a REPLY naming only the keys to change
  POST   /control/devices/DEVICE-URI  body: a device object without "uri", naming
                                      only the keys to change (a REPLY inside is
                                      patched key by key too); DEVICE-URI is
                                      written without its leading '/'
  POST   /control/timestampDaemon     body: a DAEMON naming only the keys to change;
                                      the daemon answers so from its next request
  A bad control body gets 400 and changes nothing.

Examples:
  vesktargetsim --address 127.0.0.3 --port 8080 &
  curl http://127.0.0.3:8080/veskwebs/resources
  curl -X POST -d '{"isCoherent":false,"coherencyLossCount":1}' \
    http://127.0.0.3:8080/control/devices/veskwebs/syncableDevices/pendulo/timekeeper/genericTk
  curl -X POST -d '{"get":{"status":503,"delayMs":2000}}' \
    http://127.0.0.3:8080/control/devices/veskwebs/syncableDevices/pendulo/timekeeper/genericTk
  curl -X POST -d '{"offsetNs":250000,"error":{"code":-52006,"json":{"why":1}}}' \
    http://127.0.0.3:8080/control/timestampDaemon
  curl http://127.0.0.3:8080/control/log
)";

unsigned long long toNumber(const std::string& name, const std::string& text, unsigned long long min,
                            unsigned long long max) {
  const bool digitsOnly =
      !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
  if (!digitsOnly || text.size() > 19 || std::stoull(text) < min || std::stoull(text) > max) {
    throw UsageError("--" + name + " takes a number from " + std::to_string(min) + " to " + std::to_string(max) +
                     ", not '" + text + "'");
  }
  return std::stoull(text);
}

struct Option {
  const char* name;
  bool takesValue;
  std::function<void(CommandLine& commandLine, const std::string& value)> apply;
};

const std::vector<Option>& options() {
  static const std::vector<Option> table = {
      {"help", false, [](CommandLine& c, const std::string&) { c.help = true; }},
      {"quiet", false, [](CommandLine& c, const std::string&) { c.quiet = true; }},
      {"config", true, [](CommandLine& c, const std::string& v) { c.configPath = v; }},
      {"address", true, [](CommandLine& c, const std::string& v) { c.address = v; }},
      {"port", true,
       [](CommandLine& c, const std::string& v) {
         c.httpPort = static_cast<std::uint16_t>(toNumber("port", v, 1, 65535));
       }},
      {"device", true, [](CommandLine& c, const std::string& v) { c.devices.push_back(v); }},
      {"timescale", true, [](CommandLine& c, const std::string& v) { c.timescales.push_back(v); }},
      {"threads", true,
       [](CommandLine& c, const std::string& v) { c.threads = static_cast<unsigned>(toNumber("threads", v, 1, 256)); }},
      {"log-limit", true,
       [](CommandLine& c, const std::string& v) { c.logLimit = toNumber("log-limit", v, 0, 100000000); }},
  };
  return table;
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ConfigError(path + ": cannot be read");
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The URI is what a request names, so two devices may not share one.
void addDevice(TargetConfig& config, const std::string& uri) {
  const bool known = std::any_of(config.devices.begin(), config.devices.end(),
                                 [&](const DeviceConfig& device) { return device.uri == uri; });
  if (uri.empty()) throw ConfigError("--device: the URI must not be empty");
  if (known) throw ConfigError("--device " + uri + ": listed twice");
  DeviceConfig device;
  device.uri = uri;
  config.devices.push_back(device);
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine commandLine;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.compare(0, 2, "--") != 0) throw UsageError("unexpected argument '" + arg + "'");
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const auto option = std::find_if(options().begin(), options().end(),
                                     [&](const Option& o) { return name == o.name; });
    if (option == options().end()) throw UsageError("unknown option '--" + name + "'");
    std::string value;
    if (equals != std::string::npos) {
      if (!option->takesValue) throw UsageError("--" + name + " takes no value");
      value = arg.substr(equals + 1);
    } else if (option->takesValue) {
      if (++i == args.size()) throw UsageError("--" + name + " needs a value");
      value = args[i];
    }
    option->apply(commandLine, value);
  }
  return commandLine;
}

TargetConfig buildTargetConfig(const CommandLine& commandLine) {
  TargetConfig config;
  if (commandLine.configPath) {
    const std::string text = readFile(*commandLine.configPath);
    try {
      config = parseTargetConfig(text);
    } catch (const ConfigError& error) {
      throw ConfigError(*commandLine.configPath + ": " + error.what());
    }
  }
  if (commandLine.address) config.address = *commandLine.address;
  if (commandLine.httpPort) config.httpPort = *commandLine.httpPort;
  for (const std::string& uri : commandLine.devices) addDevice(config, uri);
  for (const std::string& uri : commandLine.timescales) config.timescales.push_back({uri});
  const bool nothingNamed = !commandLine.configPath && commandLine.devices.empty() && commandLine.timescales.empty();
  if (nothingNamed) {
    addDevice(config, kDemoDevice);
    config.timescales.push_back({kDemoTimescale});
  }
  return config;
}

const char* helpText() { return kHelp; }

}  // namespace vesktools::targetsim
