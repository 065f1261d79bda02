#include "qz/qbx/osdep/osException.h"

#include <cerrno>

namespace qz::qbx::osdep {

OSException::OSException(const NarrowString& message, int32_t errorNumber, const char* file, int32_t line)
    : Exception(file, line), message_(message), errorNumber_(errorNumber) {}

OSException::~OSException() = default;

const char* OSException::what() const noexcept { return message_.c_str(); }

int32_t OSException::code() const { return 42; }

int32_t OSException::getErrorNumber() const { return errorNumber_; }

int32_t PosixError::code() const {
  switch (getErrorNumber()) {
    case 0:
      return 0;
    case ENOENT:
      return 7;
    default:
      return OSException::code();
  }
}

}  // namespace qz::qbx::osdep
