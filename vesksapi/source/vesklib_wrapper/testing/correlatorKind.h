// For the factory's tests: which correlator a wrapper holds, by its wrapper
// class and by the core object's own description.
#pragma once

#include <memory>
#include <string>

#include "vesklib_wrapper/vesklibWrappers.h"

namespace vesklib::wrapper::testing {

template <typename Kind>
bool isKind(const std::shared_ptr<TimestampCorrelatorInterface>& correlator, const std::string& type) {
  return dynamic_cast<Kind*>(correlator.get()) != nullptr &&
         correlator->toJson().find(R"("type" : ")" + type + '"') != std::string::npos;
}

inline bool isLinear(const std::shared_ptr<TimestampCorrelatorInterface>& correlator) {
  return isKind<LinearCorrelator>(correlator, "linear");
}

inline bool isNop(const std::shared_ptr<TimestampCorrelatorInterface>& correlator) {
  return isKind<NopCorrelator>(correlator, "nop");
}

}  // namespace vesklib::wrapper::testing
