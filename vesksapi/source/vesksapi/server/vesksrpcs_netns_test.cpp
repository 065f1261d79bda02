// vesksrpcs_start and vesksrpcs_stop through the shared library alone, with
// the real session, spoken to in raw bytes on the namespace's own socket.
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/childProgram.h"
#include "testing/rawConnection.h"
#include "testing/testStatus.h"
#include "testing/wireBytes.h"
#include "vesksapi/vesksapi.h"

namespace vesksapi {
namespace {

using testing::callFrame;
using testing::RawConnection;
using testing::stringReply;
using testing::WireBytes;
using vesk::testing::TestStatus;

const std::string kName("\0vesksRpc\0", 10);
const std::string kSyncDomainParams =
    R"({"version":1,"type":"syncDomainParams","params":{"uri":"/sd/a",)"
    R"("timescaleUri":"/localhost/vesks/timescales/system","maxOffset_ns":1000,"minSyncDuration_ms":10}})";

// Sends one call on a new connection; true when the answer starts with `expected`.
bool answeredWith(const std::string& call, const std::string& expected) {
  RawConnection connection(kName);
  return connection.connected() && connection.send(call) && connection.receive(expected.size()) == expected;
}

std::string createSyncDomain() {
  return callFrame("syncDomain_create", 0, WireBytes().field(testing::kString, 1).string(kSyncDomainParams).stop());
}

const std::string kCreated = WireBytes().message(testing::kReply, "syncDomain_create", 0).stop();
// The start of a reply that fails with -52013: the name is taken.
const std::string kCollided = WireBytes()
                                  .message(testing::kReply, "syncDomain_create", 0)
                                  .field(testing::kStruct, 1)
                                  .field(testing::kI32, 1)
                                  .i32(-52013);

class VesksrpcsTest : public ::testing::Test {
 protected:
  ~VesksrpcsTest() override { vesksrpcs_stop(); }
};

TEST_F(VesksrpcsTest, StartServesTheSessionOnTheLocalSocket) {
  TestStatus status;
  vesksrpcs_start(status);
  ASSERT_EQ(status.code(), 0) << status.json();
  const std::string call = callFrame("getTimescaleInfo", 9, WireBytes().stop());
  EXPECT_TRUE(answeredWith(call, stringReply("getTimescaleInfo", 9, R"(["/localhost/vesks/timescales/system"])")));
}

TEST_F(VesksrpcsTest, ASecondStartKeepsTheSessionAndAStartAfterAStopMakesAFreshOne) {
  TestStatus first;
  vesksrpcs_start(first);
  ASSERT_EQ(first.code(), 0) << first.json();
  EXPECT_TRUE(answeredWith(createSyncDomain(), kCreated));

  TestStatus second;
  vesksrpcs_start(second);
  EXPECT_EQ(second.code(), 0);
  EXPECT_EQ(second.json(), "");
  EXPECT_TRUE(answeredWith(createSyncDomain(), kCollided));

  vesksrpcs_stop();
  EXPECT_FALSE(testing::listens(kName));
  TestStatus again;
  vesksrpcs_start(again);
  ASSERT_EQ(again.code(), 0) << again.json();
  EXPECT_TRUE(answeredWith(createSyncDomain(), kCreated));
}

TEST_F(VesksrpcsTest, AStopWithoutAStartDoesNothing) {
  vesksrpcs_stop();
  vesksrpcs_stop();
  EXPECT_FALSE(testing::listens(kName));
}

TEST_F(VesksrpcsTest, AnErrorOnEntryStartsNothing) {
  TestStatus status;
  status->code = -52000;
  vesksrpcs_start(status);
  EXPECT_EQ(status.code(), -52000);
  EXPECT_FALSE(testing::listens(kName));
}

// Another process (here a plain socket) holding the name: the start reports
// the failed bind instead of a server that never listens.
TEST_F(VesksrpcsTest, ANameHeldByAnotherServerFailsTheStartAndLeavesNoServer) {
  sockaddr_un address;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, kName.data(), kName.size());
  const int holder = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(holder, 4), 0);

  TestStatus status;
  vesksrpcs_start(status);
  EXPECT_EQ(status.code(), -52003);
  EXPECT_THAT(status.json(), ::testing::HasSubstr(R"("std_exception_what":"Could not bind)"));
  EXPECT_TRUE(testing::listens(kName));  // the holder still accepts
  close(holder);
  EXPECT_FALSE(testing::listens(kName));

  TestStatus retried;
  vesksrpcs_start(retried);
  ASSERT_EQ(retried.code(), 0) << retried.json();
  EXPECT_TRUE(answeredWith(createSyncDomain(), kCreated));
}

// The helper returns from main with the server running and calls arriving:
// the library's tear-down stops the server, lets the calls finish, and only
// then deletes the session.
TEST(VesksrpcsExitTest, AProcessThatReturnsFromMainWithTheServerRunningExitsCleanly) {
  const int waited = testing::runToEnd(VESKSRPCS_EXIT_HELPER_PATH);
  ASSERT_TRUE(WIFEXITED(waited)) << "wait status " << waited;
  EXPECT_EQ(WEXITSTATUS(waited), 0);
}

}  // namespace
}  // namespace vesksapi
