// The plain C layout of qzerr_Status, the record every exported function of
// the system takes last. Public headers include this alone; the rules and the
// detail writers are in qzerr/status.h.
#pragma once

#include <stdbool.h>
#include <stdint.h>

typedef struct qzerr_Status qzerr_Status;
typedef bool (*qzerr_GrowFunction)(struct qzerr_Status* status, int32_t newSize);

struct qzerr_Status {
  int32_t code;      // 0 none, negative an error, positive a warning
  int32_t capacity;  // bytes of the detail buffer
  qzerr_GrowFunction grow;
  char* json;        // the JSON detail text; null while there is none
};
