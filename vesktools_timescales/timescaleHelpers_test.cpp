#include "vesktools_timescales/timescaleHelpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <utility>

#include "qzerr/errorDetail.h"
#include "vesklib/testing/caughtError.h"
#include "vesktools_timescales/apiWrapperInterface.h"
#include "vesktools_timescales/qzqlmClientApi.h"

namespace vesktools::pendulo {
namespace {

using vesklib::testing::caughtError;
using vesklib::testing::CaughtError;

// A manager scripted per question: an answer text, or a failure code.
struct Reply {
  std::string json;
  int32_t code = 0;
};

Reply failure(int32_t code) { return Reply{"", code}; }

class FakeManager : public qzpendulo::ApiWrapperInterface {
 public:
  std::map<std::string, Reply> manager;                               // by attribute key
  std::map<std::pair<std::string, std::string>, Reply> references;    // by (id, key)
  std::optional<std::string> selected;

  // One reference's three attributes, as the helpers read them.
  void addReference(const std::string& id, const std::string& type, const std::string& portState,
                    const std::string& gmClockId) {
    references[{id, "type"}] = Reply{R"({"type":")" + type + R"("})"};
    references[{id, "portState"}] = Reply{R"({"portState":")" + portState + R"("})"};
    references[{id, "gmClockId"}] = Reply{R"({"gmClockId":")" + gmClockId + R"("})"};
  }

  void getQlmAttrJson(const std::string& attrKey, std::string* json) override { answer(manager, attrKey, json); }
  void getTrAttrJson(const std::string& trId, const std::string& attrKey, std::string* json) override {
    answer(references, std::make_pair(trId, attrKey), json);
  }
  bool getSelectedTrId(std::string* trId) override {
    if (selected) *trId = *selected;
    return selected.has_value();
  }

  int32_t getApiVersion() override { return 1; }
  int32_t getSelectedTrOffsetNanos(int64_t) override { unused(); }
  void getQlmMetadataJson(std::string*) override { unused(); }
  void getTrMetadataJson(const std::string&, std::string*) override { unused(); }
  void setTrAttr(const std::string&, const std::string&, const std::string&) override { unused(); }
  void restartService() override { unused(); }
  void bringDownService() override { unused(); }
  void bringUpService() override { unused(); }
  void persistConfig() override { unused(); }
  void updateTrFromConfig(const std::string&) override { unused(); }
  int32_t adjustTime(int64_t, int64_t) override { unused(); }
  bool getSelectedTrId(char*, uint32_t) override { unused(); }
  void getQlmAttrJson(const char*, char*, uint32_t) override { unused(); }
  void getQlmMetadataJson(char*, uint32_t) override { unused(); }
  void getTrAttrJson(const char*, const char*, char*, uint32_t) override { unused(); }
  void getTrMetadataJson(const char*, char*, uint32_t) override { unused(); }
  void setTrAttr(const char*, const char*, const char*) override { unused(); }
  void updateTrFromConfig(const char*) override { unused(); }

