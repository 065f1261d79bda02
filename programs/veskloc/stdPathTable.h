// The standard install directories by name ("bindir", "runstatedir", ...):
// 19 entries with fixed defaults, each of which the outside relocation
// library may override. The process-wide table is built once, when the
// program loads, and only read afterwards.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "qzerr/status.h"

namespace qzsysq {

// get_relocated_dir of libqzrelocations.so.0: greater than 0 when `buffer`
// holds the key's relocated directory, 0 for none, negative on failure.
using RelocateFunction = int (*)(const char* key, char* buffer, int size);

class StdPathTable {
 public:
  // The process-wide table. The first error met while building it stays in
  // force: every call reports it in `status`.
  static StdPathTable& instance(qzerr_Status* status);

  // Adds the defaults, then asks `getRelocatedDir` (null: no relocation
  // library) for each default key in table order. A failing answer sets
  // -52006 in `status` and the keys after it keep their defaults.
  void build(RelocateFunction getRelocatedDir, qzerr_Status* status);

  // Appends an entry.
  void add(std::string_view name, std::string_view value, qzerr_Status* status);
  // The key's value becomes `value`; an unknown key is appended.
  void relocate(std::string_view key, std::string_view value, qzerr_Status* status);
  // The current value of the first entry named exactly `key`; -52008 without
  // detail when there is none. Nothing when `status` already holds an error.
  void get(std::string_view key, std::string& value, qzerr_Status* status) const;

 private:
  struct Entry {
    std::string name;
    std::string value;
  };

  // The first entry named exactly `key`; entries_.size() when there is none.
  size_t indexOf(std::string_view key) const;
  void relocateKey(const char* key, RelocateFunction getRelocatedDir, qzerr_Status* status);

  std::vector<Entry> entries_;
};

// The current values of "bindir" and "runstatedir"; a failure is thrown as
// qzerr::Exception.
std::string get_bindir();
std::string get_runstatedir();

}  // namespace qzsysq
