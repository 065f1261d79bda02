#include "syncDomainCommand.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/consoleRun.h"

namespace veskapp {
namespace {

using Case = testing::CommandCase;

class SyncDomainCommandTest : public testing::ConsoleTest {};

TEST_F(SyncDomainCommandTest, EachActionSendsItsDocumentAndPrintsItsLines) {
  api.uriText = "/localhost/vesks/timescales/system";
  const std::vector<Case> cases = {
      {{"syncDomain", "create", "--uri", "/d", "--timescaleUri", "/ts", "--maxOffset_ns", "1000",
        "--minSyncDuration_ms", "5"},
       R"(syncDomain_create(syncDomainParams, {"uri":"/d","timescaleUri":"/ts","maxOffset_ns":1000,)"
       R"("minSyncDuration_ms":5}))",
       "SUCCESS: Created Sync Domain with uri = /d\n"},
      {{"syncDomain", "createAndAddDevices", "--uri", "/d", "--timescaleUri", "NULL", "--remoteHosts", R"(["h1"])",
        "--maxOffset_ns", "1000", "--minSyncDuration_ms", "5"},
       R"(syncDomain_createAndAddDevices(syncDomainCreateAndAddRemoteDevicesParams, {"uri":"/d",)"
       R"("remoteHosts":["h1"],"maxOffset_ns":1000,"minSyncDuration_ms":5,"timescaleUri":null}, 512))",
       "SUCCESS: Created and added devices to Sync Domain with uri = /d and timescaleUri = "
       "/localhost/vesks/timescales/system\n"},
      {{"syncDomain", "createAndAddDevices", "--uri", "/d", "--timescaleUri", "Null", "--remoteHosts", "[]",
        "--maxOffset_ns", "-1", "--minSyncDuration_ms", "0"},
       R"(syncDomain_createAndAddDevices(syncDomainCreateAndAddRemoteDevicesParams, {"uri":"/d",)"
       R"("remoteHosts":[],"maxOffset_ns":4294967295,"minSyncDuration_ms":0,"timescaleUri":null}, 512))",
       "SUCCESS: Created and added devices to Sync Domain with uri = /d and timescaleUri = "
       "/localhost/vesks/timescales/system\n"},
      {{"syncDomain", "createAndAddDevices", "--uri", "/d", "--timescaleUri", "nullx", "--remoteHosts", "[]",
        "--maxOffset_ns", "1", "--minSyncDuration_ms", "2"},
       R"(syncDomain_createAndAddDevices(syncDomainCreateAndAddRemoteDevicesParams, {"uri":"/d",)"
       R"("remoteHosts":[],"maxOffset_ns":1,"minSyncDuration_ms":2,"timescaleUri":"nullx"}, 512))",
       "SUCCESS: Created and added devices to Sync Domain with uri = /d and timescaleUri = "
       "/localhost/vesks/timescales/system\n"},
      {{"syncDomain", "delete", "--uri", "/d"}, "syncDomain_delete(/d)",
       "SUCCESS: Deleted Sync Domain where uri = /d\n"},
      {{"syncDomain", "start", "--uri", "/d", "--timeout_s", "3"}, "syncDomain_start(/d, 3)",
       "SUCCESS: Started Sync Domain where uri = /d\n"},
      {{"syncDomain", "startV2", "--uri", "/d", "--saveInitialCoherency", "1", "--waitToBecomeCoherent", "0",
        "--timeout_s", "3"},
       "syncDomain_startV2(/d, true, false, 3)",
       "SUCCESS: Started Sync Domain where uri = /d\n Save initial coherency = true\n Wait to become coherent = "
       "false\n"},
      {{"syncDomain", "stop", "--uri", "/d"}, "syncDomain_stop(/d)", "SUCCESS: Stopped Sync Domain where uri = /d\n"},
      {{"syncDomain", "addSyncableDevice", "--uri", "/d", "--syncableDeviceUri", "/dev"},
       "syncDomain_addSyncableDevice(/d, /dev)", "SUCCESS: Added Syncable Device with uri = /dev to Domain.\n"},
      {{"syncDomain", "isCoherent", "--uri", "/d"}, "syncDomain_isCoherent(/d)", "true\n"},
      {{"syncDomain", "isCoherentSinceLastChecked", "--uri", "/d"}, "syncDomain_isCoherentSinceLastChecked(/d)",
       "true\n"},
  };
  expectEachCase(cases);
}

TEST_F(SyncDomainCommandTest, QuietKeepsOnlyValues) {
  api.boolResult = false;
  const std::vector<Case> cases = {
      {{"syncDomain", "create", "--uri", "/d", "--timescaleUri", "/ts", "--maxOffset_ns", "1",
        "--minSyncDuration_ms", "1", "-q"},
       R"(syncDomain_create(syncDomainParams, {"uri":"/d","timescaleUri":"/ts","maxOffset_ns":1,)"
       R"("minSyncDuration_ms":1}))",
       ""},
      {{"syncDomain", "startV2", "--uri", "/d", "--saveInitialCoherency", "1", "--waitToBecomeCoherent", "1",
        "--timeout_s", "3", "-q"},
       "syncDomain_startV2(/d, true, true, 3)", ""},
      {{"syncDomain", "isCoherent", "--uri", "/d", "-q"}, "syncDomain_isCoherent(/d)", "false\n"},
      // A start that answers false prints nothing, with or without -q.
      {{"syncDomain", "start", "--uri", "/d", "--timeout_s", "3"}, "syncDomain_start(/d, 3)", ""},
  };
  expectEachCase(cases);
}

TEST_F(SyncDomainCommandTest, OptionValuesAreEscapedInDocumentsAndPrintedAsTyped) {
  const std::string uri = "/d\"},\"x\":\"\\";
  const testing::ConsoleRun result = run({"syncDomain", "create", "--uri", uri, "--timescaleUri", "a\nb",
                                          "--maxOffset_ns", "1", "--minSyncDuration_ms", "2"});
  EXPECT_EQ(api.calls, std::vector<std::string>{
                           R"(syncDomain_create(syncDomainParams, {"uri":"/d\"},\"x\":\"\\","timescaleUri":"a\nb",)"
                           R"("maxOffset_ns":1,"minSyncDuration_ms":2}))"});
  EXPECT_EQ(result.out, "SUCCESS: Created Sync Domain with uri = " + uri + "\n");
}

TEST_F(SyncDomainCommandTest, OptionsAreReadInOrderSoTheFirstFaultyOneDecides) {
  struct FaultCase {
    std::vector<std::string> words;
    std::string message;
  };
  const std::vector<FaultCase> cases = {
      {{"syncDomain", "create", "--maxOffset_ns", "x"}, "Missing option"},
      {{"syncDomain", "create", "--uri", "u", "--timescaleUri", "t", "--maxOffset_ns", "x"}, "bad lexical cast"},
      {{"syncDomain", "createAndAddDevices", "--uri", "u", "--timescaleUri", "t", "--maxOffset_ns", "1",
        "--minSyncDuration_ms", "1"},
       "Missing option"},
      {{"syncDomain", "addSyncableDevice", "--uri", "u", "--syncableDeviceUri", "a", "--syncableDeviceUri", "b"},
       "Too many options"},
  };
  for (const FaultCase& c : cases) {
    const testing::ConsoleRun result = run(c.words);
    EXPECT_EQ(result.err.compare(0, 7 + c.message.size(), "ERROR: " + c.message), 0) << result.err;
    EXPECT_EQ(result.exitStatus, 1);
  }
  EXPECT_TRUE(api.calls.empty());
}

}  // namespace
}  // namespace veskapp