 private:
  template <typename Map, typename Key>
  static void answer(const Map& replies, const Key& key, std::string* json) {
    const auto found = replies.find(key);
    const Reply reply = found == replies.end() ? failure(qzqlm::kAttributeNotFound) : found->second;
    if (reply.code < 0) {
      const qzerr::ErrorConstant managerError{reply.code, "managerError"};
      QZERR_ERROR(managerError).channel("qzqlm_debug", "scripted").raise();
    }
    *json = reply.json;
  }
  [[noreturn]] static void unused() { throw std::logic_error("not used by the helpers"); }
};

bool has(const CaughtError& error, const std::string& text) {
  return error.detail.find(text) != std::string::npos;
}

class TimescaleHelpersTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeManager> fake_ = std::make_shared<FakeManager>();
  TimescaleHelpers helpers_{fake_};
};

TEST_F(TimescaleHelpersTest, TimescaleUriTurnsSpacesIntoDashesAndKeepsCase) {
  fake_->addReference("PTP 0", "IEEE 1588-2008", "PTP_SLAVE", "Ab 12");
  EXPECT_EQ("/veskwebs/timescales/pendulo/PTP-0/Ab-12", helpers_.getTimescaleUri("PTP 0"));
  std::string text = "a b\tc";
  EXPECT_EQ("a-b\tc", helpers_.sanitize(text));
  EXPECT_EQ("a-b\tc", text);
}

TEST_F(TimescaleHelpersTest, HostlessUriDropsTheHostOfASixPartUri) {
  EXPECT_EQ("/veskwebs/timescales/pendulo/PTP-0/gm",
            helpers_.getHostlessUri("/10.0.0.2/veskwebs/timescales/pendulo/PTP-0/gm"));
  for (const char* uri : {"/h/veskwebs/timescales/pendulo/PTP-0", "/h/veskwebs/timescales/pendulo/PTP-0/gm/x"}) {
    EXPECT_EQ(-52005, caughtError([&] { helpers_.getHostlessUri(uri); }).code) << uri;
  }
}

// One table for the three attributes of a reference: each answer and the
// error it must give (code, then a piece of the detail).
TEST_F(TimescaleHelpersTest, ReferenceAttributeFailures) {
  struct Case {
    const char* key;
    Reply reply;
    int32_t code;
    const char* inDetail;
  };
  const Case cases[] = {
      {"type", Reply{R"({"type":null})"}, -52006,
       R"("qzsyncdomain_debug":{"message":"The specified Pendulo Time Reference's Type is null.",)"
       R"("timeReferenceId":"R","timeReferenceTypeKey":"type"})"},
      {"type", Reply{R"({"type":""})"}, -52006, "The specified Pendulo Time Reference's Type is null."},
      {"type", Reply{R"({"TYPE":7})"}, -52004,
       R"("error_constant":"errCode","file":"jsonHelperFunctions")"},
      {"type", Reply{R"({"other":"x"})"}, -52005,
       R"({"message":"Failed to parse typeKey key from trTypeJson.","typeKey":"type",)"
       R"("trTypeJson":"{\"other\":\"x\"}"})"},
      {"type", failure(qzqlm::kAttributeNotFound), -52006,
       "has not set a Time Reference Type\",\"timeReferenceId\":\"R\",\"timeReferenceTypeKey\":\"type\"},"
       "\"nested_error\":[{"},
      {"type", failure(qzqlm::kTimeReferenceNotFound), -52006,
       "The specified Pendulo Time Reference does not exist.\",\"timeReferenceId\":\"R\""},
      {"type", failure(-52024), -52024, R"("error_constant":"managerError")"},
      {"type", Reply{"not json"}, -52005, R"("error_constant":"jsonErrorsInvalidJSON")"},
      {"portState", Reply{R"({"portState":null})"}, -52006,
       "Port State is null.\",\"timeReferenceId\":\"R\",\"portStateKey\":\"portState\""},
      {"portState", Reply{"[]"}, -52005,
       R"({"message":"Failed to parse portStateKey key from trStateJson.","portStateKey":"portState",)"},
      {"portState", failure(qzqlm::kAttributeNotFound), -52006, "has not set a Port State"},
      {"gmClockId", Reply{R"({"gmClockId":""})"}, -52006,
       "Grandmaster ID is null.\",\"timeReferenceId\":\"R\",\"gmClockIdKey\":\"gmClockId\""},
      {"gmClockId", Reply{R"({"gmClockId":true})"}, -52004, R"("key":"gmClockId")"},
      {"gmClockId", Reply{"{}"}, -52005,
       R"({"message":"Failed to parse gmClockId key from gmIdJson.","gmIdJson":"{}","gmClockIdKey":"gmClockId"})"},
      {"gmClockId", failure(qzqlm::kAttributeNotFound), -52006, "has not set a Grandmaster ID."},
      {"gmClockId", failure(qzqlm::kTimeReferenceNotFound), -52006, "\"gmClockIdKey\":\"gmClockId\"},\"nested_error\""},
  };
  const std::map<std::string, std::function<void()>> queries = {
      {"type", [&] { helpers_.getTimeReferenceType("R"); }},
      {"portState", [&] { helpers_.getPortState("R"); }},
      {"gmClockId", [&] { helpers_.getGrandmasterId("R"); }},
  };
  for (const Case& c : cases) {
    fake_->references[{"R", c.key}] = c.reply;
    const CaughtError error = caughtError(queries.at(c.key));
    EXPECT_EQ(c.code, error.code) << c.key << " " << c.reply.json;
    EXPECT_TRUE(has(error, c.inDetail)) << error.detail;
  }
}

TEST_F(TimescaleHelpersTest, ReadsMembersWithoutRegardToCase) {
  fake_->references[{"R", "type"}] = Reply{R"({"Type":"IEEE 1588-2008 BC"})"};
  EXPECT_EQ("IEEE 1588-2008 BC", helpers_.getTimeReferenceType("R"));
}

TEST_F(TimescaleHelpersTest, HostSynchronizedAnswers) {
  struct Case {
    Reply reply;
    bool synchronized;
  };
  const Case cases[] = {
      {Reply{R"({"isHostTimeSynchronized":null})"}, true},
      {Reply{R"({"isHostTimeSynchronized":false})"}, false},
      {Reply{R"({"ISHOSTTIMESYNCHRONIZED":true})"}, true},
      {failure(-52024), false},
  };
  for (const Case& c : cases) {
    fake_->manager["isHostTimeSynchronized"] = c.reply;
    EXPECT_EQ(c.synchronized, helpers_.isHostTimeSynchronized()) << c.reply.json;
  }
}

TEST_F(TimescaleHelpersTest, HostSynchronizedFailures) {
  struct Case {
    Reply reply;
    int32_t code;
    const char* inDetail;
  };
  const Case cases[] = {
      {Reply{"{}"}, -52005,
       R"({"message":"Failed to parse isHostTimeSynchronized from QLM JSON.","isHostTimeSynchronizedJson":"{}"})"},
      {Reply{R"({"isHostTimeSynchronized":1})"}, -52004, R"("error_constant":"errCode")"},
      {failure(qzqlm::kAttributeNotFound), -52006,
       "maybe the target is running an older version of Pendulo.\",\"attrKey\":\"isHostTimeSynchronized\"},"
       "\"nested_error\""},
      {failure(qzqlm::kTimeReferenceNotFound), qzqlm::kTimeReferenceNotFound, "managerError"},
  };
  for (const Case& c : cases) {
    fake_->manager["isHostTimeSynchronized"] = c.reply;
    const CaughtError error = caughtError([&] { helpers_.isHostTimeSynchronized(); });
    EXPECT_EQ(c.code, error.code) << c.reply.json;
    EXPECT_TRUE(has(error, c.inDetail)) << error.detail;
  }
}

TEST_F(TimescaleHelpersTest, TimeReferenceLists) {
  struct Case {
    const char* json;
    int32_t idsCode;    // 0: the list below
    int32_t firstCode;  // 0: its first element
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {R"({"timeReferences":["a","b"]})", 0, 0, {"a", "b"}},
      {R"({"timeReferences":[]})", 0, -52005, {}},
      {R"({"timeReferences":null})", 0, -52005, {}},
      {R"({"other":[]})", -52005, -52005, {}},
      {R"({"timeReferences":"a"})", -52004, -52004, {}},
      {R"({"timeReferences":["a",1]})", -52004, -52004, {}},
  };
  for (const Case& c : cases) {
    fake_->manager["timeReferences"] = Reply{c.json};
    std::vector<std::string> ids;
    EXPECT_EQ(c.idsCode, caughtError([&] { ids = helpers_.getTimeReferenceIds(); }).code) << c.json;
    EXPECT_EQ(c.ids, ids) << c.json;
    std::string first;
    EXPECT_EQ(c.firstCode, caughtError([&] { first = helpers_.getFirstTimeReferenceId(); }).code) << c.json;
    if (c.firstCode == 0) {
      EXPECT_EQ(c.ids.front(), first);
    }
  }
}

TEST_F(TimescaleHelpersTest, TimeReferenceListFailuresSayWhichList) {
  fake_->manager["timeReferences"] = Reply{R"({"other":1})"};
  EXPECT_TRUE(has(caughtError([&] { helpers_.getTimeReferenceIds(); }),
                  R"({"message":"Failed to parse TR IDs from TR list JSON.","trListJson":"{\"other\":1}",)"
                  R"("trIds":"timeReferences"})"));
  EXPECT_TRUE(has(caughtError([&] { helpers_.getFirstTimeReferenceId(); }),
                  R"("Failed to parse TR ID from TR list JSON or TR list is empty.",)"
                  R"("trListJson":"{\"other\":1}","trId":"timeReferences"})"));
  fake_->manager["timeReferences"] = failure(qzqlm::kAttributeNotFound);
  const CaughtError older = caughtError([&] { helpers_.getFirstTimeReferenceId(); });
  EXPECT_EQ(-52006, older.code);
  EXPECT_TRUE(has(older, R"("attrKey":"timeReferences"},"nested_error":[{)")) << older.detail;
}

TEST_F(TimescaleHelpersTest, FirstTimescaleAndGrandmasterComeFromTheFirstReference) {
  fake_->manager["timeReferences"] = Reply{R"({"timeReferences":["PTP 1","PTP 2"]})"};
  fake_->addReference("PTP 1", "IEEE 1588-2008", "PTP_SLAVE", "gm 1");
  EXPECT_EQ("/veskwebs/timescales/pendulo/PTP-1/gm-1", helpers_.getFirstTimescaleUri());
  EXPECT_EQ("gm 1", helpers_.getFirstGrandmasterId());
}

TEST_F(TimescaleHelpersTest, UsableTimescalesPutSlavesAndBoundaryClocksFirst) {
  fake_->manager["timeReferences"] = Reply{R"({"timeReferences":["R1","R2","R3","R4","R5","R6"]})"};
  fake_->addReference("R1", "IEEE 1588-2008", "PTP_SLAVE", "g1");
  fake_->addReference("R2", "IEEE 1588-2008 BC", "PTP_LISTENING", "g2");
  fake_->addReference("R3", "IEEE 802.1AS-2011", "PTP_MASTER", "g3");
  fake_->addReference("R4", "IEEE 1588-2008", "PTP_LISTENING", "g4");
  fake_->addReference("R5", "ieee 1588-2008 bc", "PTP_MASTER", "g5");  // not a known type
  fake_->addReference("R6", "IEEE 802.1AS-2011", "PTP_DISABLED", "g6");
  fake_->selected = "R1";
  const std::string prefix = "/veskwebs/timescales/pendulo/";
  EXPECT_EQ((std::vector<std::string>{prefix + "R2/g2", prefix + "R1/g1", prefix + "R3/g3", prefix + "R6/g6"}),
            helpers_.getUsableTimescaleUris());
}

TEST_F(TimescaleHelpersTest, ASlavePortCountsOnlyForTheSelectedReference) {
  fake_->addReference("R1", "IEEE 1588-2008", "PTP_SLAVE", "g1");
  EXPECT_FALSE(helpers_.isSlaveOf("R1"));  // nothing selected
  fake_->selected = "R2";
  EXPECT_FALSE(helpers_.isSlaveOf("R1"));
  fake_->selected = "R1";
  EXPECT_TRUE(helpers_.isSlaveOf("R1"));
  fake_->addReference("R1", "IEEE 1588-2008", "PTP_MASTER", "g1");
  EXPECT_FALSE(helpers_.isSlaveOf("R1"));
  EXPECT_TRUE(helpers_.isMasterOrDisabled("R1"));
}

TEST_F(TimescaleHelpersTest, AFailingQueryEndsTheWholeList) {
  fake_->manager["timeReferences"] = Reply{R"({"timeReferences":["R1","R2"]})"};
  fake_->addReference("R1", "IEEE 1588-2008 BC", "PTP_SLAVE", "g1");
  fake_->references[{"R2", "type"}] = failure(qzqlm::kTimeReferenceNotFound);
  EXPECT_EQ(-52006, caughtError([&] { helpers_.getUsableTimescaleUris(); }).code);
}

// The composite queries reach the basic ones through the object's own
// virtual operations.
TEST_F(TimescaleHelpersTest, CompositesSeeAnOverriddenBasicQuery) {
  struct FixedGrandmaster : TimescaleHelpers {
    using TimescaleHelpers::TimescaleHelpers;
    std::string getGrandmasterId(const std::string&) override { return "fixed gm"; }
  };
  FixedGrandmaster helpers(fake_);
  EXPECT_EQ("/veskwebs/timescales/pendulo/R/fixed-gm", helpers.getTimescaleUri("R"));
}

}  // namespace
}  // namespace vesktools::pendulo
