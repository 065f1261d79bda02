/* A program outside the tree, in plain C, built against the installed public
 * header and library alone. Run where no daemon listens: a local function
 * answers, and a call that needs the daemon fails as a communications fault,
 * its detail grown through the caller's own grow function. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vesksapi/vesksapi.h"

/* The detail buffer's shape: the text, NULs, and 'J' in the last byte. */
static bool growDetail(qzerr_Status* status, int32_t size) {
  if (size == 0) {
    free(status->json);
    status->json = NULL;
    status->capacity = 0;
    return true;
  }
  if (size < 4) return false;
  if (size <= status->capacity) return true;
  char* buffer = calloc((size_t)size, 1);
  if (buffer == NULL) return false;
  strcpy(buffer, status->json != NULL ? status->json : "{}");
  buffer[size - 1] = 'J';
  free(status->json);
  status->json = buffer;
  status->capacity = size;
  return true;
}

int main(void) {
  const vesklib_Timestamp minusFive = {5, 0, 0, true};
  const vesklib_Timestamp minusThree = {3, 0, 0, true};
  if (vesksapi_getApiVersion() != 2380 || vesksapi_timestamp_compare(&minusFive, &minusThree) != -1) {
    fprintf(stderr, "local functions answer wrongly\n");
    return 1;
  }
  qzerr_Status status = {0, 0, growDetail, NULL};
  char info[64];
  vesksapi_getTimescaleInfo(info, sizeof info, &status);
  const bool failedAsExpected =
      status.code == -52024 && status.json != NULL && strstr(status.json, "\"type\":\"TTransportException::NOT_OPEN\"");
  printf("%d %s\n", status.code, status.json != NULL ? status.json : "(none)");
  status.grow(&status, 0);
  return failedAsExpected ? 0 : 1;
}
