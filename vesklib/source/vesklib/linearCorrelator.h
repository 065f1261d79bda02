// vesklib::LinearCorrelator: converts time stamps between two timescales
// through a straight line fitted over a sliding window of paired readings.
// Once started, a sampling thread of its own reads both clocks side by side
// (every 1 ms until the window is full, then every samplingIntervalMs) and
// feeds the regression. When one timescale is the host clock and the host's
// time-synchronisation manager says the host follows the other timescale's
// grandmaster, the host's reading stands for both, so correlation is the
// identity. A clock read that fails ends the thread; its error is kept and
// thrown by every correlate until the next start, a first correlate waiting
// for the window included. stop cuts the pause between samples short.
// Callers come one at a time; only the sampling thread runs beside them. The
// timescales are not owned and must outlive the correlator.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>

#include "qzerr/status.h"
#include "vesklib/timestampCorrelatorInterface.h"
#include "vesktools/monotonicTimer.h"

namespace qzpendulo {
struct QlmClientStack;
}
namespace vesktools::pendulo {
class TimescaleHelpers;
}

namespace vesklib {

class LinearRegressionFilterWrapper;

// The URI under which the service registers the host clock.
inline constexpr char kHostTimescaleUri[] = "/localhost/vesks/timescales/system";

class LinearCorrelator final : public TimestampCorrelatorInterface {
 public:
  // Checks nothing; start checks the history length.
  LinearCorrelator(std::string uri, TimescaleInterface* timescale1, TimescaleInterface* timescale2,
                   uint32_t samplingIntervalMs, uint32_t maxSampleSize, uint32_t maxWaitForFirstCorrelateMs);
  // Stops (joins the sampling thread) first.
  ~LinearCorrelator() override;
  LinearCorrelator(const LinearCorrelator&) = delete;
  LinearCorrelator& operator=(const LinearCorrelator&) = delete;

  // Timescale 1 to 2 through the line, or 2 to 1 through its inverse. The
  // first calls within maxWaitForFirstCorrelateMs of a start wait for a
  // full window, or until the sampling thread ends. -52005 for a foreign
  // source, -52017 before any start, the sampling thread's error after it
  // failed, -52010 with under 2 samples.
  void correlate(const vesklib_Timestamp* timestampInSourceTimescale, TimescaleInterface* sourceTimescale,
                 vesklib_Timestamp* correlatedTimestamp) override;
  const std::string& getUri() const noexcept override { return uri_; }
  const std::string& getTimescale1Uri() const noexcept override;
  const std::string& getTimescale2Uri() const noexcept override;
  // Begins with an empty window; -52016 while running, -52005 for a window
  // under 2. Loads the manager client library when it is not loaded yet; a
  // missing one is no failure (it is tried again at the next start).
  void start() override;
  // Ends and joins the sampling thread, at the latest after its current
  // reading; the window stays for correlate.
  void stop() override;
  bool isRunning() const noexcept override { return running_; }
  std::string toJson() override;

 private:
  void stopSampling();
  // Between samples; stopSampling ends it at once.
  void pause(uint32_t ms);
  void joinSamplingThread();
  void findHostTimescale();
  void loadManagerClient();
  void clearSamplingStatus();
  void sample();
  void keepSamplingFailure();
  void throwSamplingFailure();
  void waitForHistory();
  bool isHostSynchronizedToRemote();

  const std::string uri_;
  TimescaleInterface* const timescale1_;
  TimescaleInterface* const timescale2_;
  const uint32_t samplingIntervalMs_;
  const uint32_t maxSampleSize_;
  const uint32_t maxWaitForFirstCorrelateMs_;
  std::unique_ptr<LinearRegressionFilterWrapper> regression_;
  std::atomic<bool> running_{false};
  std::mutex pauseMutex_;
  std::condition_variable pauseEnded_;
  std::future<void> samplingFuture_;
  // The sampling thread stores its error under the lock before it clears
  // running_; start joins the thread before it clears the error.
  std::mutex samplingStatusMutex_;
  qzerr_Status samplingStatus_;
  vesktools::MonotonicTimer firstCorrelateTimer_;
  TimescaleInterface* hostTimescale_ = nullptr;
  std::string remoteGrandmasterId_;
  std::unique_ptr<qzpendulo::QlmClientStack> qlmClientStack_;
  std::shared_ptr<vesktools::pendulo::TimescaleHelpers> timescaleHelpers_;
};

}  // namespace vesklib
