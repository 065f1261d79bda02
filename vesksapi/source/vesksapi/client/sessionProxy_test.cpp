#include "vesksapi/client/sessionProxy.h"

#include <atomic>
#include <functional>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include "qzerr/errorDetail.h"
#include "testing/testStatus.h"
#include "thriftQzerr_types.h"
#include "vesksapi/client/testing/maskedLine.h"

namespace vesksapi {
namespace {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TTransportException;
using vesk::testing::TestStatus;

constexpr vesklib_Timestamp kAnswered{5, 6, 7, true};
constexpr vesklib_Timestamp kUntouched{-1, -1, -1, false};

// A client whose every operation answers at once (texts "answer", the
// timestamp kAnswered, true) or throws what `failure` throws.
class ScriptedClient final : public ThriftClientInterface {
 public:
  std::function<void()> openFailure;
  std::function<void()> failure;
  std::atomic<int> opens{0};
  std::atomic<int> closes{0};
  std::atomic<int> calls{0};
  std::atomic<bool> connected{false};
  std::atomic<int> overlaps{0};

  void open() override {
    ++opens;
    if (openFailure) openFailure();
    if (connected.exchange(true)) ++overlaps;
  }
  void close() override {
    ++closes;
    connected = false;
  }

  void loadResources(std::string& out, const std::string&) override { answer(out); }
  void unloadResources(const std::string&) override { answer(); }
  void timescale_getTime(const std::string&, vesklib_Timestamp* out) override { answer(out); }
  void timestampCorrelator_create(const std::string&) override { answer(); }
  void timestampCorrelator_delete(const std::string&, const std::string&) override { answer(); }
  void timestampCorrelator_correlate(const std::string&, const std::string&, const vesklib_Timestamp*,
                                     vesklib_Timestamp* out) override {
    answer(out);
  }
  void syncDomain_create(const std::string&) override { answer(); }
  bool syncDomain_start(const std::string&, uint32_t) override { return answerTrue(); }
  void syncDomain_startV2(const std::string&, bool, bool, uint32_t) override { answer(); }
  void syncDomain_stop(const std::string&) override { answer(); }
  void syncDomain_delete(const std::string&) override { answer(); }
  void syncDomain_addSyncableDevice(const std::string&, const std::string&) override { answer(); }
  bool syncDomain_isCoherent(const std::string&) override { return answerTrue(); }
  bool syncDomain_isCoherentSinceLastChecked(const std::string&) override { return answerTrue(); }
  void syncDomain_createAndAddDevices(std::string& out, const std::string&) override { answer(out); }
  void getTimescaleInfo(std::string& out) override { answer(out); }
  void getSyncableDeviceInfo(std::string& out) override { answer(out); }
  void getSyncDomainInfo(std::string& out) override { answer(out); }
  void getTimestampCorrelatorInfo(std::string& out) override { answer(out); }

