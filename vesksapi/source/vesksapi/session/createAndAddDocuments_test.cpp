#include "vesksapi/session/createAndAddDocuments.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qzerr/exception.h"

namespace {

// A host or URI that holds quotes stays one string value of the document.
TEST(CreateAndAddDocuments, EscapesEveryTextItWritesBetweenQuotes) {
  EXPECT_EQ(vesksapi::networkDeviceParamsJson("127.0.0.2"),
            R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":"127.0.0.2"}})");
  EXPECT_EQ(vesksapi::networkDeviceParamsJson(R"(h","x":"y)"),
            R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":"h\",\"x\":\"y"}})");

  vesksapi::TimescaleGrouping grouping;
  EXPECT_EQ(vesksapi::writeTimescalesAndDevices(grouping), "[]");
  grouping["gm"] = vesksapi::TimescaleDevices{R"(h/ts/"gm)", {"h/dev/b", "h/dev/a", R"(h/dev/"q)"}};
  EXPECT_EQ(vesksapi::writeTimescalesAndDevices(grouping),
            R"([{"timescaleUri":"h/ts/\"gm","syncableDeviceUris":["h/dev/\"q","h/dev/a","h/dev/b"]}])");
}

TEST(CreateAndAddDocuments, ReadsStringArrays) {
  std::vector<std::string> list{"kept"};
  EXPECT_FALSE(vesksapi::readStringArray(R"({"other":[]})", "uris", list));
  EXPECT_TRUE(vesksapi::readStringArray(R"({"uris":null})", "uris", list));
  EXPECT_EQ(list, std::vector<std::string>{"kept"});
  EXPECT_TRUE(vesksapi::readStringArray(R"({"URIS":["a","b\"c"]})", "uris", list));
  EXPECT_EQ(list, (std::vector<std::string>{"a", "b\"c"}));

  struct Bad {
    const char* json;
    int32_t code;
  } bad[] = {{R"({"uris":"a"})", -52004}, {R"({"uris":["a",1]})", -52004}, {"{", -52005}};
  for (const Bad& b : bad) {
    try {
      vesksapi::readStringArray(b.json, "uris", list);
      ADD_FAILURE() << b.json;
    } catch (const qzerr::Exception& e) {
      EXPECT_EQ(e.status().code, b.code) << b.json;
    }
  }
}

}  // namespace
