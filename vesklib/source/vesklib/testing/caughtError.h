// The core library's tests name the shared capture of raised errors
// (testing/raised.h) in their own words.
#pragma once

#include <utility>

#include "testing/raised.h"

namespace vesklib::testing {

using CaughtError = vesk::testing::Raised;

template <typename Body>
CaughtError caughtError(Body&& body) {
  return vesk::testing::raised(std::forward<Body>(body));
}

}  // namespace vesklib::testing
