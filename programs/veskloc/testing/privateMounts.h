// Test support inside the private mount namespace of runInMountNs.sh: the
// check that this process really runs there (before it writes anything under
// /etc, /dev or /usr), files written with their folders, and a read-only
// overlay that adds files to a system folder for one test.
#pragma once

#include <string>

namespace veskloctest {

// True only inside runInMountNs.sh, in a mount namespace other than the
// one the script was started from.
bool inPrivateMountNamespace();

// Writes `content` to `path`, making the missing folders; throws
// std::runtime_error when it cannot.
void writeFile(const std::string& path, const std::string& content);

// Shows the files of `extraDir` inside `target` (which stays otherwise as it
// was, read-only) until destroyed.
class ScopedOverlay {
 public:
  ScopedOverlay(const std::string& extraDir, const std::string& target);
  ~ScopedOverlay();
  ScopedOverlay(const ScopedOverlay&) = delete;
  ScopedOverlay& operator=(const ScopedOverlay&) = delete;

 private:
  std::string target_;
};

}  // namespace veskloctest