 private:
  void answer() {
    ++calls;
    if (failure) failure();
  }
  void answer(std::string& out) {
    answer();
    out = "answer";
  }
  void answer(vesklib_Timestamp* out) {
    answer();
    *out = kAnswered;
  }
  bool answerTrue() {
    answer();
    return true;
  }
};

// One session operation, called with fixed arguments; what it gave back
// (a text, a timestamp or a bool) is rendered as text, and compared with what
// it gives on success and what it leaves after a failure.
struct Operation {
  const char* name;
  std::function<std::string(SessionInterface&, qzerr_Status*)> call;
  std::string succeeded;
  std::string failed;
};

std::string rendered(const vesklib_Timestamp& t) {
  return std::to_string(t.seconds) + "," + std::to_string(t.nanos) + "," + std::to_string(t.fractionalNanos) +
         (t.isNegative ? ",-" : ",+");
}

template <typename Call>
Operation textOperation(const char* name, Call call) {
  auto run = [call](SessionInterface& session, qzerr_Status* status) {
    std::string out = "before";
    call(session, out, status);
    return out;
  };
  return {name, run, "answer", "before"};
}

template <typename Call>
Operation timestampOperation(const char* name, Call call) {
  auto run = [call](SessionInterface& session, qzerr_Status* status) {
    vesklib_Timestamp out = kUntouched;
    call(session, &out, status);
    return rendered(out);
  };
  return {name, run, rendered(kAnswered), rendered(kUntouched)};
}

template <typename Call>
Operation boolOperation(const char* name, Call call) {
  auto run = [call](SessionInterface& session, qzerr_Status* status) {
    return std::string(call(session, status) ? "true" : "false");
  };
  return {name, run, "true", "false"};
}

template <typename Call>
Operation voidOperation(const char* name, Call call) {
  auto run = [call](SessionInterface& session, qzerr_Status* status) {
    call(session, status);
    return std::string();
  };
  return {name, run, "", ""};
}

const std::vector<Operation>& operations() {
  using S = SessionInterface;
  using T = qzerr_Status*;
  static const vesklib_Timestamp in{1, 2, 3, false};
  static const std::vector<Operation> all = {
      textOperation("loadResources", [](S& s, std::string& o, T st) { s.loadResources(o, "{}", st); }),
      voidOperation("unloadResources", [](S& s, T st) { s.unloadResources("{}", st); }),
      timestampOperation("timescale_getTime",
                         [](S& s, vesklib_Timestamp* o, T st) { s.timescale_getTime("/t", o, st); }),
      voidOperation("timestampCorrelator_create", [](S& s, T st) { s.timestampCorrelator_create("{}", st); }),
      voidOperation("timestampCorrelator_delete", [](S& s, T st) { s.timestampCorrelator_delete("/a", "/b", st); }),
      timestampOperation("timestampCorrelator_correlate",
                         [](S& s, vesklib_Timestamp* o, T st) {
                           s.timestampCorrelator_correlate("/a", "/b", &in, o, st);
                         }),
      voidOperation("syncDomain_create", [](S& s, T st) { s.syncDomain_create("{}", st); }),
      boolOperation("syncDomain_start", [](S& s, T st) { return s.syncDomain_start("/d", 3, st); }),
      voidOperation("syncDomain_startV2", [](S& s, T st) { s.syncDomain_startV2("/d", true, false, 3, st); }),
      voidOperation("syncDomain_stop", [](S& s, T st) { s.syncDomain_stop("/d", st); }),
      voidOperation("syncDomain_delete", [](S& s, T st) { s.syncDomain_delete("/d", st); }),
      voidOperation("syncDomain_addSyncableDevice", [](S& s, T st) { s.syncDomain_addSyncableDevice("/d", "/v", st); }),
      boolOperation("syncDomain_isCoherent", [](S& s, T st) { return s.syncDomain_isCoherent("/d", st); }),
      boolOperation("syncDomain_isCoherentSinceLastChecked",
                    [](S& s, T st) { return s.syncDomain_isCoherentSinceLastChecked("/d", st); }),
      textOperation("syncDomain_createAndAddDevices",
                    [](S& s, std::string& o, T st) { s.syncDomain_createAndAddDevices(o, "{}", st); }),
      textOperation("getTimescaleInfo", [](S& s, std::string& o, T st) { s.getTimescaleInfo(o, st); }),
      textOperation("getSyncableDeviceInfo", [](S& s, std::string& o, T st) { s.getSyncableDeviceInfo(o, st); }),
      textOperation("getSyncDomainInfo", [](S& s, std::string& o, T st) { s.getSyncDomainInfo(o, st); }),
      textOperation("getTimestampCorrelatorInfo",
                    [](S& s, std::string& o, T st) { s.getTimestampCorrelatorInfo(o, st); }),
  };
  return all;
}

struct Fixture {
  std::shared_ptr<ScriptedClient> client = std::make_shared<ScriptedClient>();
  SessionProxy proxy{client};
};

using testing::maskedLine;

// The detail's members up to "component", the line masked.
const std::string kSite =
    R"({"error_constant":"qzkormerr_communicationsFault","file":"sessionSymbols","line":#,"component":"vesksapi",)";

// The number of the detail's "line" member.
std::string lineOf(const std::string& detail) {
  const size_t start = detail.find("\"line\":") + 7;
  return detail.substr(start, detail.find(',', start) - start);
}

TEST(SessionProxy, EachOperationIsOneCallOnAConnectionOfItsOwn) {
  Fixture f;
  for (const Operation& operation : operations()) {
    TestStatus st;
    EXPECT_EQ(operation.call(f.proxy, st), operation.succeeded) << operation.name;
    EXPECT_EQ(st.code(), 0) << operation.name;
  }
  const int count = static_cast<int>(operations().size());
  EXPECT_EQ(count, 19);
  EXPECT_EQ(f.client->calls, count);
  EXPECT_EQ(f.client->opens, count);
  EXPECT_EQ(f.client->closes, count);
}

TEST(SessionProxy, AnIncomingErrorMakesEveryOperationDoNothing) {
  Fixture f;
  for (const Operation& operation : operations()) {
    TestStatus st;
    QZERR_STATUS_ERROR(st.get(), qzerr::kOsFault);
    const std::string before = st.json();
    EXPECT_EQ(operation.call(f.proxy, st), operation.failed) << operation.name;
    EXPECT_EQ(st.code(), -52008) << operation.name;
    EXPECT_EQ(st.json(), before) << operation.name;
  }
  EXPECT_EQ(f.client->opens, 0);
}

TEST(SessionProxy, AFailureLeavesOutputsAndNamesTheOperationsOwnLine) {
  Fixture f;
  f.client->failure = [] { throw TTransportException(TTransportException::END_OF_FILE, "gone"); };
  std::set<std::string> lines;
  for (const Operation& operation : operations()) {
    TestStatus st;
    EXPECT_EQ(operation.call(f.proxy, st), operation.failed) << operation.name;
    EXPECT_EQ(st.code(), -52024) << operation.name;
    EXPECT_EQ(maskedLine(st.json()).rfind(kSite, 0), 0u) << st.json();
    lines.insert(lineOf(st.json()));
  }
  EXPECT_EQ(lines.size(), operations().size());
  EXPECT_EQ(f.client->closes, f.client->opens);
}

TEST(SessionProxy, TransportFailuresNameTheirType) {
  const struct {
    int type;
    const char* text;
  } cases[] = {
      {0, "TTransportException::UNKNOWN"},        {1, "TTransportException::NOT_OPEN"},
      {2, "TTransportException::TIMED_OUT"},      {3, "TTransportException::END_OF_FILE"},
      {4, "TTransportException::INTERRUPTED"},    {5, "TTransportException::BAD_ARGS"},
      {6, "TTransportException::CORRUPTED_DATA"}, {7, "TTransportException::INTERNAL_ERROR"},
      {8, "TTransportException::UNKNOWN"},        {15, "TTransportException::UNKNOWN"},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.client->failure = [&] {
      throw TTransportException(static_cast<TTransportException::TTransportExceptionType>(c.type), "cut \"short\"");
    };
    TestStatus st;
    EXPECT_FALSE(f.proxy.syncDomain_isCoherent("/d", st));
    EXPECT_EQ(st.code(), -52024);
    EXPECT_EQ(maskedLine(st.json()), kSite + R"("std_exception_what":"cut \"short\"","qzsyncdomain_debug":)" +
                                         R"({"type_code":)" + std::to_string(c.type) + R"(,"type":")" + c.text +
                                         R"("}})");
  }
}

