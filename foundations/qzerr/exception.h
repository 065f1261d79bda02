// The exception that carries a status inside and between the libraries'
// classes. what() answers the detail text ("" without one); the exception
// owns its status and releases the buffer when destroyed.
#pragma once

#include <exception>

#include "qzerr/status.h"

namespace qzerr {

class ExceptionBase {
 public:
  // Merges `source` into a fresh status: the buffer moves when both share a
  // grow function, otherwise the text is copied.
  explicit ExceptionBase(qzerr_Status* source);
  ExceptionBase(const ExceptionBase& other);
  ExceptionBase& operator=(const ExceptionBase&) = delete;
  virtual ~ExceptionBase();
  virtual const char* what() const noexcept;

  const qzerr_Status& status() const { return status_; }
  qzerr_Status* mutableStatus() { return &status_; }

 protected:
  ExceptionBase();

 private:
  qzerr_Status status_;
};

class Exception : public virtual ExceptionBase, public virtual std::exception {
 public:
  Exception() = default;
  explicit Exception(qzerr_Status* source) : ExceptionBase(source) {}
  Exception(const Exception& other) : ExceptionBase(other), std::exception(other) {}
  ~Exception() override = default;
  const char* what() const noexcept override { return ExceptionBase::what(); }
};

// A status owned by a scope: at the end of the scope a negative code is
// thrown as an Exception (unless one is already propagating); the buffer is
// released in every case.
class ScopedStatus {
 public:
  ScopedStatus() : status_(qzerr_freshStatus()) {}
  ScopedStatus(const ScopedStatus&) = delete;
  ScopedStatus& operator=(const ScopedStatus&) = delete;
  ~ScopedStatus() noexcept(false);

  qzerr_Status* get() { return &status_; }
  operator qzerr_Status*() { return &status_; }

 private:
  qzerr_Status status_;
};

}  // namespace qzerr
