#include "vesktools_timescales/clientApiDelayLoadWrapper.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vesklib/testing/caughtError.h"
#include "vesktools_timescales/qlmClientStack.h"
#include "vesktools_timescales/testing/qzqlmStandIn.h"

namespace qzpendulo {
namespace {

using vesklib::testing::caughtError;
using vesklib::testing::CaughtError;
using vesktools::pendulo::testing::QzqlmStandIn;

// The wrapper over the stand-in, bound as the system binds it.
class ClientApiDelayLoadWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stack_ = makeQlmClientApi();
    ASSERT_TRUE(stack_.wrapper);
  }
  void TearDown() override { stack_ = QlmClientStack(); }

  ApiWrapperInterface& api() { return *stack_.wrapper; }

  // A manager attribute "k" whose answer {"k":"xx..."} is `length` long.
  void stateWithAnswerOfLength(size_t length, bool fillBuffers) {
    const std::string value(length - std::strlen(R"({"k":""})"), 'x');
    standIn_.write(R"({"fillBuffers": )" + std::string(fillBuffers ? "true" : "false") +
                   R"(, "qlmAttributes": {"k": ")" + value + R"("}})");
  }

  QzqlmStandIn standIn_;
  QlmClientStack stack_;
};

TEST_F(ClientApiDelayLoadWrapperTest, AnswersTheManagersJsonTexts) {
  standIn_.write(R"({"qlmAttributes": {"isHostTimeSynchronized": false},
                     "timeReferences": {"PTP 0": {"portState": "PTP_SLAVE"}}})");
  std::string json;
  api().getQlmAttrJson("isHostTimeSynchronized", &json);
  EXPECT_EQ(R"({"isHostTimeSynchronized":false})", json);
  api().getTrAttrJson("PTP 0", "portState", &json);
  EXPECT_EQ(R"({"portState":"PTP_SLAVE"})", json);
}

// The library's status travels unchanged inside the exception.
TEST_F(ClientApiDelayLoadWrapperTest, ThrowsTheManagersFailureAsItCame) {
  struct Case {
    const char* state;
    int32_t code;
    const char* inDetail;
  };
  const Case cases[] = {
      {R"({"reachable": false})", -52024, R"("error_constant":"qzkormerr_communicationsFault")"},
      {R"({"timeReferences": {}})", qzqlm::kTimeReferenceNotFound, R"("trId":"PTP 9")"},
      {R"({"timeReferences": {"PTP 9": {}}})", qzqlm::kAttributeNotFound, R"("attrKey":"type")"},
  };
  for (const Case& c : cases) {
    standIn_.write(c.state);
    std::string json = "before";
    const CaughtError error = caughtError([&] { api().getTrAttrJson("PTP 9", "type", &json); });
    EXPECT_EQ(c.code, error.code) << c.state;
    EXPECT_NE(std::string::npos, error.detail.find(c.inDetail)) << error.detail;
    EXPECT_NE(std::string::npos, error.detail.find(R"("function":"getTrAttrJson")")) << error.detail;
    EXPECT_EQ("before", json);
  }
}

TEST_F(ClientApiDelayLoadWrapperTest, DropsAWarningAndKeepsTheAnswer) {
  standIn_.write(R"({"qlmAttributes": {"k": 1}, "failures": {"getQlmAttrJson": {"code": 5}}})");
  std::string json;
  ASSERT_NO_THROW(api().getQlmAttrJson("k", &json));
  EXPECT_EQ(R"({"k":1})", json);
}

TEST_F(ClientApiDelayLoadWrapperTest, SelectedIdIsSetOnlyWhenThereIsOne) {
  std::string id = "unchanged";
  standIn_.write(R"({"selectedTrId": null})");
  EXPECT_FALSE(api().getSelectedTrId(&id));
  EXPECT_EQ("unchanged", id);
  standIn_.write(R"({"selectedTrId": "PTP 1"})");
  EXPECT_TRUE(api().getSelectedTrId(&id));
  EXPECT_EQ("PTP 1", id);
}

TEST_F(ClientApiDelayLoadWrapperTest, AnAnswerOf1023CharactersArrivesWhole) {
  stateWithAnswerOfLength(1023, false);
  std::string json;
  api().getQlmAttrJson("k", &json);
  EXPECT_EQ(1023u, json.size());
  EXPECT_EQ('}', json.back());
}

// A library that fills the whole buffer and leaves out the NUL: the string
// form takes the 1024 bytes it was given and reads no further; the buffer
// form ends the caller's text inside the buffer.
TEST_F(ClientApiDelayLoadWrapperTest, AnAnswerWithoutItsNulIsNotReadPastTheBuffer) {
  stateWithAnswerOfLength(1500, true);
  std::string json;
  api().getQlmAttrJson("k", &json);
  EXPECT_EQ(std::string(R"({"k":")") + std::string(1024 - 6, 'x'), json);

  char buffer[64];
  memset(buffer, '#', sizeof buffer);
  api().getQlmAttrJson("k", buffer, 16);
  EXPECT_EQ(std::string(R"({"k":")") + std::string(9, 'x'), buffer);
  EXPECT_EQ('#', buffer[16]);
}

TEST_F(ClientApiDelayLoadWrapperTest, AnAnswerTooLongForTheLibraryIsItsFailure) {
  stateWithAnswerOfLength(1024, false);
  std::string json;
  EXPECT_EQ(-52019, caughtError([&] { api().getQlmAttrJson("k", &json); }).code);
}

}  // namespace
}  // namespace qzpendulo
