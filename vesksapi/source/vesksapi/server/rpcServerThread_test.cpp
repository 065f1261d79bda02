// The server over its socket, spoken to in raw bytes, with a fake session.
// Runs in a private network namespace: the abstract name is its own there.
#include "vesksapi/server/rpcServerThread.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/fakeSession.h"
#include "testing/rawConnection.h"
#include "testing/wireBytes.h"

// Every accept of this program that fails, counted on its way to the C
// library's: Thrift's server calls accept by its plain name, so the server's
// accepting loop is seen without any hook of its own. Visible, as the build
// hides symbols by default, so that Thrift's library binds to it.
static std::atomic<int> failedAccepts{0};

extern "C" __attribute__((visibility("default"))) int accept(int fd, sockaddr* address, socklen_t* length) {
  using Accept = int (*)(int, sockaddr*, socklen_t*);
  static const Accept libraryAccept = reinterpret_cast<Accept>(dlsym(RTLD_NEXT, "accept"));
  const int accepted = libraryAccept(fd, address, length);
  if (accepted < 0) ++failedAccepts;
  return accepted;
}

namespace vesksapi {
namespace {

using testing::applicationException;
using testing::callFrame;
using testing::FakeSession;
using testing::RawConnection;
using testing::stringReply;
using testing::WireBytes;
using Clock = std::chrono::steady_clock;

const std::string kName("\0vesksRpc\0", 10);
const std::string kNoArguments = WireBytes().stop();
constexpr int32_t kWireStringBytes = 1024 * 1024;  // the server's limit
constexpr int32_t kUnknownMethod = 1;
constexpr int32_t kUnknown = 0;

std::string infoCall(int32_t sequenceId = 0, testing::MessageType type = testing::kCall) {
  return callFrame("getTimescaleInfo", sequenceId, kNoArguments, type);
}

std::string infoReply(int32_t sequenceId = 0) {
  return stringReply("getTimescaleInfo", sequenceId, "getTimescaleInfo result");
}

// Waits, within a guard time, for an accept to fail after `failedBefore`
// failures; true once one has.
bool acceptFailsAgain(int failedBefore) {
  const Clock::time_point guard = Clock::now() + std::chrono::seconds(10);
  while (failedAccepts.load() == failedBefore && Clock::now() < guard) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return failedAccepts.load() != failedBefore;
}

// Sends one frame on a new connection and reads an answer of `answer`'s size.
std::string exchange(const std::string& frame, const std::string& answer) {
  RawConnection connection(kName);
  EXPECT_TRUE(connection.connected());
  connection.send(frame);
  return connection.receive(answer.size());
}

class RpcServerThreadTest : public ::testing::Test {
 protected:
  FakeSession session;
  std::unique_ptr<RpcServerThread> server = std::make_unique<RpcServerThread>(kName, session);
};

TEST_F(RpcServerThreadTest, ACallIsAnsweredWithItsSequenceIdAndTheConnectionServesTheNext) {
  RawConnection connection(kName);
  ASSERT_TRUE(connection.connected());
  for (int32_t sequenceId : {7, -1, 0}) {
    connection.send(infoCall(sequenceId));
    EXPECT_EQ(connection.receive(infoReply(sequenceId).size()), infoReply(sequenceId));
  }
}

TEST_F(RpcServerThreadTest, AnUnknownMethodGetsUnknownMethodAndTheConnectionServesTheNext) {
  RawConnection connection(kName);
  ASSERT_TRUE(connection.connected());
  for (const std::string name : {"loadresources", "", "getTimescaleInfo "}) {
    // Whatever body comes is skipped whole.
    const std::string body = WireBytes().field(testing::kString, 1).string("x").field(testing::kI32, 9).i32(3).stop();
    connection.send(callFrame(name, 7, body));
    const std::string expected = applicationException(name, 7, "Invalid method name: '" + name + "'", kUnknownMethod);
    EXPECT_EQ(connection.receive(expected.size()), expected);
    connection.send(infoCall(8));
    EXPECT_EQ(connection.receive(infoReply(8).size()), infoReply(8));
  }
}

TEST_F(RpcServerThreadTest, AFailingCallCarriesOnlyTheStatusFieldWithCodeAndDetail) {
  const std::string detail = R"({"error_constant":"qzkormerr_resourceNotFound","file":"session"})";
  session.outcome = [&](qzerr_Status* status) {
    qzerr_setCode(status, -52006);
    qzerr_resetJson(status, detail.c_str());
  };
  const std::string expected = WireBytes()
                                   .message(testing::kReply, "syncDomain_isCoherent", 3)
                                   .field(testing::kStruct, 1)
                                   .field(testing::kI32, 1).i32(-52006)
                                   .field(testing::kString, 2).string(detail)
                                   .stop()
                                   .stop();
  const std::string call =
      callFrame("syncDomain_isCoherent", 3, WireBytes().field(testing::kString, 1).string("/domain").stop());
  EXPECT_EQ(exchange(call, expected), expected);
  EXPECT_EQ(session.calls(), std::vector<std::string>{"syncDomain_isCoherent(/domain)"});
}

TEST_F(RpcServerThreadTest, ASuccessfulVoidCallIsAnsweredWithAnEmptyResult) {
  const std::string expected = WireBytes().message(testing::kReply, "syncDomain_stop", 0).stop();
  const std::string call =
      callFrame("syncDomain_stop", 0, WireBytes().field(testing::kString, 1).string("/domain").stop());
  EXPECT_EQ(exchange(call, expected), expected);
}

TEST_F(RpcServerThreadTest, AOnewayCallIsAnsweredLikeACall) {
  EXPECT_EQ(exchange(infoCall(5, testing::kOneway), infoReply(5)), infoReply(5));
}

TEST_F(RpcServerThreadTest, AReplySentToTheServerGetsNoAnswerAndEndsTheConnection) {
  RawConnection connection(kName);
  ASSERT_TRUE(connection.connected());
  connection.send(stringReply("getTimescaleInfo", 0, "x"));
  EXPECT_TRUE(connection.endsWithoutAnswer());
  EXPECT_EQ(exchange(infoCall(), infoReply()), infoReply());
}

TEST_F(RpcServerThreadTest, AStandardExceptionOfTheHandlerBecomesAnApplicationException) {
  session.outcome = [](qzerr_Status*) { throw std::runtime_error("out of luck"); };
  const std::string expected = applicationException("getTimescaleInfo", 4, "out of luck", kUnknown);
  EXPECT_EQ(exchange(infoCall(4), expected), expected);
}

// Thrift's connection loop lets anything but its own exceptions escape the
// connection's thread, which would end the whole daemon.
TEST_F(RpcServerThreadTest, AnyOtherFailureEndsThatConnectionOnly) {
  session.outcome = [](qzerr_Status*) { throw 42; };
  RawConnection connection(kName);
  ASSERT_TRUE(connection.connected());
  connection.send(infoCall());
  EXPECT_TRUE(connection.endsWithoutAnswer());
  session.outcome = nullptr;
  EXPECT_EQ(exchange(infoCall(), infoReply()), infoReply());
}

// Without limits one frame makes the daemon allocate what its length says,
// then wait for that many bytes. Each is refused at once: a limit set too high
// would leave the frame waiting for bytes that never come, to the request's
// time limit.
TEST_F(RpcServerThreadTest, OversizedLengthsAreRefusedAtOnceAndTheServerServesOtherConnections) {
  const std::vector<std::string> frames = {
      callFrame("getTimescaleInfo", 0, WireBytes().field(testing::kString, 1).i32(0x7fffffff)),
      callFrame("syncDomain_stop", 0, WireBytes().field(testing::kString, 1).i32(kWireStringBytes + 1)),
      // Sent whole: an unknown name would come back whole in the answer.
      callFrame(std::string(kWireStringBytes, 'm'), 0, kNoArguments),
      // An unversioned header: its first word is the length of the name.
      WireBytes().i32(0x7fffffff),
      callFrame("getTimescaleInfo", 0, WireBytes().field(testing::kStruct, 5).field(testing::kString, 1).i32(0x7ffffff0)),
  };
  RawConnection waiting(kName);  // open throughout, served afterwards
  for (const std::string& frame : frames) {
    const Clock::time_point start = Clock::now();
    RawConnection connection(kName);
    ASSERT_TRUE(connection.connected());
    connection.send(frame);
    EXPECT_TRUE(connection.endsWithoutAnswerLeavingUnread()) << frame.size();
    EXPECT_LT(Clock::now() - start, kServiceConnectionLimits.request / 2) << frame.size();
  }
  waiting.send(infoCall(1));
  EXPECT_EQ(waiting.receive(infoReply(1).size()), infoReply(1));
}

TEST_F(RpcServerThreadTest, TheKernelNameIsTheNameFollowedByNulsToTheEndOfTheAddress) {
  std::ifstream table("/proc/net/unix");
  std::vector<std::string> paths;
  for (std::string line; std::getline(table, line);) {
    const size_t at = line.rfind(' ');
    if (at != std::string::npos) paths.push_back(line.substr(at + 1));
  }
  EXPECT_THAT(paths, ::testing::Contains("@vesksRpc" + std::string(99, '@')));
  // An address that counts only the name's bytes names another socket.
  EXPECT_TRUE(testing::listens(kName));
  EXPECT_FALSE(testing::listens(kName, /*nameLengthOnly=*/true));
}

TEST_F(RpcServerThreadTest, ASecondServerOnTheSameNameFailsAndTheFirstKeepsServing) {
  FakeSession other;
  try {
    RpcServerThread second(kName, other);
    ADD_FAILURE() << "a second server started";
  } catch (const std::exception& e) {
    EXPECT_THAT(e.what(), ::testing::HasSubstr("Could not bind"));
  }
  EXPECT_EQ(exchange(infoCall(), infoReply()), infoReply());
  EXPECT_TRUE(other.calls().empty());
}

TEST_F(RpcServerThreadTest, AServerStartsAgainOnTheNameOnceTheFirstHasStopped) {
  server->stop();
  EXPECT_FALSE(testing::listens(kName));
  server->stop();
  server = std::make_unique<RpcServerThread>(kName, session);
  EXPECT_EQ(exchange(infoCall(), infoReply()), infoReply());
}

// A stop that came before the server listened would miss it and wait for
// ever; the server listens before it is handed out.
TEST_F(RpcServerThreadTest, AStopRightAfterAStartReturns) {
  server.reset();
  for (int round = 0; round < 50; ++round) RpcServerThread(kName, session).stop();
  EXPECT_FALSE(testing::listens(kName));
}

TEST_F(RpcServerThreadTest, StopClosesIdleConnectionsAndWaitsForTheCallInProgress) {
  std::promise<void> entered;
  std::atomic<bool> finished{false};
  session.outcome = [&](qzerr_Status*) {
    entered.set_value();
    // Finish only once the stop has closed the listening socket.
    while (testing::listens(kName)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    finished = true;
  };
  RawConnection idle(kName);
  RawConnection busy(kName);
  ASSERT_TRUE(idle.connected() && busy.connected());
  busy.send(infoCall(2));
  entered.get_future().wait();

  std::thread stopper([&] { server->stop(); });
  EXPECT_EQ(busy.receive(infoReply(2).size()), infoReply(2));
  stopper.join();
  EXPECT_TRUE(finished);
  EXPECT_TRUE(idle.endsWithoutAnswer());
  EXPECT_TRUE(busy.endsWithoutAnswer());
}

// A client that takes no reply would hold the stop for the whole reply time
// (10 s here); a stop leaves the reply half a second.
TEST_F(RpcServerThreadTest, AStopLeavesAReplyBeingWrittenOnlyAShortGrace) {
  const std::string detail(8 * 1024 * 1024, 'd');
  session.outcome = [&](qzerr_Status* status) {
    qzerr_setCode(status, -1);
    qzerr_resetJson(status, detail.c_str());
  };
  RawConnection stalled(kName);
  stalled.send(infoCall());
  while (session.calls().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the reply fills the socket

  const Clock::time_point start = Clock::now();
  server->stop();
  EXPECT_LT(Clock::now() - start, kServiceConnectionLimits.reply / 4);
  EXPECT_TRUE(stalled.closedByServer());
}

// Type bytes that are no Thrift message or value type would be stored in
// Thrift's enums as they came; they end that connection before.
TEST_F(RpcServerThreadTest, UnknownTypeBytesEndThatConnectionOnly) {
  const std::string string1 = WireBytes().field(testing::kString, 1).string("/d").bytes();
  const std::vector<std::string> frames = {
      callFrame("getTimescaleInfo", 0, kNoArguments, static_cast<testing::MessageType>(8)),
      callFrame("getTimescaleInfo", 0, kNoArguments, static_cast<testing::MessageType>(-1)),
      callFrame("syncDomain_stop", 0, WireBytes().i8(5).i16(1).i32(0).stop()),
      callFrame("syncDomain_stop", 0, WireBytes().i8(-56).i16(1).stop()),
      callFrame("syncDomain_stop", 0, string1 + WireBytes().i8(15).i16(9).i8(99).i32(1).bytes()),
      callFrame("syncDomain_stop", 0, string1 + WireBytes().i8(13).i16(9).i8(8).i8(31).i32(1).bytes()),
  };
  RawConnection waiting(kName);
  for (const std::string& frame : frames) {
    RawConnection connection(kName);
    ASSERT_TRUE(connection.connected());
    connection.send(frame);
    EXPECT_TRUE(connection.endsWithoutAnswer());
  }
  EXPECT_TRUE(session.calls().empty());
  waiting.send(infoCall(1));
  EXPECT_EQ(waiting.receive(infoReply(1).size()), infoReply(1));
}

// Before any bound, every connection took a slot of a fixed few, and idle
// ones kept every other caller waiting.
TEST_F(RpcServerThreadTest, ManyIdleConnectionsDoNotDelayACall) {
  std::vector<std::unique_ptr<RawConnection>> idle;
  for (int i = 0; i < 300; ++i) idle.push_back(std::make_unique<RawConnection>(kName));
  EXPECT_EQ(exchange(infoCall(), infoReply()), infoReply());
}

// A connection that the server cannot take for want of a descriptor once
// made Thrift's accepting loop end for good.
TEST_F(RpcServerThreadTest, AcceptingGoesOnOnceADescriptorIsFreeAgain) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizers' own checks need descriptors, and none is left here";
#endif
  const int waiting = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(waiting, 0);
  // Every descriptor up to the limit is taken, so accept finds none.
  std::vector<int> fillers;
  for (int fd = open("/dev/null", O_RDONLY | O_CLOEXEC); fd >= 0 && fd < waiting + 8;
       fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) {
    fillers.push_back(fd);
  }
  rlimit own{};
  getrlimit(RLIMIT_NOFILE, &own);
  const rlimit full{static_cast<rlim_t>(fillers.back() + 1), own.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &full), 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, kName.data(), kName.size());
  const int failedBefore = failedAccepts.load();
  EXPECT_EQ(connect(waiting, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  EXPECT_TRUE(acceptFailsAgain(failedBefore)) << "accept found a descriptor";
  // After each failure accepting rests 20 ms, the longer on a busy machine;
  // a loop that spins fails thousands of times meanwhile.
  constexpr std::chrono::milliseconds kExhausted(200);
  constexpr std::chrono::milliseconds kShortestRest(5);  // well below that rest
  const int failedAtStart = failedAccepts.load();
  const Clock::time_point start = Clock::now();
  std::this_thread::sleep_for(kExhausted);
  const int failures = failedAccepts.load() - failedAtStart;
  EXPECT_LE(failures, (Clock::now() - start) / kShortestRest + 1);

  setrlimit(RLIMIT_NOFILE, &own);
  for (const int fd : fillers) close(fd);
  EXPECT_EQ(exchange(infoCall(), infoReply()), infoReply());
  close(waiting);
}

// Three limits far apart, so that a phase run on another's limit, or on none,
// fails a test whose client stays well inside one limit and beyond another.
constexpr ConnectionLimits kPhaseLimits{std::chrono::milliseconds(1600), std::chrono::milliseconds(800),
                                        std::chrono::milliseconds(300)};
constexpr std::chrono::milliseconds kPastReplyWithinRequest = (kPhaseLimits.reply + kPhaseLimits.request) / 2;
constexpr std::chrono::milliseconds kPastRequestWithinIdle = (kPhaseLimits.request + kPhaseLimits.idle) / 2;

class BoundedConnectionTest : public ::testing::Test {
 protected:
  // The first call fails with a detail far larger than the socket's buffers.
  void failFirstCallWithLargeDetail() {
    session.outcome = [this](qzerr_Status* status) {
      if (!firstCall.exchange(false)) return;
      qzerr_setCode(status, -1);
      qzerr_resetJson(status, largeDetail.c_str());
    };
  }

  const std::string largeDetail = std::string(8 * 1024 * 1024, 'd');
  std::atomic<bool> firstCall{true};
  FakeSession session;
  RpcServerThread server{kName, session, kPhaseLimits};
};

TEST_F(BoundedConnectionTest, AConnectionIdleAfterConnectOrAfterAReplyIsClosed) {
  RawConnection silent(kName);
  EXPECT_TRUE(silent.endsWithoutAnswer());
  RawConnection served(kName);
  served.send(infoCall(3));
  EXPECT_EQ(served.receive(infoReply(3).size()), infoReply(3));
  EXPECT_TRUE(served.endsWithoutAnswer());
}

// Neither the handling of a call nor the rest after its reply counts towards
// a request's limit.
TEST_F(BoundedConnectionTest, ACallHandledPastTheRequestLimitIsAnsweredAndItsConnectionMayRestBeforeTheNext) {
  session.outcome = [this](qzerr_Status*) {
    if (firstCall.exchange(false)) std::this_thread::sleep_for(kPastRequestWithinIdle);
  };
  RawConnection connection(kName);
  connection.send(infoCall(1));
  EXPECT_EQ(connection.receive(infoReply(1).size()), infoReply(1));
  std::this_thread::sleep_for(kPastRequestWithinIdle);
  connection.send(infoCall(2));
  EXPECT_EQ(connection.receive(infoReply(2).size()), infoReply(2));
}

// A request sent in pieces `gap` apart, each gap within the idle limit.
struct Pacing {
  const char* what;
  size_t pieceBytes;
  std::chrono::milliseconds gap;
  bool served;  // whole within the request limit
};

class PacedRequest : public BoundedConnectionTest, public ::testing::WithParamInterface<Pacing> {};

TEST_P(PacedRequest, IsServedOnlyWhenWholeWithinTheRequestLimit) {
  const Pacing& pacing = GetParam();
  const std::string padded =
      callFrame("getTimescaleInfo", 0, WireBytes().field(testing::kString, 9).string(std::string(100, 'x')).stop());
  RawConnection connection(kName);
  for (size_t at = 0; at < padded.size(); at += pacing.pieceBytes) {
    if (at > 0) std::this_thread::sleep_for(pacing.gap);
    if (!connection.send(padded.substr(at, pacing.pieceBytes))) break;
  }
  EXPECT_EQ(connection.receive(infoReply().size()), pacing.served ? infoReply() : "");
  EXPECT_EQ(session.calls().size(), pacing.served ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, PacedRequest,
    ::testing::Values(Pacing{"ByteByByte", 1, std::chrono::milliseconds(20), false},
                      Pacing{"InTwoPastTheRequestLimit", 100, kPastRequestWithinIdle, false},
                      Pacing{"InTwoWithinTheRequestLimit", 100, kPastReplyWithinRequest, true}),
    [](const ::testing::TestParamInfo<Pacing>& info) { return std::string(info.param.what); });

// The reply is far larger than the socket's buffers, so its writing waits on
// a client that never reads; that client is dropped, the others served.
TEST_F(BoundedConnectionTest, AClientThatTakesNoReplyLosesItAndOthersAreServed) {
  failFirstCallWithLargeDetail();
  RawConnection stalled(kName);
  stalled.send(infoCall());
  while (session.calls().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(exchange(infoCall(1), infoReply(1)), infoReply(1));
  EXPECT_TRUE(stalled.closedByServer());
  EXPECT_LT(stalled.receive(largeDetail.size()).size(), largeDetail.size());
}

// Room in the socket comes often, but the whole reply would take seconds: it
// is cut once the reply limit has passed, not when the client stops reading.
TEST_F(BoundedConnectionTest, AClientTakingItsReplySlowlyLosesItOnceTheReplyLimitHasPassed) {
  constexpr size_t kPieceBytes = 32 * 1024;
  constexpr std::chrono::milliseconds kPause(20);
  constexpr std::chrono::milliseconds kLateness(600);  // reply + this < idle: a reply on idle's limit fails
  failFirstCallWithLargeDetail();
  RawConnection slow(kName);
  slow.send(infoCall());
  size_t received = slow.receive(kPieceBytes).size();
  const Clock::time_point cutBy = Clock::now() + kPhaseLimits.reply + kLateness;
  bool cut = false;
  while (!cut && Clock::now() < cutBy) {
    std::this_thread::sleep_for(kPause);
    const size_t got = slow.receive(kPieceBytes).size();
    received += got;
    cut = got < kPieceBytes;
  }
  EXPECT_TRUE(cut);
  EXPECT_LT(received, largeDetail.size());
}

// ---- The budget of large request strings

// Sizes apart from each other: two large strings do not fit at once, and a
// small one would not fit beside a large one if it were counted.
constexpr RequestBudgetLimits kSmallBudget{3000, 500};
constexpr size_t kLargeString = 2800;
constexpr size_t kSmallString = 400;
constexpr ConnectionLimits kBudgetTestLimits{std::chrono::seconds(20), std::chrono::seconds(2),
                                             std::chrono::seconds(5)};

// A byte that is no field type: a call that has it after its string is
// refused once the string has been read.
constexpr int8_t kNoFieldType = 5;

std::string createCall(size_t documentBytes, int32_t sequenceId, int8_t afterTheString = testing::kStop) {
  return callFrame("syncDomain_create", sequenceId,
                   WireBytes().field(testing::kString, 1).string(std::string(documentBytes, 'x')).i8(afterTheString));
}

std::string createReply(int32_t sequenceId) {
  return WireBytes().message(testing::kReply, "syncDomain_create", sequenceId).stop();
}

// The first call is held in its handler, with its string's room, until
// `release` is set.
class RequestBudgetTest : public ::testing::Test {
 protected:
  RequestBudgetTest() {
    session.outcome = [this](qzerr_Status*) {
      if (firstCall.exchange(false)) releasedFirst.wait();
    };
  }
  void holdTheFirstCall(RawConnection& connection) {
    connection.send(createCall(kLargeString, 1));
    while (session.calls().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  size_t callsSoFar() const { return session.calls().size(); }

  std::atomic<bool> firstCall{true};
  std::promise<void> release;
  std::shared_future<void> releasedFirst = release.get_future().share();
  FakeSession session;
  RpcServerThread server{kName, session, kBudgetTestLimits, kSmallBudget};
};

TEST_F(RequestBudgetTest, ALargeStringWaitsForRoomWhileASmallOneIsServedAtOnce) {
  RawConnection holder(kName);
  holdTheFirstCall(holder);
  RawConnection waiting(kName);
  waiting.send(createCall(kLargeString, 2));

  EXPECT_EQ(exchange(createCall(kSmallString, 3), createReply(3)), createReply(3));
  EXPECT_EQ(callsSoFar(), 2u) << "the second large call ran before there was room";
  release.set_value();
  EXPECT_EQ(holder.receive(createReply(1).size()), createReply(1));
  EXPECT_EQ(waiting.receive(createReply(2).size()), createReply(2));
}

TEST_F(RequestBudgetTest, ALargeStringWithoutRoomWithinItsRequestTimeEndsItsConnection) {
  RawConnection holder(kName);
  holdTheFirstCall(holder);
  RawConnection waiting(kName);
  const Clock::time_point start = Clock::now();
  waiting.send(createCall(kLargeString, 2));

  EXPECT_TRUE(waiting.endsWithoutAnswerLeavingUnread());
  EXPECT_LT(Clock::now() - start, kBudgetTestLimits.request * 3);
  release.set_value();
  EXPECT_EQ(holder.receive(createReply(1).size()), createReply(1));
  EXPECT_EQ(callsSoFar(), 1u);
}

// The room of a connection that ends in the middle of its call goes back
// with it: kept, a few such calls would make every large one wait for good.
TEST_F(RequestBudgetTest, AConnectionEndedAfterItsLargeStringWasAdmittedGivesItsRoomBack) {
  release.set_value();  // no call is held here
  for (int32_t round = 1; round <= 3; ++round) {
    RawConnection refused(kName);
    refused.send(createCall(kLargeString, round, kNoFieldType));
    EXPECT_TRUE(refused.endsWithoutAnswer()) << "round " << round;
  }
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(exchange(createCall(kLargeString, 4), createReply(4)), createReply(4));
  EXPECT_LT(Clock::now() - start, kBudgetTestLimits.request / 2);
  EXPECT_EQ(callsSoFar(), 1u);
}

// A stop ends a wait for room at once, though the call that holds the room
// is still being handled.
TEST_F(RequestBudgetTest, AStopEndsAWaitForRoomAtOnce) {
  constexpr std::chrono::milliseconds kHandledAfterTheStop(1000);
  RawConnection holder(kName);
  holdTheFirstCall(holder);
  RawConnection waiting(kName);
  waiting.send(createCall(kLargeString, 2));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::thread stopper([this] { server.stop(); });
  const Clock::time_point start = Clock::now();
  while (testing::listens(kName)) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  EXPECT_TRUE(waiting.endsWithoutAnswerLeavingUnread());
  EXPECT_LT(Clock::now() - start, kHandledAfterTheStop / 2);
  std::this_thread::sleep_for(kHandledAfterTheStop);
  release.set_value();
  stopper.join();
  EXPECT_EQ(callsSoFar(), 1u);
}

}  // namespace
}  // namespace vesksapi
