#include "qzerr/exception.h"

#include <exception>
#include <new>

#include "component.h"
#include "qzerr/errorConstants.h"

namespace qzerr {

ExceptionBase::ExceptionBase() : status_(qzerr_freshStatus()) {}

ExceptionBase::ExceptionBase(qzerr_Status* source) : status_(qzerr_freshStatus()) {
  qzerr_mergeStatus(&status_, source);
}

// Copying hands the detail over, as a merge does: the exception being thrown
// takes the buffer, the local one it was built in keeps only its code.
ExceptionBase::ExceptionBase(const ExceptionBase& other) : status_(qzerr_freshStatus()) {
  qzerr_mergeStatus(&status_, const_cast<qzerr_Status*>(&other.status_));
}

ExceptionBase::~ExceptionBase() { qzerr_releaseJson(&status_); }

const char* ExceptionBase::what() const noexcept { return status_.json ? status_.json : ""; }

ScopedStatus::~ScopedStatus() noexcept(false) {
  if (status_.code < 0 && std::uncaught_exceptions() == 0) {
    Exception error(&status_);
    qzerr_releaseJson(&status_);
    throw error;
  }
  qzerr_releaseJson(&status_);
}

}  // namespace qzerr

namespace {

// The conversion's own sites; "file" is fixed so every deliverable names the
// same place.
qzerr_ErrorSite conversionSite(const qzerr::ErrorConstant& constant, int32_t line) {
  return qzerr_ErrorSite{"exception_errStatus", line, vesk_componentName, constant.name};
}

void setWithWhat(qzerr_Status* status, const qzerr_ErrorSite& site, int32_t code, const char* what) {
  if (!qzerr_setError(status, code, &site)) return;
  jsonz_GrowHandler grow = qzerr_growHandler(status);
  qzerr_addJsonString(qzerr_reserveJson(status, 2), "std_exception_what", what, &grow);
}

}  // namespace

void qzerr_statusFromCurrentException(qzerr_Status* status) {
  try {
    throw;
  } catch (qzerr::ExceptionBase& error) {
    qzerr_mergeStatus(status, error.mutableStatus());
  } catch (const std::bad_alloc& error) {
    setWithWhat(status, conversionSite(qzerr::kMemoryFull, __LINE__), qzerr::kMemoryFull.code, error.what());
  } catch (const std::exception& error) {
    setWithWhat(status, conversionSite(qzerr::kSoftwareFault, __LINE__), qzerr::kSoftwareFault.code,
                error.what());
  } catch (...) {
    const qzerr_ErrorSite site = conversionSite(qzerr::kSoftwareFault, __LINE__);
    qzerr_setError(status, qzerr::kSoftwareFault.code, &site);
  }
}
