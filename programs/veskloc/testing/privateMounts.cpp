#include "privateMounts.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace veskloctest {

bool inPrivateMountNamespace() {
  const char* outer = getenv("VESK_OUTER_MOUNTNS");
  std::error_code error;
  const std::string own = std::filesystem::read_symlink("/proc/self/ns/mnt", error).string();
  return outer != nullptr && *outer != '\0' && !own.empty() && own != outer;
}

void writeFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

ScopedOverlay::ScopedOverlay(const std::string& extraDir, const std::string& target) : target_(target) {
  const std::string options = "lowerdir=" + extraDir + ":" + target;
  if (mount("overlay", target.c_str(), "overlay", MS_RDONLY, options.c_str()) != 0) {
    throw std::runtime_error("cannot overlay " + target + ": " + strerror(errno));
  }
}

ScopedOverlay::~ScopedOverlay() { umount2(target_.c_str(), MNT_DETACH); }

}  // namespace veskloctest
