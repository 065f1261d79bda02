#include "installLocations.h"

#include <syslog.h>

#include <filesystem>

#include "sharedDir.h"
#include "stdPathTable.h"

namespace veskloc {
namespace {

namespace fs = std::filesystem;

// A standard path with what stands in for it when its lookup fails.
struct StandardPath {
  std::string (*lookup)();
  const char* failure;
  const char* fallback;
};

const StandardPath kBindir{qzsysq::get_bindir, "qzsysq::get_bindir() failed", "/usr/bin"};
const StandardPath kRunstatedir{qzsysq::get_runstatedir, "qzsysq::get_runstatedir() failed", "/var/run"};
const StandardPath kSharedDir{qzsysq::getQZSharedDir, "qzsysq::getQZSharedDir() failed",
                              "/usr/local/corvant/share"};

// Asked anew each time, so every failing lookup is logged.
fs::path lookUp(const StandardPath& path) {
  try {
    return path.lookup();
  } catch (...) {
    syslog(LOG_WARNING, "%s", path.failure);
    return path.fallback;
  }
}

std::string programPath(bool installedInBindir, const char* program) {
  if (installedInBindir) return lookUp(kBindir) / program;
  return lookUp(kSharedDir) / "SyncDomain" / program;
}

}  // namespace

InstallLocations::InstallLocations()
    : installedInBindir(isInstalledInBindir()),
      vesks(getVesksPath(installedInBindir)),
      qztimestampd(getQztimestampdPath(installedInBindir)),
      qztimestampdPidFile(getQztimestampdPidFile()),
      veskapp(getVeskappPath(installedInBindir)) {}

Locations vesksLocations(const InstallLocations& locations) {
  return {{"vesks", locations.vesks},
          {"qztimestampd", locations.qztimestampd},
          {"qztimestampdPidFile", locations.qztimestampdPidFile},
          {"veskapp", locations.veskapp}};
}

bool isInstalledInBindir() {
  const fs::path bindir = lookUp(kBindir);
  return fs::exists(bindir / "vesks") || fs::exists(bindir / "qztimestampd");
}

std::string getVesksPath(bool installedInBindir) { return programPath(installedInBindir, "vesks"); }
std::string getQztimestampdPath(bool installedInBindir) { return programPath(installedInBindir, "qztimestampd"); }
std::string getVeskappPath(bool installedInBindir) { return programPath(installedInBindir, "veskapp"); }
std::string getQztimestampdPidFile() { return lookUp(kRunstatedir) / "qztimestampd.pid"; }

}  // namespace veskloc
