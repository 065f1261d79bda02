// Our stand-in for the relocation library. Its answers come from the text
// file named by QZRELOCATIONS_FILE, read anew at every call, one key a line:
//
//   bindir=/opt/qz/bin     relocates "bindir" to the text after '='
//   runstatedir!           the answer for "runstatedir" fails (-1)
//
// A key the file does not name, or no file at all, answers 0 (no relocation).
// It answers at the very limit a caller may rely on: a text of up to 255 bytes
// is written with its NUL (256 bytes in all); a longer one fills `size` bytes
// and has no NUL. Both are answers a real library could give.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr char kAnswersVariable[] = "QZRELOCATIONS_FILE";
constexpr size_t kLongestTerminatedAnswer = 255;
constexpr int kRelocated = 1;
constexpr int kNoRelocation = 0;
constexpr int kFailed = -1;

int answer(const std::string& text, char* buffer, int size) {
  if (text.size() <= kLongestTerminatedAnswer) {
    memcpy(buffer, text.c_str(), text.size() + 1);
  } else {
    memcpy(buffer, text.data(), static_cast<size_t>(size));
  }
  return kRelocated;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int get_relocated_dir(const char* key, char* buffer, int size) {
  const char* path = getenv(kAnswersVariable);
  if (path == nullptr || size <= 0) return kNoRelocation;
  std::ifstream file(path);
  const std::string relocated = std::string(key) + "=";
  const std::string failing = std::string(key) + "!";
  for (std::string line; std::getline(file, line);) {
    if (line == failing) return kFailed;
    if (line.compare(0, relocated.size(), relocated) == 0) {
      return answer(line.substr(relocated.size()), buffer, size);
    }
  }
  return kNoRelocation;
}
