// The exception family of the operating-system layer. Every exception records
// the site that raised it (file and line, none by default) and answers a
// fixed what() text and a numeric code(); callers above this layer treat them
// as standard exceptions.
#pragma once

#include <cstdint>
#include <exception>

namespace qz::qbx::exception {

class Exception : public std::exception {
 public:
  Exception() = default;
  Exception(const char* file, int32_t line) : line_(line), file_(file) {}
  ~Exception() override;

  const char* what() const noexcept override;
  virtual int32_t code() const;

  int32_t line() const { return line_; }
  const char* file() const { return file_; }

 private:
  int32_t line_ = 0;
  const char* file_ = nullptr;
};

class OutOfRange : public Exception {
 public:
  using Exception::Exception;
  const char* what() const noexcept override;
  int32_t code() const override;
};

class InvalidLocale : public Exception {
 public:
  using Exception::Exception;
  const char* what() const noexcept override;
  int32_t code() const override;
};

// Members of the family that add nothing to their base; this system never
// raises them, but callers may name them in handlers.
#define QZ_QBX_PLAIN_EXCEPTION(name, base) \
  class name : public base {               \
   public:                                 \
    using base::base;                      \
  };
QZ_QBX_PLAIN_EXCEPTION(DeserializationError, Exception)
QZ_QBX_PLAIN_EXCEPTION(BoundExceeded, Exception)
QZ_QBX_PLAIN_EXCEPTION(BoundExceeded2, BoundExceeded)
QZ_QBX_PLAIN_EXCEPTION(OutOfRange2, OutOfRange)
QZ_QBX_PLAIN_EXCEPTION(BufferOverflow, Exception)
QZ_QBX_PLAIN_EXCEPTION(InvalidArgument, Exception)
QZ_QBX_PLAIN_EXCEPTION(InvalidArgument2, InvalidArgument)
QZ_QBX_PLAIN_EXCEPTION(InvalidSequence, Exception)
QZ_QBX_PLAIN_EXCEPTION(InvalidOperation, Exception)
QZ_QBX_PLAIN_EXCEPTION(AccessDenied, Exception)
QZ_QBX_PLAIN_EXCEPTION(ObjectAlreadyExists, Exception)
QZ_QBX_PLAIN_EXCEPTION(FileReadFailed, Exception)
QZ_QBX_PLAIN_EXCEPTION(FileWriteFailed, Exception)
QZ_QBX_PLAIN_EXCEPTION(FileAlreadyExists, Exception)
QZ_QBX_PLAIN_EXCEPTION(NonexistentException, Exception)
#undef QZ_QBX_PLAIN_EXCEPTION

}  // namespace qz::qbx::exception
