#include "vesklib/linearCorrelator.h"

#include "jsonz/jsonString.h"
#include "qz/qbx/sleepMilliseconds.h"
#include "qzerr/errorDetail.h"
#include "vesklib/grandmasterIdentity.h"
#include "vesklib/linearRegression.h"
#include "vesklib/linearRegressionFilterWrapper.h"
#include "vesklib/timescaleInterface.h"
#include "vesktools_timescales/qlmClientStack.h"

namespace vesklib {

using jsonz::jsonBool;
using jsonz::jsonString;

namespace {

constexpr char kChannel[] = "qzsyncdomain_debug";
constexpr uint64_t kMinHistorySize = 2;
constexpr uint32_t kFillingIntervalMs = 1;
constexpr uint32_t kFirstCorrelatePollMs = 5;

bool differs(const vesklib_Timestamp& a, const vesklib_Timestamp& b) {
  return a.seconds != b.seconds || a.nanos != b.nanos || a.fractionalNanos != b.fractionalNanos ||
         a.isNegative != b.isNegative;
}

}  // namespace

LinearCorrelator::LinearCorrelator(std::string uri, TimescaleInterface* timescale1, TimescaleInterface* timescale2,
                                   uint32_t samplingIntervalMs, uint32_t maxSampleSize,
                                   uint32_t maxWaitForFirstCorrelateMs)
    : uri_(std::move(uri)),
      timescale1_(timescale1),
      timescale2_(timescale2),
      samplingIntervalMs_(samplingIntervalMs),
      maxSampleSize_(maxSampleSize),
      maxWaitForFirstCorrelateMs_(maxWaitForFirstCorrelateMs),
      samplingStatus_(qzerr_freshStatus()),
      firstCorrelateTimer_(std::chrono::milliseconds(0)) {}

LinearCorrelator::~LinearCorrelator() {
  stopSampling();
  if (samplingFuture_.valid()) samplingFuture_.wait();
  timescaleHelpers_.reset();
  qlmClientStack_.reset();
  qzerr_releaseJson(&samplingStatus_);
}

const std::string& LinearCorrelator::getTimescale1Uri() const noexcept { return timescale1_->getUri(); }

const std::string& LinearCorrelator::getTimescale2Uri() const noexcept { return timescale2_->getUri(); }

void LinearCorrelator::start() {
  if (running_) {
    QZERR_ERROR(qzerr::kThreadAlreadyStarted).channel(kChannel, "LinearCorrelator thread already started.").raise();
  }
  // A thread that ended by itself has stored its error by now; joining it
  // first means nothing below races with it.
  joinSamplingThread();
  findHostTimescale();
  if (!timescaleHelpers_) loadManagerClient();
  clearSamplingStatus();
  regression_ = std::make_unique<LinearRegressionFilterWrapper>(std::make_shared<LinearRegression>(maxSampleSize_));
  running_ = true;
  try {
    samplingFuture_ = std::async(std::launch::async, [this] { sample(); });
  } catch (...) {
    running_ = false;
    throw;
  }
  firstCorrelateTimer_.restart(std::chrono::milliseconds(maxWaitForFirstCorrelateMs_));
}

void LinearCorrelator::stop() {
  stopSampling();
  joinSamplingThread();
}

// Under the pause's lock, so that the thread either sees the flag before it
// pauses or is woken from the pause.
void LinearCorrelator::stopSampling() {
  {
    std::lock_guard<std::mutex> lock(pauseMutex_);
    running_ = false;
  }
  pauseEnded_.notify_all();
}

void LinearCorrelator::pause(uint32_t ms) {
  std::unique_lock<std::mutex> lock(pauseMutex_);
  pauseEnded_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !running_; });
}

// Empties the future in every case; the loop lets no exception out.
void LinearCorrelator::joinSamplingThread() {
  if (!samplingFuture_.valid()) return;
  std::future<void> ending = std::move(samplingFuture_);
  ending.get();
}

void LinearCorrelator::findHostTimescale() {
  if (getTimescale1Uri() == kHostTimescaleUri) {
    hostTimescale_ = timescale1_;
    remoteGrandmasterId_ = grandmasterIdentity(getTimescale2Uri());
  } else if (getTimescale2Uri() == kHostTimescaleUri) {
    hostTimescale_ = timescale2_;
    remoteGrandmasterId_ = grandmasterIdentity(getTimescale1Uri());
  }
}

// An empty stack (no library, or one that lacks a function) leaves the
// helpers null, so the next start tries again.
void LinearCorrelator::loadManagerClient() {
  auto stack = std::make_unique<qzpendulo::QlmClientStack>(qzpendulo::makeQlmClientApi());
  timescaleHelpers_ = stack->helpers;
  qlmClientStack_ = std::move(stack);
}

void LinearCorrelator::clearSamplingStatus() {
  std::lock_guard<std::mutex> lock(samplingStatusMutex_);
  qzerr_releaseJson(&samplingStatus_);
  samplingStatus_ = qzerr_freshStatus();
}

