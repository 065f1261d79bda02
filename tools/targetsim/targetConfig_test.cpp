#include "targetConfig.h"

#include <gtest/gtest.h>

namespace vesktools::targetsim {
namespace {

constexpr char kFullConfig[] = R"({
  "address": "127.0.0.4",
  "httpPort": 8080,
  "timestampPort": 9124,
  "resourceList": {"status": 503, "delayMs": 10},
  "devices": [
    {"uri": "/veskwebs/syncableDevices/p/t/a", "isCoherent": false, "coherencyLossCount": 4294967295,
     "members": {"name": "a", "version": 2},
     "get": {"envelope": "result", "error": {"success": false, "errorCode": -52006}},
     "put": {"body": "", "status": 204, "delivery": "closeMidBody"}},
    {"uri": "/veskwebs/syncableDevices/p/t/b"}
  ],
  "timescales": ["/veskwebs/timescales/p/tr/gm", {"uri": "/veskwebs/timescales/p/tr/gm2"}],
  "timestampDaemon": {"apiVersion": "none", "offsetNs": -9007199254740992, "driftPpm": -12.5,
                      "error": {"code": -2147483648, "json": {"a": [1]}}, "delayMs": 5,
                      "timescaleUris": ["/x", ""], "hugeStringLength": true}
})";

TEST(TargetConfig, ReadsEveryKeyAndWritesTheSameConfigBack) {
  const TargetConfig config = parseTargetConfig(kFullConfig);
  EXPECT_EQ(config.address, "127.0.0.4");
  EXPECT_EQ(config.httpPort, 8080);
  EXPECT_EQ(config.resourceList.status, 503u);
  EXPECT_EQ(config.resourceList.delayMs, 10u);
  ASSERT_EQ(config.devices.size(), 2u);
  const DeviceConfig& a = config.devices[0];
  EXPECT_FALSE(a.isCoherent);
  EXPECT_EQ(a.coherencyLossCount, 4294967295u);
  EXPECT_EQ(a.membersJson, R"({"name":"a","version":2})");
  EXPECT_TRUE(a.get.resultEnvelope);
  EXPECT_EQ(a.get.errorJson, R"({"success":false,"errorCode":-52006})");
  EXPECT_EQ(a.put.rawBody, "");
  EXPECT_EQ(a.put.status, 204u);
  EXPECT_EQ(a.put.delivery, Delivery::closeMidBody);
  const DeviceConfig& b = config.devices[1];
  EXPECT_TRUE(b.isCoherent);
  EXPECT_EQ(b.get.status, 200u);
  EXPECT_EQ(b.get.delivery, Delivery::whole);
  EXPECT_FALSE(b.get.rawBody);
  ASSERT_EQ(config.timescales.size(), 2u);
  EXPECT_EQ(config.timescales[1].uri, "/veskwebs/timescales/p/tr/gm2");
  EXPECT_EQ(config.timestampPort, 9124);
  const TimestampDaemonConfig& daemon = config.timestampDaemon;
  EXPECT_FALSE(daemon.apiVersion);
  EXPECT_EQ(daemon.offsetNs, -(INT64_C(1) << 53));
  EXPECT_EQ(daemon.driftPpm, -12.5);
  ASSERT_TRUE(daemon.error);
  EXPECT_EQ(daemon.error->code, INT32_MIN);
  EXPECT_EQ(daemon.error->json, R"({"a":[1]})");
  EXPECT_EQ(daemon.delayMs, 5u);
  EXPECT_EQ(daemon.timescaleUris, (std::vector<std::string>{"/x", ""}));
  EXPECT_TRUE(daemon.hugeStringLength);

  const std::string written = targetConfigToJson(config);
  EXPECT_EQ(targetConfigToJson(parseTargetConfig(written)), written);
}

