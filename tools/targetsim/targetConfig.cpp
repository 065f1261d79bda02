#include "targetConfig.h"

#include "jsonHandle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <set>

namespace vesktools::targetsim {
namespace {

// One key of a JSON object: how its value is read into S and written from it.
// Every object of the config form is described by a table of these, so
// reading, patching and writing back cannot drift apart.
template <typename S>
struct Field {
  const char* key;
  std::function<void(const cJSON* item, const std::string& path, S& target)> read;
  std::function<cJSON*(const S& source)> write;
};
template <typename S>
using Fields = std::vector<Field<S>>;

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw ConfigError(path + ": " + what);
}

std::string keyPath(const std::string& path, const char* key) {
  return path.empty() ? key : path + "." + key;
}

std::string indexPath(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

template <typename S>
void applyObject(const cJSON* object, const std::string& path, S& target, const Fields<S>& fields) {
  if (!cJSON_IsObject(object)) fail(path.empty() ? "config" : path, "expected an object");
  for (const cJSON* item = object->child; item != nullptr; item = item->next) {
    auto field = std::find_if(fields.begin(), fields.end(),
                              [&](const Field<S>& f) { return std::strcmp(f.key, item->string) == 0; });
    if (field == fields.end()) fail(keyPath(path, item->string), "unknown key");
    field->read(item, keyPath(path, item->string), target);
  }
}

template <typename S>
cJSON* writeObject(const S& source, const Fields<S>& fields) {
  cJSON* object = cJSON_CreateObject();
  for (const Field<S>& field : fields) cJSON_AddItemToObject(object, field.key, field.write(source));
  return object;
}

// A plain member; JSON null gives it the default of a fresh S.
template <typename S, typename T, typename Read, typename Write>
Field<S> plain(const char* key, T S::*member, Read read, Write write) {
  return {key,
          [member, read](const cJSON* item, const std::string& path, S& target) {
            target.*member = cJSON_IsNull(item) ? S{}.*member : static_cast<T>(read(item, path));
          },
          [member, write](const S& source) { return write(source.*member); }};
}

// A member that is itself an object of the config form: a patch changes only
// the keys it names; null resets the whole object.
template <typename S, typename N>
Field<S> nested(const char* key, N S::*member, const Fields<N>& fields) {
  return {key,
          [member, &fields](const cJSON* item, const std::string& path, S& target) {
            if (cJSON_IsNull(item)) {
              target.*member = N{};
              return;
            }
            applyObject(item, path, target.*member, fields);
          },
          [member, &fields](const S& source) { return writeObject(source.*member, fields); }};
}

std::uint64_t readInteger(const cJSON* item, const std::string& path, std::uint64_t min, std::uint64_t max) {
  const bool ok = cJSON_IsNumber(item) && std::floor(item->valuedouble) == item->valuedouble &&
                  item->valuedouble >= static_cast<double>(min) && item->valuedouble <= static_cast<double>(max);
  if (!ok) fail(path, "expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
  return static_cast<std::uint64_t>(item->valuedouble);
}

auto integerIn(std::uint64_t min, std::uint64_t max) {
  return [min, max](const cJSON* item, const std::string& path) { return readInteger(item, path, min, max); };
}

// Signed, and within what a double holds exactly.
std::int64_t readSignedInteger(const cJSON* item, const std::string& path, std::int64_t min, std::int64_t max) {
  const bool ok = cJSON_IsNumber(item) && std::floor(item->valuedouble) == item->valuedouble &&
                  item->valuedouble >= static_cast<double>(min) && item->valuedouble <= static_cast<double>(max);
  if (!ok) fail(path, "expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
  return static_cast<std::int64_t>(item->valuedouble);
}

auto signedIntegerIn(std::int64_t min, std::int64_t max) {
  return [min, max](const cJSON* item, const std::string& path) { return readSignedInteger(item, path, min, max); };
}

auto numberIn(double min, double max) {
  return [min, max](const cJSON* item, const std::string& path) {
    if (!cJSON_IsNumber(item) || item->valuedouble < min || item->valuedouble > max) {
      fail(path, "expected a number from " + std::to_string(static_cast<long long>(min)) + " to " +
                     std::to_string(static_cast<long long>(max)));
    }
    return item->valuedouble;
  };
}

bool readBool(const cJSON* item, const std::string& path) {
  if (!cJSON_IsBool(item)) fail(path, "expected true or false");
  return cJSON_IsTrue(item);
}

std::string readText(const cJSON* item, const std::string& path) {
  if (!cJSON_IsString(item)) fail(path, "expected a string");
  return item->valuestring;
}

std::string readNonEmptyText(const cJSON* item, const std::string& path) {
  std::string text = readText(item, path);
  if (text.empty()) fail(path, "must not be empty");
  return text;
}

// A text is taken as it is, any other JSON value as its text.
std::string readTextOrJson(const cJSON* item, const std::string&) {
  return cJSON_IsString(item) ? item->valuestring : printJson(item);
}

std::string readAnyJson(const cJSON* item, const std::string&) { return printJson(item); }

std::string readObjectJson(const cJSON* item, const std::string& path) {
  if (!cJSON_IsObject(item)) fail(path, "expected an object");
  return printJson(item);
}

bool readEnvelope(const cJSON* item, const std::string& path) {
  const std::string text = cJSON_IsString(item) ? item->valuestring : "";
  if (text != "plain" && text != "result") fail(path, "expected \"plain\" or \"result\"");
  return text == "result";
}

// The config's names of the deliveries, in the enum's order.
constexpr const char* kDeliveryNames[] = {"whole",  "nulAfterBody", "stream",
                                          "hang",   "closeMidBody", "hugeContentLength"};

Delivery readDelivery(const cJSON* item, const std::string& path) {
  const std::string text = cJSON_IsString(item) ? item->valuestring : "";
  for (std::size_t i = 0; i < std::size(kDeliveryNames); ++i) {
    if (text == kDeliveryNames[i]) return static_cast<Delivery>(i);
  }
  std::string names;
  for (const char* name : kDeliveryNames) names += std::string(names.empty() ? "" : ", ") + "\"" + name + "\"";
  fail(path, "expected one of " + names);
}

cJSON* writeDelivery(Delivery delivery) {
  return cJSON_CreateString(kDeliveryNames[static_cast<std::size_t>(delivery)]);
}

// cJSON writes 15 significant digits where they nearly round-trip; these
// keys need every digit, so they are written as raw text.
cJSON* writeSigned(std::int64_t value) { return cJSON_CreateRaw(std::to_string(value).c_str()); }

// The shortest text that reads back as the same number.
cJSON* writeDouble(double value) {
  char text[32];
  for (int digits = 15; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return cJSON_CreateRaw(text);
}
cJSON* writeNumber(std::uint64_t value) { return cJSON_CreateNumber(static_cast<double>(value)); }
cJSON* writeBool(bool value) { return cJSON_CreateBool(value); }
cJSON* writeText(const std::string& value) { return cJSON_CreateString(value.c_str()); }
cJSON* writeJson(const std::string& json) { return parseJson(json).release(); }
cJSON* writeEnvelope(bool result) { return cJSON_CreateString(result ? "result" : "plain"); }

cJSON* writeOptionalText(const std::optional<std::string>& value) {
  return value ? writeText(*value) : cJSON_CreateNull();
}
cJSON* writeOptionalJson(const std::optional<std::string>& value) {
  return value ? writeJson(*value) : cJSON_CreateNull();
}

const Fields<ReplyShape>& replyFields() {
  static const Fields<ReplyShape> fields = {
      plain("status", &ReplyShape::status, integerIn(200, 999), writeNumber),
      plain("delayMs", &ReplyShape::delayMs, integerIn(0, UINT32_MAX), writeNumber),
      plain("envelope", &ReplyShape::resultEnvelope, readEnvelope, writeEnvelope),
      plain("error", &ReplyShape::errorJson, readAnyJson, writeOptionalJson),
      plain("body", &ReplyShape::rawBody, readText, writeOptionalText),
      plain("delivery", &ReplyShape::delivery, readDelivery, writeDelivery),
  };
  return fields;
}

Fields<DeviceConfig> deviceFieldsWithUri(Field<DeviceConfig> uri) {
  return {
      std::move(uri),
      plain("isCoherent", &DeviceConfig::isCoherent, readBool, writeBool),
      plain("coherencyLossCount", &DeviceConfig::coherencyLossCount, integerIn(0, UINT32_MAX), writeNumber),
      plain("members", &DeviceConfig::membersJson, readObjectJson, writeJson),
      nested("get", &DeviceConfig::get, replyFields()),
      nested("put", &DeviceConfig::put, replyFields()),
  };
}

const Fields<DeviceConfig>& deviceFields() {
  static const Fields<DeviceConfig> fields =
      deviceFieldsWithUri(plain("uri", &DeviceConfig::uri, readNonEmptyText, writeText));
  return fields;
}

// The URI is the device's name in every request, so a patch may not change it.
const Fields<DeviceConfig>& devicePatchFields() {
  static const Fields<DeviceConfig> fields = deviceFieldsWithUri(
      {"uri", [](const cJSON*, const std::string& path, DeviceConfig&) { fail(path, "cannot be changed"); },
       [](const DeviceConfig& device) { return writeText(device.uri); }});
  return fields;
}

const Fields<TimescaleConfig>& timescaleFields() {
  static const Fields<TimescaleConfig> fields = {
      plain("uri", &TimescaleConfig::uri, readNonEmptyText, writeText),
  };
  return fields;
}

template <typename T, typename ReadElement>
std::vector<T> readArray(const cJSON* item, const std::string& path, ReadElement readElement) {
  if (!cJSON_IsArray(item)) fail(path, "expected an array");
  std::vector<T> elements;
  for (const cJSON* element = item->child; element != nullptr; element = element->next) {
    elements.push_back(readElement(element, indexPath(path, elements.size())));
  }
  return elements;
}

template <typename T>
cJSON* writeArray(const std::vector<T>& elements, const Fields<T>& fields) {
  cJSON* array = cJSON_CreateArray();
  for (const T& element : elements) cJSON_AddItemToArray(array, writeObject(element, fields));
  return array;
}

constexpr char kNoApiVersion[] = "none";

std::optional<std::int32_t> readApiVersion(const cJSON* item, const std::string& path) {
  if (cJSON_IsString(item) && std::strcmp(item->valuestring, kNoApiVersion) == 0) return std::nullopt;
  if (!cJSON_IsNumber(item)) fail(path, "expected an integer or \"none\"");
  return static_cast<std::int32_t>(readSignedInteger(item, path, INT32_MIN, INT32_MAX));
}

cJSON* writeApiVersion(const std::optional<std::int32_t>& version) {
  return version ? writeSigned(*version) : writeText(kNoApiVersion);
}

const Fields<ForcedError>& forcedErrorFields() {
  static const Fields<ForcedError> fields = {
      plain("code", &ForcedError::code, signedIntegerIn(INT32_MIN, INT32_MAX), writeSigned),
      plain("json", &ForcedError::json, readTextOrJson, writeText),
  };
  return fields;
}

// Replaced whole rather than patched: an error is one thing to raise.
std::optional<ForcedError> readForcedError(const cJSON* item, const std::string& path) {
  ForcedError error;
  applyObject(item, path, error, forcedErrorFields());
  if (cJSON_GetObjectItemCaseSensitive(item, "code") == nullptr) fail(keyPath(path, "code"), "required");
  return error;
}

cJSON* writeForcedError(const std::optional<ForcedError>& error) {
  return error ? writeObject(*error, forcedErrorFields()) : cJSON_CreateNull();
}

std::optional<std::vector<std::string>> readUriList(const cJSON* item, const std::string& path) {
  return readArray<std::string>(item, path, readText);
}

cJSON* writeUriList(const std::optional<std::vector<std::string>>& uris) {
  if (!uris) return cJSON_CreateNull();
  cJSON* array = cJSON_CreateArray();
  for (const std::string& uri : *uris) cJSON_AddItemToArray(array, writeText(uri));
  return array;
}

const Fields<TimestampDaemonConfig>& timestampDaemonFields() {
  static const Fields<TimestampDaemonConfig> fields = {
      plain("apiVersion", &TimestampDaemonConfig::apiVersion, readApiVersion, writeApiVersion),
      plain("offsetNs", &TimestampDaemonConfig::offsetNs, signedIntegerIn(-(INT64_C(1) << 53), INT64_C(1) << 53),
            writeSigned),
      plain("driftPpm", &TimestampDaemonConfig::driftPpm, numberIn(-1e6, 1e6), writeDouble),
      plain("error", &TimestampDaemonConfig::error, readForcedError, writeForcedError),
      plain("delayMs", &TimestampDaemonConfig::delayMs, integerIn(0, UINT32_MAX), writeNumber),
      plain("timescaleUris", &TimestampDaemonConfig::timescaleUris, readUriList, writeUriList),
      plain("hugeStringLength", &TimestampDaemonConfig::hugeStringLength, readBool, writeBool),
  };
  return fields;
}

std::vector<DeviceConfig> readDevices(const cJSON* item, const std::string& path) {
  std::set<std::string> uris;
  return readArray<DeviceConfig>(item, path, [&](const cJSON* element, const std::string& elementPath) {
    DeviceConfig device;
    applyObject(element, elementPath, device, deviceFields());
    if (device.uri.empty()) fail(keyPath(elementPath, "uri"), "required");
    // The URI is what a request names, so two devices may not share one.
    if (!uris.insert(device.uri).second) fail(keyPath(elementPath, "uri"), "listed twice");
    return device;
  });
}

// A timescale is an object, or its URI alone for short.
std::vector<TimescaleConfig> readTimescales(const cJSON* item, const std::string& path) {
  return readArray<TimescaleConfig>(item, path, [](const cJSON* element, const std::string& elementPath) {
    TimescaleConfig timescale;
    if (cJSON_IsString(element)) {
      timescale.uri = readNonEmptyText(element, elementPath);
      return timescale;
    }
    applyObject(element, elementPath, timescale, timescaleFields());
    if (timescale.uri.empty()) fail(keyPath(elementPath, "uri"), "required");
    return timescale;
  });
}

const Fields<TargetConfig>& targetFields() {
  static const Fields<TargetConfig> fields = {
      plain("address", &TargetConfig::address, readNonEmptyText, writeText),
      plain("httpPort", &TargetConfig::httpPort, integerIn(1, 65535), writeNumber),
      plain("timestampPort", &TargetConfig::timestampPort, integerIn(1, 65535), writeNumber),
      nested("resourceList", &TargetConfig::resourceList, replyFields()),
      plain("devices", &TargetConfig::devices, readDevices,
            [](const std::vector<DeviceConfig>& devices) { return writeArray(devices, deviceFields()); }),
      plain("timescales", &TargetConfig::timescales, readTimescales,
            [](const std::vector<TimescaleConfig>& timescales) { return writeArray(timescales, timescaleFields()); }),
      nested("timestampDaemon", &TargetConfig::timestampDaemon, timestampDaemonFields()),
  };
  return fields;
}

JsonHandle parseOrFail(const std::string& jsonText) {
  JsonHandle root = parseJson(jsonText);
  if (!root) throw ConfigError("not a valid JSON text");
  return root;
}

// Applies to a copy first, so a patch with an error changes nothing.
template <typename S>
void patch(const std::string& jsonText, S& target, const Fields<S>& fields) {
  const JsonHandle root = parseOrFail(jsonText);
  S changed = target;
  applyObject(root.get(), "", changed, fields);
  target = std::move(changed);
}

template <typename S>
std::string toJson(const S& source, const Fields<S>& fields) {
  const JsonHandle object(writeObject(source, fields));
  return printJson(object.get());
}

}  // namespace

TargetConfig parseTargetConfig(const std::string& jsonText) {
  TargetConfig config;
  patch(jsonText, config, targetFields());
  return config;
}

void applyDevicePatch(const std::string& jsonText, DeviceConfig& device) {
  patch(jsonText, device, devicePatchFields());
}

void applyReplyPatch(const std::string& jsonText, ReplyShape& reply) { patch(jsonText, reply, replyFields()); }

void applyTimestampDaemonPatch(const std::string& jsonText, TimestampDaemonConfig& daemon) {
  patch(jsonText, daemon, timestampDaemonFields());
}

std::string targetConfigToJson(const TargetConfig& config) { return toJson(config, targetFields()); }
std::string deviceConfigToJson(const DeviceConfig& device) { return toJson(device, deviceFields()); }
std::string replyShapeToJson(const ReplyShape& reply) { return toJson(reply, replyFields()); }
std::string timestampDaemonConfigToJson(const TimestampDaemonConfig& daemon) {
  return toJson(daemon, timestampDaemonFields());
}

}  // namespace vesktools::targetsim
