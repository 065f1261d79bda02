// Timescale URIs that name one grandmaster: they match when their last
// '/'-separated parts are equal once lower-cased with '-' read as ':', so
// hosts and middle parts do not matter.
#pragma once

#include <string>

namespace vesklib {

std::string grandmasterIdentity(const std::string& timescaleUri);

}  // namespace vesklib
