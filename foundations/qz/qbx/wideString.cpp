#include "qz/qbx/wideString.h"

#include <memory>

#include "qz/qbx/osdep/iConv.h"

namespace qz::qbx {
namespace {

// No character of any locale takes more than four bytes.
constexpr size_t kMaxBytesPerCharacter = 4;

}  // namespace

NarrowString toNarrow(const WideString& text) {
  if (text.empty()) return NarrowString();
  const size_t room = static_cast<size_t>(text.size()) * kMaxBytesPerCharacter + 1;
  std::unique_ptr<char[]> buffer(new char[room]);
  char* outputEnd = buffer.get() + room - 1;
  // An empty name is the current locale's character set.
  osdep::iconvFromWide(text.begin(), text.end(), "", buffer.get(), &outputEnd);
  return NarrowString(buffer.get(), outputEnd);
}

}  // namespace qz::qbx
