#include "webService.h"

#include "jsonHandle.h"

#include <string>

namespace vesktools::targetsim {
namespace {

constexpr char kControlMediaType[] = "application/json";

void setMember(cJSON* object, const std::string& name, cJSON* value) {
  if (cJSON_GetObjectItemCaseSensitive(object, name.c_str()) != nullptr) {
    cJSON_ReplaceItemInObjectCaseSensitive(object, name.c_str(), value);
    return;
  }
  cJSON_AddItemToObject(object, name.c_str(), value);
}

// The device's own document, as a device proxy reads it; the configured
// members come last or take the place of a member of the same name.
JsonHandle deviceDocument(const DeviceConfig& device) {
  JsonHandle document(cJSON_CreateObject());
  cJSON_AddNumberToObject(document.get(), "version", 1);
  cJSON_AddStringToObject(document.get(), "uri", device.uri.c_str());
  cJSON_AddBoolToObject(document.get(), "isCoherent", device.isCoherent);
  cJSON_AddNumberToObject(document.get(), "coherencyLossCount", device.coherencyLossCount);
  JsonHandle members = parseJson(device.membersJson);
  while (cJSON* member = members->child) {
    cJSON_DetachItemViaPointer(members.get(), member);
    const std::string name = member->string;
    setMember(document.get(), name, member);
  }
  return document;
}

JsonHandle resourceListDocument(const std::vector<std::string>& uris) {
  JsonHandle document(cJSON_CreateObject());
  cJSON_AddNumberToObject(document.get(), "version", 1);
  cJSON* resources = cJSON_AddArrayToObject(document.get(), "resources");
  for (const std::string& uri : uris) {
    cJSON* resource = cJSON_CreateObject();
    cJSON_AddStringToObject(resource, "uri", uri.c_str());
    cJSON_AddItemToArray(resources, resource);
  }
  return document;
}

HttpReply shaped(JsonHandle document, const ReplyShape& shape) {
  HttpReply reply;
  reply.status = shape.status;
  reply.contentType = kServiceMediaType;
  reply.delay = std::chrono::milliseconds(shape.delayMs);
  reply.delivery = shape.delivery;
  if (shape.rawBody) {
    reply.body = *shape.rawBody;
    return reply;
  }
  if (shape.resultEnvelope) {
    JsonHandle envelope(cJSON_CreateObject());
    cJSON_AddItemToObject(envelope.get(), "result", document.release());
    document = std::move(envelope);
  }
  if (shape.errorJson) setMember(document.get(), "error", parseJson(*shape.errorJson).release());
  reply.body = printJson(document.get());
  return reply;
}

HttpReply message(unsigned status, const char* contentType, const std::string& text) {
  const JsonHandle document(cJSON_CreateObject());
  cJSON_AddStringToObject(document.get(), "message", text.c_str());
  return {status, contentType, printJson(document.get()), {}};
}

HttpReply controlJson(const std::string& json) { return {200, kControlMediaType, json, {}}; }

// Answers a control request with the object that makePatch changed and gives
// as JSON, or with 400 when the patch is refused.
template <typename MakePatch>
HttpReply patched(MakePatch makePatch) {
  try {
    return controlJson(makePatch());
  } catch (const ConfigError& error) {
    return message(400, kControlMediaType, error.what());
  }
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

const WebService::ControlRoute WebService::kControlRoutes[] = {
    {"GET", "/state", false, &WebService::controlState},
    {"GET", "/log", false, &WebService::controlLog},
    {"DELETE", "/log", false, &WebService::controlClearLog},
    {"POST", "/resourceList", false, &WebService::controlResourceList},
    {"POST", "/devices/", true, &WebService::controlDevice},
    {"POST", "/timestampDaemon", false, &WebService::controlTimestampDaemon},
};

WebService::WebService(TargetState& state, std::ostream* out) : state_(state), out_(out) {}

HttpReply WebService::handle(const HttpRequest& request) {
  const bool isControl = startsWith(request.target, kControlPrefix);
  if (!isControl) state_.log().add(request);
  HttpReply reply = isControl ? control(request) : serve(request);
  report(request, reply);
  return reply;
}

HttpReply WebService::serve(const HttpRequest& request) {
  if (request.target == kResourceListTarget) {
    if (request.method != "GET") return message(405, kServiceMediaType, "The resource list is read with GET.");
    return shaped(resourceListDocument(state_.resourceUris()), state_.resourceList());
  }
  const std::optional<DeviceConfig> device = state_.device(request.target);
  if (!device) return message(404, kServiceMediaType, "No resource at " + request.target + ".");
  if (request.method == "GET") return shaped(deviceDocument(*device), device->get);
  if (request.method != "PUT") return message(405, kServiceMediaType, "A device takes GET and PUT.");
  if (!parseJson(request.body)) return message(400, kServiceMediaType, "The body is not a JSON text.");
  return shaped(deviceDocument(*device), device->put);
}

HttpReply WebService::control(const HttpRequest& request) {
  // The routes' paths start with the '/' that follows "/control".
  const std::string path = request.target.substr(std::char_traits<char>::length(kControlPrefix) - 1);
  bool pathKnown = false;
  for (const ControlRoute& route : kControlRoutes) {
    const bool matches = route.takesRest ? startsWith(path, route.path) : path == route.path;
    if (!matches) continue;
    pathKnown = true;
    if (request.method == route.method) {
      return (this->*route.handler)(request, path.substr(std::char_traits<char>::length(route.path)));
    }
  }
  if (pathKnown) return message(405, kControlMediaType, request.method + " is not served at " + request.target + ".");
  return message(404, kControlMediaType, "No control request at " + request.target + "; see --help.");
}

HttpReply WebService::controlState(const HttpRequest&, const std::string&) { return controlJson(state_.toJson()); }

HttpReply WebService::controlLog(const HttpRequest&, const std::string&) { return controlJson(state_.log().toJson()); }

HttpReply WebService::controlClearLog(const HttpRequest&, const std::string&) {
  state_.log().clear();
  return controlJson(state_.log().toJson());
}

HttpReply WebService::controlResourceList(const HttpRequest& request, const std::string&) {
  return patched([&] { return replyShapeToJson(state_.patchResourceList(request.body)); });
}

HttpReply WebService::controlDevice(const HttpRequest& request, const std::string& rest) {
  const std::string uri = "/" + rest;
  try {
    const std::optional<DeviceConfig> device = state_.patchDevice(uri, request.body);
    if (!device) return message(404, kControlMediaType, "No device " + uri + ".");
    return controlJson(deviceConfigToJson(*device));
  } catch (const ConfigError& error) {
    return message(400, kControlMediaType, error.what());
  }
}

HttpReply WebService::controlTimestampDaemon(const HttpRequest& request, const std::string&) {
  return patched([&] { return timestampDaemonConfigToJson(state_.patchTimestampDaemon(request.body)); });
}

void WebService::report(const HttpRequest& request, const HttpReply& reply) {
  if (out_ == nullptr) return;
  std::lock_guard<std::mutex> lock(outMutex_);
  *out_ << request.method << ' ' << request.target << " -> " << reply.status;
  if (reply.delay.count() > 0) *out_ << " after " << reply.delay.count() << " ms";
  *out_ << std::endl;
}

}  // namespace vesktools::targetsim
