#include "qz/qbx/pathHelpers.h"

namespace qz::qbx {
namespace {

constexpr wchar_t kSeparator = L'/';
constexpr wchar_t kSeparatorText[] = L"/";

}  // namespace

WideString getFileName(const WideString& path) {
  const uint32_t slash = path.rfind(kSeparatorText);
  if (slash == kNoPosition) return path;
  return WideString(path.begin() + slash + 1, path.end());
}

WideString getParentPath(const WideString& path) {
  const wchar_t* const begin = path.begin();
  const wchar_t* rootEnd = begin;
  while (rootEnd != path.end() && *rootEnd == kSeparator) ++rootEnd;
  if (rootEnd == path.end()) return path;
  const wchar_t* cut = path.end();
  while (cut != rootEnd && cut[-1] != kSeparator) --cut;
  while (cut != rootEnd && cut[-1] == kSeparator) --cut;
  // Nothing left before the last component but the leading separators.
  if (cut == rootEnd) return WideString(begin, rootEnd);
  return WideString(begin, cut);
}

WideString joinPath(const WideString& directory, const WideString& name) {
  if (directory.empty() || (!name.empty() && *name.begin() == kSeparator)) return name;
  if (directory.end()[-1] == kSeparator) return WideString(directory, name);
  return WideString(WideString(directory, kSeparatorText), name);
}

}  // namespace qz::qbx