void LinearCorrelator::sample() {
  vesklib_Timestamp previous1{};
  vesklib_Timestamp previous2{};
  try {
    while (running_) {
      vesklib_Timestamp reading1{};
      vesklib_Timestamp reading2{};
      timescale1_->getTime(&reading1);
      timescale2_->getTime(&reading2);
      if (hostTimescale_ != nullptr && timescaleHelpers_ && isHostSynchronizedToRemote()) {
        if (hostTimescale_ == timescale1_) reading2 = reading1;
        else reading1 = reading2;
      }
      if (differs(reading1, previous1) && differs(reading2, previous2)) {
        regression_->addSample(reading1, reading2);
        previous1 = reading1;
        previous2 = reading2;
      }
      const bool filling = regression_->getHistorySize() < maxSampleSize_;
      pause(filling ? kFillingIntervalMs : samplingIntervalMs_);
    }
  } catch (...) {
    keepSamplingFailure();
  }
}

// Inside the sampling thread's handler: the error is in place before
// anyone can see the thread as ended.
void LinearCorrelator::keepSamplingFailure() {
  qzerr_Status failure = qzerr_freshStatus();
  qzerr_statusFromCurrentException(&failure);
  {
    std::lock_guard<std::mutex> lock(samplingStatusMutex_);
    qzerr_releaseJson(&samplingStatus_);
    samplingStatus_ = failure;
  }
  running_ = false;
}

void LinearCorrelator::throwSamplingFailure() {
  qzerr_Status copy = qzerr_freshStatus();
  {
    std::lock_guard<std::mutex> lock(samplingStatusMutex_);
    if (samplingStatus_.code >= 0) return;
    qzerr_copyStatus(&copy, &samplingStatus_);
  }
  qzerr::Exception error(&copy);
  qzerr_releaseJson(&copy);
  throw error;
}

// Only the calls within maxWaitForFirstCorrelateMs of a start wait, and they
// wait for a full window; the expired mark stays until the next start. A
// thread that has ended fills no more: its own failure, if any, is the answer.
void LinearCorrelator::waitForHistory() {
  while (running_ && regression_->getHistorySize() < maxSampleSize_ && !firstCorrelateTimer_.isExpired()) {
    qz::qbx::sleepMilliseconds(kFirstCorrelatePollMs);
  }
  throwSamplingFailure();
  const uint64_t historySize = regression_->getHistorySize();
  if (historySize >= kMinHistorySize) return;
  QZERR_ERROR(qzerr::kResourceNotInitialized)
      .channel(kChannel,
               "Correlator does not have enough data points even after waiting for the appropriates sampling "
               "intervals.")
      .add("samplingInterval_ms", samplingIntervalMs_)
      .add("historySizeAfterCheck", historySize)
      .add("minHistorySize", kMinHistorySize)
      .raise();
}

void LinearCorrelator::correlate(const vesklib_Timestamp* timestampInSourceTimescale,
                                 TimescaleInterface* sourceTimescale, vesklib_Timestamp* correlatedTimestamp) {
  const std::string& sourceUri = sourceTimescale->getUri();
  const bool fromTimescale1 = sourceUri == getTimescale1Uri();
  if (!fromTimescale1 && sourceUri != getTimescale2Uri()) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel(kChannel, "Source timescale does not match either timescale in the correlator.")
        .raise();
  }
  if (!regression_) {
    QZERR_ERROR(qzerr::kInvalidStateTransition)
        .channel(kChannel, "Correlator must be started before calling correlate.")
        .raise();
  }
  waitForHistory();
  if (fromTimescale1) regression_->estimate(*timestampInSourceTimescale, correlatedTimestamp);
  else regression_->inverseEstimate(*timestampInSourceTimescale, correlatedTimestamp);
}

// Whether the host follows the grandmaster of the other timescale. A manager
// that cannot be reached, or does not know what was asked, means no.
bool LinearCorrelator::isHostSynchronizedToRemote() {
  if (!timescaleHelpers_) return false;
  try {
    if (!timescaleHelpers_->isHostTimeSynchronized()) return false;
    for (const std::string& uri : timescaleHelpers_->getUsableTimescaleUris()) {
      if (grandmasterIdentity(uri) == remoteGrandmasterId_) return true;
    }
    return false;
  } catch (const qzerr::Exception& error) {
    const int32_t code = error.status().code;
    if (code == qzerr::kResourceNotFound.code || code == qzerr::kCommunicationsFault.code) return false;
    throw;
  }
}

std::string LinearCorrelator::toJson() {
  const bool synchronized = isHostSynchronizedToRemote();
  return "{ \"type\" : \"linear\", \"uri\" : " + jsonString(uri_) +
         ", \"timescaleUri1\" : " + jsonString(getTimescale1Uri()) +
         ", \"timescaleUri2\" : " + jsonString(getTimescale2Uri()) +
         ", \"samplingIntervalMs\" : " + std::to_string(samplingIntervalMs_) +
         ", \"maxSampleSize\" : " + std::to_string(maxSampleSize_) +
         ", \"maxWaitForFirstCorrelateMs\" : " + std::to_string(maxWaitForFirstCorrelateMs_) +
         ", \"isThreadRunning\" : " + jsonBool(isRunning()) + ", \"isSystemTimeSynced\" : " +
         jsonBool(synchronized) + " }";
}

}  // namespace vesklib