TEST(SessionProxy, OtherThriftFailuresCarryTheirTextAndAnEmptyChannel) {
  const std::function<void()> raises[] = {
      [] { throw TApplicationException(TApplicationException::MISSING_RESULT, "x failed: unknown result"); },
      [] { throw TApplicationException(TApplicationException::WRONG_METHOD_NAME, "x: wrong"); },
      [] { throw TProtocolException(TProtocolException::DEPTH_LIMIT); },
      [] { throw apache::thrift::TException("plain"); },
  };
  for (const auto& raise : raises) {
    std::string what;
    try {
      raise();
    } catch (const apache::thrift::TException& e) {
      what = e.what();
    }
    Fixture f;
    f.client->failure = raise;
    TestStatus st;
    f.proxy.syncDomain_stop("/d", st);
    EXPECT_EQ(st.code(), -52024);
    EXPECT_EQ(maskedLine(st.json()), kSite + "\"std_exception_what\":\"" + what + "\",\"qzsyncdomain_debug\":{}}");
  }
}

TEST(SessionProxy, TheDaemonsStatusArrivesUnchanged) {
  const std::string daemonJson = R"({"error_constant":"qzkormerr_resourceNotFound","file":"session","line":9})";
  Fixture f;
  f.client->failure = [&] {
    thriftQzerr::thrift_qzerr error;
    error.code = -52006;
    error.json = daemonJson;
    throw error;
  };
  TestStatus fresh;
  EXPECT_EQ(operations()[2].call(f.proxy, fresh), operations()[2].failed);
  EXPECT_EQ(fresh.code(), -52006);
  EXPECT_EQ(fresh.json(), daemonJson);

  TestStatus warned;
  QZERR_STATUS_ERROR(warned.get(), (qzerr::ErrorConstant{7, "someWarning"}));
  f.proxy.syncDomain_stop("/d", warned);
  EXPECT_EQ(warned.code(), -52006);
  EXPECT_EQ(warned.json(), daemonJson);
}

