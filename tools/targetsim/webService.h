// The web service of a simulated remote target. It answers the resource list
// "GET /veskwebs/resources" and each listed device's GET and PUT as the
// target's configuration says, and the control requests under "/control/"
// that read the request log and change the configuration (the time-stamp
// daemon's included) while the target runs. It knows nothing of sockets: the HTTP server hands it whole requests.
#pragma once

#include "httpMessage.h"
#include "targetState.h"

#include <mutex>
#include <ostream>

namespace vesktools::targetsim {

inline constexpr char kServiceMediaType[] = "vnd.qz.syncDomain.v0/json; charset=utf-8";
inline constexpr char kResourceListTarget[] = "/veskwebs/resources";
inline constexpr char kControlPrefix[] = "/control/";

class WebService {
 public:
  // out receives one line per request answered; null keeps it quiet.
  WebService(TargetState& state, std::ostream* out);

  // Every request except a control request is logged before it is answered.
  HttpReply handle(const HttpRequest& request);

 private:
  HttpReply serve(const HttpRequest& request);
  HttpReply control(const HttpRequest& request);
  HttpReply controlState(const HttpRequest& request, const std::string& rest);
  HttpReply controlLog(const HttpRequest& request, const std::string& rest);
  HttpReply controlClearLog(const HttpRequest& request, const std::string& rest);
  HttpReply controlResourceList(const HttpRequest& request, const std::string& rest);
  HttpReply controlDevice(const HttpRequest& request, const std::string& rest);
  HttpReply controlTimestampDaemon(const HttpRequest& request, const std::string& rest);
  void report(const HttpRequest& request, const HttpReply& reply);

  struct ControlRoute {
    const char* method;
    const char* path;  // after "/control"
    bool takesRest;    // the path is a prefix and the rest names the object
    HttpReply (WebService::*handler)(const HttpRequest& request, const std::string& rest);
  };
  static const ControlRoute kControlRoutes[];

  TargetState& state_;
  std::ostream* out_;
  std::mutex outMutex_;
};

}  // namespace vesktools::targetsim