TEST(TargetConfig, RefusesWhatItCannotServeAndSaysWhere) {
  const struct {
    const char* json;
    const char* message;
  } cases[] = {
      {"{", "not a valid JSON text"},
      {"[]", "config: expected an object"},
      {R"({"adress": "127.0.0.2"})", "adress: unknown key"},
      {R"({"httpPort": 0})", "httpPort: expected an integer from 1 to 65535"},
      {R"({"resourceList": {"delayMs": 1.5}})", "resourceList.delayMs: expected an integer from 0 to 4294967295"},
      {R"({"devices": {}})", "devices: expected an array"},
      {R"({"devices": [{"isCoherent": true}]})", "devices[0].uri: required"},
      {R"({"devices": [{"uri": ""}]})", "devices[0].uri: must not be empty"},
      {R"({"devices": [{"uri": "/a"}, {"uri": "/a"}]})", "devices[1].uri: listed twice"},
      {R"({"devices": [{"uri": "/a", "isCoherent": 1}]})", "devices[0].isCoherent: expected true or false"},
      {R"({"devices": [{"uri": "/a", "coherencyLossCount": 4294967296}]})",
       "devices[0].coherencyLossCount: expected an integer from 0 to 4294967295"},
      {R"({"devices": [{"uri": "/a", "members": []}]})", "devices[0].members: expected an object"},
      {R"({"devices": [{"uri": "/a", "get": {"status": 199}}]})",
       "devices[0].get.status: expected an integer from 200 to 999"},
      {R"({"devices": [{"uri": "/a", "put": {"envelope": "error"}}]})",
       R"(devices[0].put.envelope: expected "plain" or "result")"},
      {R"({"devices": [{"uri": "/a", "put": {"body": {}}}]})", "devices[0].put.body: expected a string"},
      {R"({"resourceList": {"delivery": "slow"}})",
       R"(resourceList.delivery: expected one of "whole", "nulAfterBody", "stream", "hang", "closeMidBody", )"
       R"("hugeContentLength")"},
      {R"({"timescales": [{}]})", "timescales[0].uri: required"},
      {R"({"timestampPort": 65536})", "timestampPort: expected an integer from 1 to 65535"},
      {R"({"timestampDaemon": []})", "timestampDaemon: expected an object"},
      {R"({"timestampDaemon": {"apiVersion": "1"}})", R"(timestampDaemon.apiVersion: expected an integer or "none")"},
      {R"({"timestampDaemon": {"apiVersion": 2147483648}})",
       "timestampDaemon.apiVersion: expected an integer from -2147483648 to 2147483647"},
      {R"({"timestampDaemon": {"offsetNs": 9007199254740994}})",
       "timestampDaemon.offsetNs: expected an integer from -9007199254740992 to 9007199254740992"},
      {R"({"timestampDaemon": {"offsetNs": 0.5}})",
       "timestampDaemon.offsetNs: expected an integer from -9007199254740992 to 9007199254740992"},
      {R"({"timestampDaemon": {"driftPpm": -1000001}})",
       "timestampDaemon.driftPpm: expected a number from -1000000 to 1000000"},
      {R"({"timestampDaemon": {"error": "boom"}})", "timestampDaemon.error: expected an object"},
      {R"({"timestampDaemon": {"error": {"json": "{}"}}})", "timestampDaemon.error.code: required"},
      {R"({"timestampDaemon": {"error": {"code": -1, "text": ""}}})", "timestampDaemon.error.text: unknown key"},
      {R"({"timestampDaemon": {"delayMs": -1}})", "timestampDaemon.delayMs: expected an integer from 0 to 4294967295"},
      {R"({"timestampDaemon": {"timescaleUris": "/x"}})", "timestampDaemon.timescaleUris: expected an array"},
      {R"({"timestampDaemon": {"timescaleUris": ["/x", 1]}})", "timestampDaemon.timescaleUris[1]: expected a string"},
      {R"({"timestampDaemon": {"hugeStringLength": 1}})", "timestampDaemon.hugeStringLength: expected true or false"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    try {
      parseTargetConfig(c.json);
      ADD_FAILURE() << "accepted";
    } catch (const ConfigError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
}

TEST(TargetConfig, DevicePatchChangesOnlyWhatItNamesAndNullRestoresTheDefault) {
  DeviceConfig device = parseTargetConfig(kFullConfig).devices[0];
  applyDevicePatch(R"({"isCoherent": true, "get": {"status": 500}, "put": null, "members": null})", device);
  EXPECT_TRUE(device.isCoherent);
  EXPECT_EQ(device.coherencyLossCount, 4294967295u);
  EXPECT_EQ(device.get.status, 500u);
  EXPECT_TRUE(device.get.resultEnvelope);
  EXPECT_TRUE(device.get.errorJson);
  EXPECT_EQ(device.put.status, 200u);
  EXPECT_FALSE(device.put.rawBody);
  EXPECT_EQ(device.membersJson, "{}");
}

TEST(TargetConfig, TimestampDaemonPatchChangesOnlyWhatItNamesAndNullRestoresTheDefault) {
  TimestampDaemonConfig daemon = parseTargetConfig(kFullConfig).timestampDaemon;
  applyTimestampDaemonPatch(R"({"apiVersion": null, "error": {"code": 5}, "timescaleUris": null})", daemon);
  EXPECT_EQ(daemon.apiVersion, 2);
  ASSERT_TRUE(daemon.error);
  EXPECT_EQ(daemon.error->code, 5);
  EXPECT_EQ(daemon.error->json, "{}") << "an error is replaced whole";
  EXPECT_FALSE(daemon.timescaleUris);
  EXPECT_EQ(daemon.driftPpm, -12.5);
  EXPECT_EQ(daemon.delayMs, 5u);

  applyTimestampDaemonPatch(R"({"error": null, "apiVersion": 1})", daemon);
  EXPECT_FALSE(daemon.error);
  EXPECT_EQ(daemon.apiVersion, 1);
  EXPECT_EQ(timestampDaemonConfigToJson(daemon),
            R"({"apiVersion":1,"offsetNs":-9007199254740992,"driftPpm":-12.5,"error":null,"delayMs":5,)"
            R"("timescaleUris":null,"hugeStringLength":true})");
}

TEST(TargetConfig, FailedPatchChangesNothing) {
  DeviceConfig device = parseTargetConfig(kFullConfig).devices[0];
  const std::string before = deviceConfigToJson(device);
  const char* patches[] = {
      R"({"coherencyLossCount": 1, "get": {"status": 100}})",
      R"({"uri": "/veskwebs/syncableDevices/p/t/c"})",
      "not json",
  };
  for (const char* patch : patches) {
    SCOPED_TRACE(patch);
    EXPECT_THROW(applyDevicePatch(patch, device), ConfigError);
    EXPECT_EQ(deviceConfigToJson(device), before);
  }
}

}  // namespace
}  // namespace vesktools::targetsim
