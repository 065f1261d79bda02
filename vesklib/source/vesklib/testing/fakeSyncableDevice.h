// A syncable device for tests and benchmarks, scripted in process: what it
// answers, after which delay, which call throws which kind of failure, and
// how often each operation was called. It may be scripted and read while
// pool threads call it.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "vesklib/syncableDeviceInterface.h"

namespace vesklib::testing {

enum class FakeCall { setCoherencyRequirements, clearCoherencyRequirements, isCoherent, getUri, toJson };

enum class FakeFailure {
  none,
  qzerrError,     // qzerr::Exception -52024 naming the device
  standardError,  // std::runtime_error
  outOfMemory,    // std::bad_alloc
  foreignObject,  // an int: outside every exception hierarchy
};

struct FakeAnswer {
  bool isCoherent;
  uint32_t coherencyLossCount;
};

class FakeSyncableDevice : public SyncableDeviceInterface {
 public:
  // Coherent with no losses, no delay, no failure; toJson gives {"uri":"<uri>"}
  // (the URI as it stands: test URIs need no escaping).
  explicit FakeSyncableDevice(const std::string& uri);

  // isCoherent gives these in turn; the last one repeats.
  void setAnswers(const std::vector<FakeAnswer>& answers);
  void setAnswer(bool isCoherent, uint32_t coherencyLossCount) { setAnswers({{isCoherent, coherencyLossCount}}); }
  void setJson(const std::string& json);
  // isCoherent and toJson answer (or fail) only after this delay.
  void setDelay(std::chrono::milliseconds delay);
  // For setCoherencyRequirements, isCoherent and toJson; the other two
  // operations must not throw.
  void setFailure(FakeCall call, FakeFailure failure);

  int calls(FakeCall call) const { return calls_[static_cast<size_t>(call)].load(); }
  // All calls but those of getUri: what a domain that never talks to its
  // devices must leave at 0.
  int callsOtherThanGetUri() const;
  // Calls of isCoherent and toJson that have begun and not yet returned.
  int callsInProgress() const { return inProgress_.load(); }
  std::string lastRequirements() const;
  std::string lastRequirementsDomainUri() const;
  std::vector<std::string> clearedDomainUris() const;

  void setCoherencyRequirements(const std::string& jsonRequirements, const std::string& syncDomainUri) override;
  void clearCoherencyRequirements(const std::string& syncDomainUri) noexcept override;
  bool isCoherent(uint32_t* coherencyLossCount) override;
  const std::string& getUri() const noexcept override;
  std::string toJson() override;

 private:
  // Counts the call, waits the delay (not for setCoherencyRequirements),
  // throws the scripted failure.
  void enter(FakeCall call);

  const std::string uri_;
  mutable std::array<std::atomic<int>, 5> calls_{};
  std::atomic<int> inProgress_{0};

  mutable std::mutex mutex_;
  std::vector<FakeAnswer> answers_{{true, 0}};
  size_t nextAnswer_ = 0;
  std::string json_;
  std::chrono::milliseconds delay_{0};
  std::array<FakeFailure, 5> failures_{};
  std::string lastRequirements_;
  std::string lastRequirementsDomainUri_;
  std::vector<std::string> clearedDomainUris_;
};

}  // namespace vesklib::testing
