#include "stdPathTable.h"

#include <dlfcn.h>

#include <array>
#include <cstring>

#include "allocation.h"
#include "qzdynlib/dynload.h"
#include "qzerr/errorConstants.h"
#include "qzerr/exception.h"

namespace qzsysq {
namespace {

struct DefaultPath {
  const char* name;
  const char* value;
};

constexpr DefaultPath kDefaults[] = {
    {"prefixdir", "/usr"},
    {"execprefixdir", "/usr"},
    {"bindir", "/usr/bin"},
    {"sbindir", "/usr/sbin"},
    {"libdir", "/usr/lib"},
    {"lib32dir", "/usr/lib"},
    {"lib64dir", "/usr/lib64"},
    {"nativelibdir", "/usr/lib64"},
    {"multiarchlibdir", "/usr/lib/x86_64-linux-gnu"},
    {"libexecdir", "/usr/libexec"},
    {"sharedstatedir", "/var/lib"},
    {"datarootdir", "/usr/share"},
    {"datadir", "/usr/share"},
    {"sysconfdir", "/etc"},
    {"localstatedir", "/var"},
    {"runstatedir", "/var/run"},
    {"includedir", "/usr/include"},
    {"docdir", "/usr/share/doc"},
    {"initddir", "/etc/init.d"},
};

constexpr char kRelocationLibrary[] = "libqzrelocations.so.0";
constexpr char kRelocateSymbol[] = "get_relocated_dir";
constexpr int kLoadFlags = RTLD_NOW | RTLD_GLOBAL;

// The library promises at most 255 bytes of text and a NUL. One byte more
// than it is told, always NUL at the end, keeps a careless answer (the NUL
// past the 255 bytes, or none at all) inside the buffer.
constexpr int kAnswerSize = 255;
using AnswerBuffer = std::array<char, kAnswerSize + 1>;

// The table with the first error met while building it.
struct ProcessTable {
  ProcessTable() {
    qzdynlib::AutoLib library;
    qzerr_Status loadStatus = qzerr_freshStatus();
    library.handle = qzdynlib_load(kRelocationLibrary, kLoadFlags, &loadStatus);
    auto getRelocatedDir =
        reinterpret_cast<RelocateFunction>(qzdynlib_getSymbol(library.handle, kRelocateSymbol, &loadStatus));
    // A missing library or function is no error: the defaults hold.
    qzerr_releaseJson(&loadStatus);
    table.build(getRelocatedDir, &initStatus);
  }
  ~ProcessTable() { qzerr_releaseJson(&initStatus); }
  ProcessTable(const ProcessTable&) = delete;
  ProcessTable& operator=(const ProcessTable&) = delete;

  qzerr_Status initStatus = qzerr_freshStatus();
  StdPathTable table;
};

// Built when the program loads, so even a run that only prints its help
// text has asked the relocation library.
void initStdPathTable() {
  qzerr_Status status = qzerr_freshStatus();
  StdPathTable::instance(&status);
  qzerr_releaseJson(&status);
}

[[maybe_unused]] const bool kBuiltAtLoad = (initStdPathTable(), true);

// A failed lookup is thrown at the end of the inner scope, before the value
// is returned.
std::string lookup(const char* key) {
  std::string value;
  {
    qzerr::ScopedStatus status;
    StdPathTable::instance(status).get(key, value, status);
  }
  return value;
}

}  // namespace

StdPathTable& StdPathTable::instance(qzerr_Status* status) {
  static ProcessTable process;
  qzerr_mergeStatusCopy(status, &process.initStatus);
  return process.table;
}

void StdPathTable::build(RelocateFunction getRelocatedDir, qzerr_Status* status) {
  for (const DefaultPath& path : kDefaults) {
    if (status->code < 0) return;
    add(path.name, path.value, status);
  }
  if (getRelocatedDir == nullptr) return;
  for (const DefaultPath& path : kDefaults) relocateKey(path.name, getRelocatedDir, status);
}

void StdPathTable::relocateKey(const char* key, RelocateFunction getRelocatedDir, qzerr_Status* status) {
  if (status->code < 0) return;
  AnswerBuffer answer{};
  const int result = getRelocatedDir(key, answer.data(), kAnswerSize);
  answer.back() = '\0';
  if (result > 0) {
    relocate(key, std::string_view(answer.data(), strnlen(answer.data(), kAnswerSize)), status);
  } else if (result < 0) {
    qzerr_setCode(status, qzerr::kResourceNotFound.code);
  }
}

void StdPathTable::add(std::string_view name, std::string_view value, qzerr_Status* status) {
  allocating(status, [&] { entries_.push_back(Entry{std::string(name), std::string(value)}); });
}

void StdPathTable::relocate(std::string_view key, std::string_view value, qzerr_Status* status) {
  const size_t index = indexOf(key);
  if (index == entries_.size()) {
    add(key, value, status);
    return;
  }
  allocating(status, [&] { entries_[index].value.assign(value); });
}

void StdPathTable::get(std::string_view key, std::string& value, qzerr_Status* status) const {
  if (status->code < 0) return;
  const size_t index = indexOf(key);
  if (index == entries_.size()) {
    qzerr_setCode(status, qzerr::kOsFault.code);
    return;
  }
  allocating(status, [&] { value.assign(entries_[index].value); });
}

size_t StdPathTable::indexOf(std::string_view key) const {
  size_t index = 0;
  while (index < entries_.size() && entries_[index].name != key) ++index;
  return index;
}

std::string get_bindir() { return lookup("bindir"); }
std::string get_runstatedir() { return lookup("runstatedir"); }

}  // namespace qzsysq
