#include "qzdynlib/dynload.h"

#include <cjson/cJSON.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "qzerr/errorDetail.h"
#include "qzsdbg/debugLines.h"
#include "testing/testStatus.h"

namespace {

constexpr char kTestLibrary[] = QZDYNTEST_LIBRARY_PATH;
constexpr char kMissingLibrary[] = "/nonexistent/qzdynlib/libqzmissing.so";
constexpr int kFlags = RTLD_NOW | RTLD_GLOBAL;

using Twice = int (*)(int);

using vesk::testing::TestStatus;

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

Json parse(const std::string& text) { return Json(cJSON_Parse(text.c_str()), cJSON_Delete); }

std::vector<std::string> memberNames(const cJSON* object) {
  std::vector<std::string> names;
  for (const cJSON* item = object->child; item != nullptr; item = item->next) names.push_back(item->string);
  return names;
}

std::string member(const cJSON* object, const char* name) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
  return cJSON_IsString(item) ? item->valuestring : "<missing " + std::string(name) + ">";
}

bool isLoadedNow(const char* path) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}

// The detail every failure of this family leaves: the site members, the
// channel with its "debug" text and the value asked for, then the loader's
// message.
void expectFailureDetail(const TestStatus& status, const char* debug, const char* key, const std::string& value,
                         const std::string& loaderMentions) {
  EXPECT_EQ(status.code(), -52005);
  const Json detail = parse(status.json());
  ASSERT_NE(detail, nullptr) << status.json();
  EXPECT_EQ(memberNames(detail.get()),
            (std::vector<std::string>{"error_constant", "file", "line", "component", "qzdynlib_debug",
                                      "internal_error"}));
  EXPECT_EQ(member(detail.get(), "error_constant"), "qzkormerr_invalidParameter");
  EXPECT_EQ(member(detail.get(), "file"), "dynload");
  EXPECT_TRUE(cJSON_IsNumber(cJSON_GetObjectItemCaseSensitive(detail.get(), "line")));
  EXPECT_EQ(member(detail.get(), "component"), "vesklib");

  const cJSON* channel = cJSON_GetObjectItemCaseSensitive(detail.get(), "qzdynlib_debug");
  ASSERT_TRUE(cJSON_IsObject(channel)) << status.json();
  EXPECT_EQ(memberNames(channel), (std::vector<std::string>{"debug", key}));
  EXPECT_EQ(member(channel, "debug"), debug);
  EXPECT_EQ(member(channel, key), value);

  const cJSON* internal = cJSON_GetObjectItemCaseSensitive(detail.get(), "internal_error");
  ASSERT_TRUE(cJSON_IsObject(internal)) << status.json();
  EXPECT_EQ(memberNames(internal), (std::vector<std::string>{"api", "string"}));
  EXPECT_EQ(member(internal, "api"), "dlerror");
  EXPECT_NE(member(internal, "string").find(loaderMentions), std::string::npos) << status.json();
  // The loader's pending message was cleared.
  EXPECT_EQ(dlerror(), nullptr);
}

TEST(QzdynlibLoad, MissingLibraryReportsPathAndLoaderMessage) {
  TestStatus status;
  EXPECT_EQ(qzdynlib_load(kMissingLibrary, kFlags, status.get()), nullptr);
  expectFailureDetail(status, "failed to qzdynlib_load library", "path", kMissingLibrary, "libqzmissing.so");
}

TEST(QzdynlibLoad, MissingSymbolReportsItsNameAndLoaderMessage) {
  TestStatus status;
  void* handle = qzdynlib_load(kTestLibrary, kFlags, status.get());
  ASSERT_NE(handle, nullptr) << status.json();
  EXPECT_EQ(qzdynlib_getSymbol(handle, "qzdyntest_missing", status.get()), nullptr);
  expectFailureDetail(status, "failed to get symbol", "qzdynlib_symbol", "qzdyntest_missing",
                      "qzdyntest_missing");
  qzdynlib_unload(handle);
}

