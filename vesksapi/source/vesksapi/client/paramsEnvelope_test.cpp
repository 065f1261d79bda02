#include "vesksapi/client/paramsEnvelope.h"

#include <gtest/gtest.h>

namespace vesksapi {
namespace {

TEST(ParamsEnvelope, WrapsTheTypeAndTheParametersAsGiven) {
  const struct {
    const char* type;
    const char* params;
    const char* envelope;
  } cases[] = {
      {"networkDeviceParams", R"({"remoteHost":"h"})",
       R"({"version":1,"type":"networkDeviceParams","params":{"remoteHost":"h"}})"},
      // The parameters are the daemon's to check: they go in unchanged.
      {"syncDomainParams", R"( [1, "a" )", R"({"version":1,"type":"syncDomainParams","params": [1, "a" })"},
      // A type that is not plain text is still one JSON string.
      {R"(a"b\c)", "{}", R"({"version":1,"type":"a\"b\\c","params":{}})"},
  };
  for (const auto& c : cases) EXPECT_EQ(makeParamsEnvelope(c.type, c.params), c.envelope);
}

}  // namespace
}  // namespace vesksapi
