// Allocation failures of the locations tool's strings, tables and buffers
// reported through a status, as the platform's container library reports
// them, rather than raised: -52000 qzkormerr_memoryFull, site "Allocator".
#pragma once

#include <new>
#include <stdexcept>

#include "qzerr/status.h"

namespace qzsysq {

void setMemoryFull(qzerr_Status* status);

// Runs `allocate`; returns false, with the failure in `status`, when memory
// runs out or a size is beyond what a container can hold.
template <typename Allocate>
bool allocating(qzerr_Status* status, Allocate&& allocate) {
  try {
    allocate();
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  setMemoryFull(status);
  return false;
}

}  // namespace qzsysq
