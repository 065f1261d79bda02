#include "qzjsonlh/cppJson.h"

#include <cstdlib>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "jsonz/jsonz.h"
#include "testing/raised.h"

namespace {

using vesk::testing::errorConstant;
using vesk::testing::raised;

// The code and error constant a call raises, or {0, ""} when it does not.
template <typename Call>
std::pair<int32_t, std::string> codeAndConstant(Call call) {
  const vesk::testing::Raised error = raised(call);
  return {error.code, errorConstant(error.detail)};
}

// Counts the blocks cJSON holds while it lives, so that a tree left behind
// shows in every build, not only under the leak checker.
class CountedAllocations {
 public:
  CountedAllocations() {
    live_ = 0;
    cJSON_Hooks hooks{allocate, release};
    cJSON_InitHooks(&hooks);
  }
  ~CountedAllocations() { cJSON_InitHooks(nullptr); }
  static int live() { return live_; }

 private:
  static void* allocate(size_t size) {
    ++live_;
    return malloc(size);
  }
  static void release(void* block) {
    if (block != nullptr) --live_;
    free(block);
  }
  static int live_;
};
int CountedAllocations::live_ = 0;

TEST(CppJson, ParsesOneValueAndIgnoresWhatFollows) {
  CppJson json(R"({"a":1} trailing)");
  ASSERT_NE(json.get(), nullptr);
  EXPECT_EQ(codeAndConstant([] { CppJson empty(""); }), std::make_pair(-52005, std::string("jsonErrorsInvalidJSON")));
}

TEST(CppJson, ParseReplacesTheHeldTreeAndAFailureLeavesItEmpty) {
  CountedAllocations counted;
  CppJson json("[1]");
  const int oneTree = counted.live();
  json.parse("[2]");
  EXPECT_EQ(counted.live(), oneTree);  // the first tree was freed
  EXPECT_EQ(cJSON_GetArrayItem(json.get(), 0)->valueint, 2);
  EXPECT_EQ(raised([&] { json.parse("{"); }).code, -52005);
  EXPECT_EQ(json.get(), nullptr);
  EXPECT_EQ(counted.live(), 0);
}

// The tree layer and the text reader (jsonz) share one nesting limit.
TEST(CppJson, ParsesNestingUpToTheSharedLimit) {
  const struct {
    size_t levels;
    bool closed;
    int32_t code;
  } cases[] = {
      {500, true, 0},
      {jsonz_maxNestingDepth, true, 0},
      {jsonz_maxNestingDepth + 1, true, -52005},
      {1000000, false, -52005},
  };
  for (const auto& c : cases) {
    const std::string text = std::string(c.levels, '[') + std::string(c.closed ? c.levels : 0, ']');
    const auto expected = std::make_pair(c.code, std::string(c.code ? "jsonErrorsInvalidJSON" : ""));
    EXPECT_EQ(codeAndConstant([&] { CppJson json(text.c_str()); }), expected) << c.levels;
  }
}

TEST(CppJson, ReleaseHandsOverAndResetFrees) {
  CountedAllocations counted;
  cJSON* tree = nullptr;
  {
    CppJson json("[1]");
    tree = json.release();
    EXPECT_EQ(json.get(), nullptr);
  }
  EXPECT_TRUE(CppJson::isArray(tree));
  EXPECT_GT(counted.live(), 0);
  CppJson owner(tree);
  owner.reset(nullptr);
  EXPECT_EQ(owner.get(), nullptr);
  EXPECT_EQ(counted.live(), 0);
}

TEST(CppJson, TypeTestsAreExact) {
  CppJson json(R"([null,1,"s",true,false,[],{}])");
  const cJSON* items[7];
  int i = 0;
  for (CppJson::ArrayIterator it(json.get()); !it.atEnd(); ++it) items[i++] = *it;
  ASSERT_EQ(i, 7);
  using Test = bool (*)(const cJSON*);
  const Test tests[] = {CppJson::isNull, CppJson::isNumber, CppJson::isString, CppJson::isBool,
                        CppJson::isBool, CppJson::isArray,  CppJson::isObject};
  for (int t = 0; t < 7; ++t)
    for (int k = 0; k < 7; ++k)
      EXPECT_EQ(tests[t](items[k]), t == k || (t >= 3 && t <= 4 && k >= 3 && k <= 4)) << t << "," << k;
  cJSON reference = *items[1];
  reference.type |= cJSON_IsReference;
  EXPECT_FALSE(CppJson::isNumber(&reference));
}

TEST(CppJson, ChecksRaiseTheirConstants) {
  CppJson json(R"({"Name":"x","n":1,"f":false})");
  const cJSON* root = json.get();
  const cJSON* number = CppJson::getObjectItem(root, "n");
  struct Case {
    const char* what;
    std::function<void()> call;
    int32_t code;
    const char* constant;
  } cases[] = {
      {"object", [&] { CppJson::requireObject(number); }, -52004, "jsonErrorsNotAnObject"},
      {"array", [&] { CppJson::requireArray(root); }, -52004, "jsonErrorsNotAnArray"},
      {"string", [&] { CppJson::getString(number); }, -52004, "jsonErrorsTypeMismatch"},
      {"bool", [&] { CppJson::getBool(number); }, -52004, "jsonErrorsTypeMismatch"},
      {"number", [&] { CppJson::requireNumber(root); }, -52004, "jsonErrorsTypeMismatch"},
      {"missing", [&] { CppJson::getObjectItem(root, "absent"); }, -52006, "jsonErrorsObjectItemNotFound"},
      {"not object", [&] { CppJson::getObjectItem(number, "n"); }, -52004, "jsonErrorsNotAnObject"},
      {"walk", [&] { CppJson::ArrayIterator it(root); }, -52004, "jsonErrorsNotAnArray"},
  };
  for (const Case& c : cases) EXPECT_EQ(codeAndConstant(c.call), std::make_pair(c.code, std::string(c.constant))) << c.what;
}

TEST(CppJson, ReadersFindMembersInAnyLetterCase) {
  CppJson json(R"({"Name":"x","f":false})");
  EXPECT_EQ(CppJson::getString(CppJson::getObjectItem(json.get(), "name")), "x");
  EXPECT_FALSE(CppJson::getBool(CppJson::getObjectItem(json.get(), "F")));
  EXPECT_EQ(CppJson::print(json.get()), R"({"Name":"x","f":false})");
}

TEST(CppJson, BuildersMakeOwnedItems) {
  CppJson object(cJSON_CreateObject());
  cJSON* array = CppJson::createArray();
  cJSON_AddItemToArray(array, CppJson::createString("a\"b"));
  CppJson::addItemToObject(object.get(), "list", array);
  EXPECT_EQ(CppJson::print(object.get()), R"({"list":["a\"b"]})");
}

}  // namespace
