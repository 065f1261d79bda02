#include "qz/qbx/realtimeKernel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace qz::qbx {
namespace {

class FlagFile {
 public:
  explicit FlagFile(const std::string& content) {
    char name[] = "/tmp/qzqbx_realtimeXXXXXX";
    const int file = mkstemp(name);
    path_ = name;
    EXPECT_EQ(write(file, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(file);
  }
  ~FlagFile() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

TEST(QbxRealtimeKernel, OnlyAFirstByteOfOneMeansRealtime) {
  struct Case {
    const char* content;
    bool expected;
  };
  const Case cases[] = {{"1", true}, {"1\n", true}, {"10", true}, {"0", false},
                        {"", false}, {" 1", false}, {"y", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << c.content << "'");
    const FlagFile file(c.content);
    EXPECT_EQ(readRealtimeFlag(file.path()), c.expected);
  }
  EXPECT_FALSE(readRealtimeFlag("/nonexistent/qzqbx/realtime"));
}

std::atomic<int> computations{0};

void answerYes(bool* answer) {
  ++computations;
  *answer = true;
}

void answerNo(bool* answer) {
  ++computations;
  *answer = false;
}

TEST(QbxRealtimeKernel, CacheComputesOnceAndKeepsEitherAnswer) {
  for (auto compute : {answerYes, answerNo}) {
    computations = 0;
    RealtimeCache cache(compute);
    const bool expected = compute == answerYes;
    std::vector<std::thread> threads;
    std::atomic<int> agreeing{0};
    for (int i = 0; i < 8; ++i) {
      threads.emplace_back([&] {
        for (int j = 0; j < 100; ++j) {
          if (isRealtimeKernelCached(&cache) == expected) ++agreeing;
        }
      });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(computations, 1);
    EXPECT_EQ(agreeing, 800);
    EXPECT_EQ(cache.lockWord.load(), 0u);
  }
}

TEST(QbxRealtimeKernel, ProcessCacheAgreesWithTheKernelFlag) {
  EXPECT_EQ(isRealtimeKernelCached(), readRealtimeFlag(kRealtimeFlagPath));
  EXPECT_EQ(isRealtimeKernelCached(), isRealtimeKernelCached());
}

}  // namespace
}  // namespace qz::qbx
