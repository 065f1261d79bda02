// Test support for the manager client library stand-in (platform/qzqlm).
//
// QzqlmStateFile writes the stand-in's state file and names it in
// QZQLM_STATE_FILE for the life of the object; rewriting it changes the
// manager's answers at the next call.
//
// QzqlmStandIn also opens a build of the stand-in by its path, so that a
// later open by the name "libqzqlm_clientapi.so.1" finds it already loaded
// (the loader matches the soname), as if the loader had found it on its
// search path. A test program that does not make one has no manager client
// library at all. Everything that loaded the library by name must be gone
// before the object is, so the library really leaves the process.
#pragma once

#include <string>

namespace vesktools::pendulo::testing {

class QzqlmStateFile {
 public:
  explicit QzqlmStateFile(const std::string& json = "{}");
  ~QzqlmStateFile();
  QzqlmStateFile(const QzqlmStateFile&) = delete;
  QzqlmStateFile& operator=(const QzqlmStateFile&) = delete;

  void write(const std::string& json);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

enum class StandInBuild { complete, withoutAdjustTime };

class QzqlmStandIn : public QzqlmStateFile {
 public:
  explicit QzqlmStandIn(StandInBuild build = StandInBuild::complete, const std::string& json = "{}");
  ~QzqlmStandIn();

  // Whether a library with the manager client library's name is loaded.
  static bool isLoaded();

 private:
  void* handle_;
};

// A state in which the host follows the grandmaster `gmClockId` through the
// selected reference "PTP 0" (a slave port), and reports itself synchronised.
std::string hostFollowsState(const std::string& gmClockId);

}  // namespace vesktools::pendulo::testing
