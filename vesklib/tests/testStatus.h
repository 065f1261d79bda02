// A caller's status with its own grow function, as a program linking only the
// shared library holds one: the library writes the detail through it.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>

#include "qzerr/status.h"

class TestStatus {
 public:
  TestStatus() : status_{0, 0, &grow, nullptr} {}
  TestStatus(const TestStatus&) = delete;
  TestStatus& operator=(const TestStatus&) = delete;
  ~TestStatus() { grow(&status_, 0); }

  // The state an earlier call would have left: a code and a detail text.
  TestStatus(int32_t code, const char* json) : TestStatus() {
    status_.code = code;
    store(json);
  }

  operator qzerr_Status*() { return &status_; }
  int32_t code() const { return status_.code; }
  std::string json() const { return status_.json == nullptr ? "" : status_.json; }

 private:
  // Keeps the writers' shape: text, NUL, zeros, 'J' in the last byte.
  static bool grow(qzerr_Status* status, int32_t newSize) {
    if (newSize == 0) {
      free(status->json);
      status->json = nullptr;
      status->capacity = 0;
      return true;
    }
    if (newSize < 0) return false;
    if (newSize <= status->capacity) return true;
    char* buffer = static_cast<char*>(calloc(newSize, 1));
    if (buffer == nullptr) return false;
    strcpy(buffer, status->json == nullptr ? "{}" : status->json);
    buffer[newSize - 1] = 'J';
    free(status->json);
    status->json = buffer;
    status->capacity = newSize;
    return true;
  }

  void store(const char* json) {
    grow(&status_, static_cast<int32_t>(strlen(json)) + 2);
    strcpy(status_.json, json);
  }

  qzerr_Status status_;
};
