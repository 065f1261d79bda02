// For the tests of the HTTP road: the shared capture of raised errors.
#pragma once

#include "testing/raised.h"

namespace vesktools::testing {

using vesk::testing::after;
using vesk::testing::errorConstant;
using vesk::testing::lastChannel;
using vesk::testing::Raised;
using vesk::testing::raised;

}  // namespace vesktools::testing
