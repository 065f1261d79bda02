// What a qzerr::Exception thrown by a call carried, for tests that compare
// codes and detail texts.
#pragma once

#include <cstdint>
#include <string>

#include "qzerr/exception.h"

namespace vesklib::testing {

struct CaughtError {
  bool thrown;
  int32_t code;
  std::string detail;
};

template <typename Body>
CaughtError caughtError(Body body) {
  try {
    body();
  } catch (const qzerr::Exception& error) {
    return CaughtError{true, error.status().code, error.what()};
  }
  return CaughtError{false, 0, ""};
}

}  // namespace vesklib::testing
