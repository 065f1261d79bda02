#include "qz/qbx/exception.h"

namespace qz::qbx::exception {

Exception::~Exception() = default;

const char* Exception::what() const noexcept { return "unspecified exception"; }

int32_t Exception::code() const { return -1; }

const char* OutOfRange::what() const noexcept { return "Out of range"; }

int32_t OutOfRange::code() const { return static_cast<int32_t>(0x8abc7007u); }

const char* InvalidLocale::what() const noexcept { return "Invalid locale"; }

int32_t InvalidLocale::code() const { return static_cast<int32_t>(0x8abc7024u); }

}  // namespace qz::qbx::exception
