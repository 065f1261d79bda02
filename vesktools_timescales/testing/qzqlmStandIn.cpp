#include "vesktools_timescales/testing/qzqlmStandIn.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "vesktools_timescales/qlmClientStack.h"

namespace vesktools::pendulo::testing {

namespace {

constexpr char kStateVariable[] = "QZQLM_STATE_FILE";

std::string makeStatePath() {
  const char* folder = getenv("TMPDIR");
  std::string path = std::string(folder ? folder : "/tmp") + "/qzqlm-state-XXXXXX";
  const int descriptor = mkstemp(path.data());
  if (descriptor < 0) throw std::runtime_error("cannot make the stand-in's state file");
  close(descriptor);
  return path;
}

const char* pathOf(StandInBuild build) {
  return build == StandInBuild::complete ? QZQLM_STANDIN_PATH : QZQLM_STANDIN_PARTIAL_PATH;
}

}  // namespace

QzqlmStateFile::QzqlmStateFile(const std::string& json) : path_(makeStatePath()) {
  write(json);
  setenv(kStateVariable, path_.c_str(), 1);
}

QzqlmStateFile::~QzqlmStateFile() {
  unsetenv(kStateVariable);
  unlink(path_.c_str());
}

// Written aside and renamed, so a reader never sees half a file.
void QzqlmStateFile::write(const std::string& json) {
  const std::string next = path_ + ".next";
  std::ofstream(next) << json;
  if (rename(next.c_str(), path_.c_str()) != 0) throw std::runtime_error("cannot write the state file");
}

QzqlmStandIn::QzqlmStandIn(StandInBuild build, const std::string& json)
    : QzqlmStateFile(json), handle_(dlopen(pathOf(build), RTLD_NOW | RTLD_GLOBAL)) {
  if (handle_ == nullptr) throw std::runtime_error(std::string("cannot open the stand-in: ") + dlerror());
}

QzqlmStandIn::~QzqlmStandIn() { dlclose(handle_); }

bool QzqlmStandIn::isLoaded() {
  void* handle = dlopen(qzpendulo::kQlmClientLibraryName, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

std::string hostFollowsState(const std::string& gmClockId) {
  return R"({"qlmAttributes": {"isHostTimeSynchronized": true, "timeReferences": ["PTP 0"]},
             "selectedTrId": "PTP 0",
             "timeReferences": {"PTP 0": {"type": "IEEE 1588-2008", "portState": "PTP_SLAVE",
                                          "gmClockId": ")" +
         gmClockId + R"("}}})";
}

}  // namespace vesktools::pendulo::testing
