#include "timestampCorrelatorCommand.h"

#include "jsonz/jsonString.h"
#include "printTimestamp.h"
#include "qzerr/exception.h"

namespace veskapp {
namespace {

using jsonz::jsonString;

std::string timescalePair(const std::string& timescaleUri1, const std::string& timescaleUri2) {
  return timescaleUri1 + " and " + timescaleUri2;
}

void create(const OptionValues& options, const CommandContext& context) {
  const std::string timescaleUri1 = getStringOption("timescaleUri1", options);
  const std::string timescaleUri2 = getStringOption("timescaleUri2", options);
  const uint32_t samplingInterval = getUInt32Option("samplingInterval", options);
  const uint32_t historyLength = getUInt32Option("historyLength", options);
  const std::string document = "{\"timescaleUri1\":" + jsonString(timescaleUri1) +
                               ",\"timescaleUri2\":" + jsonString(timescaleUri2) +
                               ",\"samplingIntervalMs\":" + std::to_string(samplingInterval) +
                               ",\"maxSampleSize\":" + std::to_string(historyLength) + "}";
  context.api.timestampCorrelator_create("linearCorrelatorParams", document, qzerr::ScopedStatus());
  context.printSuccess("Created Timestamp Correlator with timescaleUris = " +
                       timescalePair(timescaleUri1, timescaleUri2));
}

void deleteCorrelator(const OptionValues& options, const CommandContext& context) {
  const std::string timescaleUri1 = getStringOption("timescaleUri1", options);
  const std::string timescaleUri2 = getStringOption("timescaleUri2", options);
  context.api.timestampCorrelator_delete(timescaleUri1, timescaleUri2, qzerr::ScopedStatus());
  context.printSuccess("Deleted Timestamp Correlator with timescaleUris = " +
                       timescalePair(timescaleUri1, timescaleUri2));
}

// The console has no way to give a negative time stamp.
void correlate(const OptionValues& options, const CommandContext& context) {
  const std::string srcTimescaleUri = getStringOption("srcTimescaleUri", options);
  const std::string dstTimescaleUri = getStringOption("dstTimescaleUri", options);
  const uint64_t seconds = getUInt64Option("s", options);
  const uint32_t nanos = getUInt32Option("ns", options);
  const uint32_t fractionalNanos = getUInt32Option("fns", options);
  const vesklib_Timestamp source = {static_cast<int64_t>(seconds), static_cast<int32_t>(nanos),
                                    static_cast<int32_t>(fractionalNanos), false};
  vesklib_Timestamp correlated = {0, 0, 0, false};
  context.api.timestampCorrelator_correlate(srcTimescaleUri, dstTimescaleUri, &source, &correlated,
                                            qzerr::ScopedStatus());
  context.printSuccess("Correlated timestamp from srcTimescaleUri = " + srcTimescaleUri);
  context.out << "Correlated time in seconds: ";
  printTimestamp(context.out, correlated);
}

const Action kActions[] = {
    {"create", create},
    {"delete", deleteCorrelator},
    {"correlate", correlate},
};

}  // namespace

void runTimestampCorrelatorCommand(const std::string& action, const OptionValues& commandOptionValues,
                                   const CommandContext& context) {
  runAction(kActions, action, commandOptionValues, context);
}

}  // namespace veskapp