TEST(QzdynlibLoad, LibraryLoadsAndItsFunctionIsCalled) {
  TestStatus status;
  void* handle = qzdynlib_load(kTestLibrary, kFlags, status.get());
  ASSERT_NE(handle, nullptr) << status.json();
  char name[256];
  qzdynlib::formatDelayLoadName(name, sizeof name, "%s%s%s", "qzdyntest_", "twice", "");
  EXPECT_STREQ(name, "qzdyntest_twice");
  auto twice = reinterpret_cast<Twice>(qzdynlib_getSymbol(handle, name, status.get()));
  ASSERT_NE(twice, nullptr) << status.json();
  EXPECT_EQ(twice(21), 42);
  EXPECT_EQ(status.code(), 0);
  EXPECT_EQ(status->json, nullptr);
  qzdynlib_unload(handle);
}

TEST(QzdynlibLoad, AnEarlierErrorStopsEverything) {
  TestStatus status;
  QZERR_STATUS_ERROR(status.get(), qzerr::kCommunicationsFault).channel("qzsyncdomain_debug", "Earlier.");
  const std::string before = status.json();
  ASSERT_FALSE(isLoadedNow(kTestLibrary));

  EXPECT_EQ(qzdynlib_load(kTestLibrary, kFlags, status.get()), nullptr);
  EXPECT_FALSE(isLoadedNow(kTestLibrary));  // dlopen was not called
  EXPECT_EQ(qzdynlib_getSymbol(RTLD_DEFAULT, "qzdynlib_load", status.get()), nullptr);
  EXPECT_EQ(status.code(), -52024);
  EXPECT_EQ(status.json(), before);
}

TEST(QzdynlibLoad, AFailureReplacesAWarning) {
  TestStatus status;
  ASSERT_TRUE(qzerr_setCode(status.get(), 5));
  EXPECT_EQ(qzdynlib_load(kMissingLibrary, kFlags, status.get()), nullptr);
  expectFailureDetail(status, "failed to qzdynlib_load library", "path", kMissingLibrary, "libqzmissing.so");
}

int formatHookCalls = 0;

int countingFormatHook(char* buffer, size_t size, const char* format, va_list args) {
  ++formatHookCalls;
  return vsnprintf(buffer, size, format, args);
}

TEST(QzdynlibFormatDelayLoadName, GoesThroughTheHookAndCutsLongNames) {
  const qzsdbg_FormatHook previous = qzsdbg_formatHook;
  qzsdbg_formatHook = countingFormatHook;
  formatHookCalls = 0;
  char buffer[256];
  qzdynlib::formatDelayLoadName(buffer, sizeof buffer, "%s%s%s", "pre_", "name", "_post");
  EXPECT_STREQ(buffer, "pre_name_post");
  const std::string longName(300, 'n');
  qzdynlib::formatDelayLoadName(buffer, sizeof buffer, "%s%s%s", "", longName.c_str(), "");
  EXPECT_EQ(std::string(buffer), longName.substr(0, 255));
  EXPECT_EQ(formatHookCalls, 2);
  qzsdbg_formatHook = previous;
}

struct Table {
  Twice twice;
};

TEST(QzdynlibAutoLib, ClosesItsLibraryWhenTheLastShareGoes) {
  {
    auto empty = std::make_shared<qzdynlib::AutoLibWithInterface<Table>>();
    EXPECT_EQ(empty->handle, nullptr);
    EXPECT_EQ(empty->table.twice, nullptr);
  }  // nothing to close

  ASSERT_FALSE(isLoadedNow(kTestLibrary));
  TestStatus status;
  auto library = std::make_shared<qzdynlib::AutoLibWithInterface<Table>>();
  library->handle = qzdynlib_load(kTestLibrary, kFlags, status.get());
  ASSERT_NE(library->handle, nullptr) << status.json();
  library->table.twice = reinterpret_cast<Twice>(qzdynlib_getSymbol(library->handle, "qzdyntest_twice", status.get()));
  ASSERT_NE(library->table.twice, nullptr);
  EXPECT_EQ(library->table.twice(4), 8);
  std::shared_ptr<qzdynlib::AutoLib> share = library;
  library.reset();
  EXPECT_TRUE(isLoadedNow(kTestLibrary));
  share.reset();
  EXPECT_FALSE(isLoadedNow(kTestLibrary));
}

}  // namespace
