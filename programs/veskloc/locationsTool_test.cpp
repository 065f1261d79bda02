#include "locationsTool.h"

#include <gtest/gtest.h>

#include "jsonz/jsonz.h"

namespace {

using veskloc::Locations;

const Locations kPlain{{"vesks", "/usr/bin/vesks"}, {"qztimestampdPidFile", "/var/run/qztimestampd.pid"}};

TEST(LocationsTool, ListsOneLinePerLocation) {
  EXPECT_EQ(veskloc::locationLines(kPlain), "vesks=/usr/bin/vesks\nqztimestampdPidFile=/var/run/qztimestampd.pid\n");
}

TEST(LocationsTool, JsonObjectKeepsOrdinaryPathsByteExact) {
  EXPECT_EQ(veskloc::locationsJson(kPlain),
            "{\n\"vesks\":\"/usr/bin/vesks\",\n\"qztimestampdPidFile\":\"/var/run/qztimestampd.pid\"\n}\n");
}

// A path is text from a configuration file: whatever it holds, the object
// stays valid JSON.
TEST(LocationsTool, JsonObjectEscapesPaths) {
  const Locations tricky{{"vesks", "/opt/q\"z\\share\n/vesks"}, {"veskapp", std::string("/opt/\x01")}};
  const std::string json = veskloc::locationsJson(tricky);
  EXPECT_EQ(json, "{\n\"vesks\":\"/opt/q\\\"z\\\\share\\n/vesks\",\n\"veskapp\":\"/opt/\\u0001\"\n}\n");
  EXPECT_TRUE(jsonz_validate(json.c_str(), nullptr, nullptr)) << json;
}

}  // namespace
