#include "vesklib/nopCorrelator.h"

#include "jsonz/jsonString.h"
#include "qzerr/errorDetail.h"
#include "vesklib/timescaleInterface.h"

namespace vesklib {

using jsonz::jsonBool;
using jsonz::jsonString;

NopCorrelator::NopCorrelator(std::string uri, TimescaleInterface* timescale1, TimescaleInterface* timescale2)
    : uri_(std::move(uri)), timescale1_(timescale1), timescale2_(timescale2) {}

TimestampCorrelatorInterface* NopCorrelator::create(const std::string& uri, TimescaleInterface* timescale1,
                                                    TimescaleInterface* timescale2) {
  return new NopCorrelator(uri, timescale1, timescale2);
}

void NopCorrelator::correlate(const vesklib_Timestamp* timestampInSourceTimescale,
                              TimescaleInterface* sourceTimescale, vesklib_Timestamp* correlatedTimestamp) {
  const std::string& source = sourceTimescale->getUri();
  if (source != getTimescale1Uri() && source != getTimescale2Uri()) {
    QZERR_ERROR(qzerr::kInvalidParameter)
        .channel("qzsyncdomain_debug", "Source timescale does not match either timescale in the correlator.")
        .raise();
  }
  *correlatedTimestamp = *timestampInSourceTimescale;
}

const std::string& NopCorrelator::getTimescale1Uri() const noexcept { return timescale1_->getUri(); }

const std::string& NopCorrelator::getTimescale2Uri() const noexcept { return timescale2_->getUri(); }

std::string NopCorrelator::toJson() {
  return "{ \"type\" : \"nop\", \"uri\" : " + jsonString(uri_) + ", \"timescaleUri1\" : " +
         jsonString(getTimescale1Uri()) + ", \"timescaleUri2\" : " + jsonString(getTimescale2Uri()) +
         ", \"isRunning\" : " + jsonBool(isRunning()) + " }";
}

}  // namespace vesklib
