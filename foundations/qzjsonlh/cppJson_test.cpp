#include "qzjsonlh/cppJson.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "jsonz/jsonz.h"
#include "qzerr/status.h"
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
// shows in every build, not only under the leak checker, and the blocks it
// ever took.
class CountedAllocations {
 public:
  CountedAllocations() {
    live_ = 0;
    made_ = 0;
    cJSON_Hooks hooks{allocate, release};
    cJSON_InitHooks(&hooks);
  }
  ~CountedAllocations() { cJSON_InitHooks(nullptr); }
  static int live() { return live_; }
  static int made() { return made_; }

 private:
  static void* allocate(size_t size) {
    ++live_;
    ++made_;
    return malloc(size);
  }
  static void release(void* block) {
    if (block != nullptr) --live_;
    free(block);
  }
  static int live_;
  static int made_;
};
int CountedAllocations::live_ = 0;
int CountedAllocations::made_ = 0;

// The items of a tree as cJSON made it.
size_t itemsIn(const cJSON* item) {
  size_t items = 1;
  for (const cJSON* child = item->child; child != nullptr; child = child->next) items += itemsIn(child);
  return items;
}

// A flat array of `values` values, its own included.
std::string zeros(size_t values) {
  std::string text = "[0";
  for (size_t i = 2; i < values; ++i) text += ",0";
  return text + "]";
}

// Caps the address space `headroom` bytes above what the process maps now.
void capAddressSpace(size_t headroom) {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0;
  statm >> pages;
  rlimit cap{};
  getrlimit(RLIMIT_AS, &cap);
  cap.rlim_cur = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + headroom;
  setrlimit(RLIMIT_AS, &cap);
}

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

// The count is exact for what cJSON parses: a limit of the items it made
// takes the text, one less refuses it.
TEST(CppJson, CountsTheItemsCJsonMakesOfTheFirstValue) {
  const struct {
    const char* what;
    const char* text;
  } cases[] = {
      {"a scalar", "0"},
      {"empty containers", "[[ ],{\n}]"},
      {"members", R"({"a":[1,{"b":null}],"c":"d"})"},
      {"commas and brackets in strings", R"(["a,b","[{",{"k,}":"],"}])"},
      {"escaped quotes and backslashes", R"(["\"],[\\",",\""])"},
      {"a container followed by more", "[0] [0,0]"},
      {"a scalar followed by more", R"("s",[0,0])"},
      {"a byte-order mark", "\xEF\xBB\xBF [0,0]"},
  };
  for (const auto& c : cases) {
    const CppJson parsed(c.text);
    const size_t made = itemsIn(parsed.get());
    EXPECT_TRUE(CppJson::valuesWithin(c.text, made)) << c.what;
    EXPECT_FALSE(CppJson::valuesWithin(c.text, made - 1)) << c.what;
  }
}

// A text over the limit is refused before cJSON allocates anything.
TEST(CppJson, ParsesValuesUpToTheLimit) {
  CountedAllocations counted;
  const struct {
    size_t values;
    int32_t code;
  } cases[] = {
      {CppJson::kMaxValues, 0},
      {CppJson::kMaxValues + 1, -52005},
  };
  for (const auto& c : cases) {
    const std::string text = zeros(c.values);
    const int before = counted.made();
    const auto expected = std::make_pair(c.code, std::string(c.code ? "jsonErrorsInvalidJSON" : ""));
    EXPECT_EQ(codeAndConstant([&] { CppJson json(text.c_str()); }), expected) << c.values;
    EXPECT_EQ(counted.made() > before, c.code == 0) << c.values;
  }
}

// With the address space capped, malloc fails while cJSON builds the tree:
// that is a full memory, as the exported functions report it, not a bad text.
// The child is a fresh process, so no room that earlier tests freed is there
// to take instead.
TEST(CppJson, AFailedAllocationWhileParsingIsMemoryFull) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizers' allocator aborts where malloc would fail";
#endif
  constexpr size_t kHeadroomBytes = size_t{4} << 20;
  constexpr size_t kValues = 250000;  // a tree of some 20 MiB, well within the limit
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string text = zeros(kValues);
  EXPECT_EXIT(
      {
        capAddressSpace(kHeadroomBytes);
        qzerr_Status status = qzerr_freshStatus();
        try {
          CppJson json(text.c_str());
        } catch (...) {
          qzerr_statusFromCurrentException(&status);
        }
        std::fprintf(stderr, "code %d\n", status.code);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "code -52000");
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
