// Failures reported by the operating system: a message and the error number
// that came with it. PosixError maps the error number onto its code().
#pragma once

#include <cstdint>

#include "qz/qbx/exception.h"
#include "qz/qbx/narrowString.h"

namespace qz::qbx::osdep {

class OSException : public exception::Exception {
 public:
  // `file` and `line` name the raising site; none by default.
  OSException(const NarrowString& message, int32_t errorNumber, const char* file = nullptr,
              int32_t line = 0);
  ~OSException() override;

  const char* what() const noexcept override;  // the message
  int32_t code() const override;               // 42
  virtual int32_t getErrorNumber() const;

 private:
  NarrowString message_;
  int32_t errorNumber_;
};

class PosixError : public OSException {
 public:
  using OSException::OSException;
  // 0 for error number 0, 7 for ENOENT, else the base's code.
  int32_t code() const override;
};

}  // namespace qz::qbx::osdep