TEST(SessionProxy, ADaemonStatusWithoutTextLeavesAnEmptyDetail) {
  Fixture f;
  f.client->failure = [] {
    thriftQzerr::thrift_qzerr error;
    error.code = -52006;
    throw error;
  };
  TestStatus st;
  f.proxy.syncDomain_stop("/d", st);
  EXPECT_EQ(st.code(), -52006);
  EXPECT_EQ(st.json(), "{}");
}

TEST(SessionProxy, OtherExceptionsBecomeTheStatusAsAnywhereElse) {
  const struct {
    std::function<void()> raise;
    int32_t code;
  } cases[] = {
      {[] { throw std::bad_alloc(); }, -52000},
      {[] { throw std::runtime_error("lock failed"); }, -52003},
      {[] { throw 42; }, -52003},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.client->failure = c.raise;
    TestStatus st;
    EXPECT_FALSE(f.proxy.syncDomain_start("/d", 1, st));
    EXPECT_EQ(st.code(), c.code);
    EXPECT_NE(st.json().find("\"file\":\"exception_errStatus\""), std::string::npos) << st.json();
    EXPECT_EQ(f.client->closes, 1);
  }
}

TEST(SessionProxy, AConnectionThatFailsToOpenIsNotClosed) {
  Fixture f;
  f.client->openFailure = [] { throw TTransportException(TTransportException::NOT_OPEN, "refused"); };
  TestStatus st;
  std::string info = "before";
  f.proxy.getTimescaleInfo(info, st);
  EXPECT_EQ(info, "before");
  EXPECT_EQ(st.code(), -52024);
  EXPECT_EQ(f.client->opens, 1);
  EXPECT_EQ(f.client->calls, 0);
  EXPECT_EQ(f.client->closes, 0);
}

TEST(SessionProxy, CallsOfManyThreadsTakeTheConnectionInTurn) {
  Fixture f;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        TestStatus st;
        f.proxy.syncDomain_isCoherent("/d", st);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(f.client->overlaps, 0);
  EXPECT_EQ(f.client->opens, 2000);
}

}  // namespace
}  // namespace vesksapi
