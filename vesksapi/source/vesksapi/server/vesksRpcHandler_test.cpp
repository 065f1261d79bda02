#include "vesksapi/server/vesksRpcHandler.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/fakeSession.h"

namespace vesksapi {
namespace {

using testing::FakeSession;

std::string text(const vesksrpc::vesksrpc_Timestamp& t) {
  return "{" + std::to_string(t.seconds) + "," + std::to_string(t.nanos) + "," + std::to_string(t.fractionalNanos) +
         "," + std::to_string(t.isNegative) + "}";
}

vesksrpc::vesksrpc_Timestamp wireTime(int64_t seconds, int32_t nanos, int32_t fractionalNanos, bool isNegative) {
  vesksrpc::vesksrpc_Timestamp t;
  t.seconds = seconds;
  t.nanos = nanos;
  t.fractionalNanos = fractionalNanos;
  t.isNegative = isNegative;
  return t;
}

// One handler method: the session call it must make and what it answers.
struct MethodCase {
  std::string sessionCall;
  std::function<std::string(vesksRpcHandler&)> call;  // the answer as text ("" for void)
  std::string answer;
};

const std::vector<MethodCase>& methodCases() {
  using H = vesksRpcHandler;
  static const std::vector<MethodCase> cases = {
      {"loadResources(params)", [](H& h) { std::string r; h.loadResources(r, "params"); return r; },
       "loadResources result"},
      {"unloadResources(params)", [](H& h) { h.unloadResources("params"); return std::string(); }, ""},
      {"timescale_getTime(uri,{0,0,0,0})",
       [](H& h) { vesksrpc::vesksrpc_Timestamp t; h.timescale_getTime(t, "uri"); return text(t); },
       "{1234,500,7,1}"},
      {"timestampCorrelator_create(params)",
       [](H& h) { h.timestampCorrelator_create("params"); return std::string(); }, ""},
      {"timestampCorrelator_correlate(from,to,{-5,6,7,1},{0,0,0,0})",
       [](H& h) {
         vesksrpc::vesksrpc_Timestamp t;
         h.timestampCorrelator_correlate(t, "from", "to", wireTime(-5, 6, 7, true));
         return text(t);
       },
       "{1234,500,7,1}"},
      {"timestampCorrelator_delete(one,two)",
       [](H& h) { h.timestampCorrelator_delete("one", "two"); return std::string(); }, ""},
      {"syncDomain_create(params)", [](H& h) { h.syncDomain_create("params"); return std::string(); }, ""},
      {"syncDomain_addSyncableDevice(domain,device)",
       [](H& h) { h.syncDomain_addSyncableDevice("domain", "device"); return std::string(); }, ""},
      {"syncDomain_start(domain,4294967295)",
       [](H& h) { return std::to_string(h.syncDomain_start("domain", -1)); }, "1"},
      {"syncDomain_startV2(domain,1,0,4294967294)",
       [](H& h) { h.syncDomain_startV2("domain", true, false, -2); return std::string(); }, ""},
      {"syncDomain_isCoherent(domain)", [](H& h) { return std::to_string(h.syncDomain_isCoherent("domain")); },
       "1"},
      {"syncDomain_isCoherentSinceLastChecked(domain)",
       [](H& h) { return std::to_string(h.syncDomain_isCoherentSinceLastChecked("domain")); }, "1"},
      {"syncDomain_stop(domain)", [](H& h) { h.syncDomain_stop("domain"); return std::string(); }, ""},
      {"syncDomain_delete(domain)", [](H& h) { h.syncDomain_delete("domain"); return std::string(); }, ""},
      {"syncDomain_createAndAddDevices(params)",
       [](H& h) { std::string r; h.syncDomain_createAndAddDevices(r, "params"); return r; },
       "syncDomain_createAndAddDevices result"},
      {"getTimescaleInfo()", [](H& h) { std::string r; h.getTimescaleInfo(r); return r; },
       "getTimescaleInfo result"},
      {"getSyncableDeviceInfo()", [](H& h) { std::string r; h.getSyncableDeviceInfo(r); return r; },
       "getSyncableDeviceInfo result"},
      {"getSyncDomainInfo()", [](H& h) { std::string r; h.getSyncDomainInfo(r); return r; },
       "getSyncDomainInfo result"},
      {"getTimestampCorrelatorInfo()", [](H& h) { std::string r; h.getTimestampCorrelatorInfo(r); return r; },
       "getTimestampCorrelatorInfo result"},
  };
  return cases;
}

void setStatus(qzerr_Status* status, int32_t code, const char* json) {
  qzerr_setCode(status, code);
  if (json != nullptr) qzerr_resetJson(status, json);
}

class HandlerTest : public ::testing::Test {
 protected:
  FakeSession session;
  vesksRpcHandler handler{session};
};

TEST_F(HandlerTest, EachMethodCallsTheSessionOperationOfItsNameAndAnswersItsResult) {
  for (const MethodCase& method : methodCases()) {
    FakeSession session;
    vesksRpcHandler handler(session);
    EXPECT_EQ(method.call(handler), method.answer) << method.sessionCall;
    EXPECT_EQ(session.calls(), std::vector<std::string>{method.sessionCall});
  }
}

TEST_F(HandlerTest, ANegativeStatusIsThrownWithItsCodeAndDetailFromAFreshStatusEachCall) {
  const char* detail = R"({"error_constant":"qzkormerr_resourceNotFound","line":12})";
  std::vector<int32_t> codesOnEntry;
  session.outcome = [&](qzerr_Status* status) {
    codesOnEntry.push_back(status->code);
    setStatus(status, -52006, detail);
  };
  for (const MethodCase& method : methodCases()) {
    try {
      method.call(handler);
      ADD_FAILURE() << method.sessionCall << " returned";
    } catch (const thriftQzerr::thrift_qzerr& error) {
      EXPECT_EQ(error.code, -52006) << method.sessionCall;
      EXPECT_EQ(error.json, detail) << method.sessionCall;
    }
  }
  EXPECT_EQ(codesOnEntry, std::vector<int32_t>(methodCases().size(), 0));
}

TEST_F(HandlerTest, AWarningIsDroppedAndTheResultAnswered) {
  session.outcome = [](qzerr_Status* status) { setStatus(status, 52100, R"({"warning":1})"); };
  for (const MethodCase& method : methodCases()) {
    EXPECT_EQ(method.call(handler), method.answer) << method.sessionCall;
  }
}

TEST_F(HandlerTest, AnErrorWithoutDetailTextIsThrownWithAnEmptyJson) {
  session.outcome = [](qzerr_Status* status) { status->code = -52005; };
  try {
    handler.syncDomain_stop("domain");
    ADD_FAILURE() << "returned";
  } catch (const thriftQzerr::thrift_qzerr& error) {
    EXPECT_EQ(error.code, -52005);
    EXPECT_EQ(error.json, "");
  }
}

// The status buffer is released also when the session lets an exception out
// (the leak check of the sanitizer build sees it otherwise).
TEST_F(HandlerTest, AnExceptionOfTheSessionPassesThroughAndReleasesTheStatus) {
  session.outcome = [](qzerr_Status* status) {
    setStatus(status, -52003, R"({"error_constant":"qzkormerr_softwareFaultKORMInternalUseOnly"})");
    throw std::runtime_error("session failed");
  };
  std::string info;
  EXPECT_THROW(handler.getTimescaleInfo(info), std::runtime_error);
}

}  // namespace
}  // namespace vesksapi
