#include "allocation.h"

#include "component.h"
#include "qzerr/errorConstants.h"

namespace qzsysq {

void setMemoryFull(qzerr_Status* status) {
  const qzerr_ErrorSite site{"Allocator", __LINE__, vesk_componentName, qzerr::kMemoryFull.name};
  qzerr_setError(status, qzerr::kMemoryFull.code, &site);
}

}  // namespace qzsysq
