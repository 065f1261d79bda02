// The layer's wide string (32-bit wchar_t characters), in which library names
// and paths are handled, and its conversion to the locale's narrow text.
#pragma once

#include "qz/qbx/basicString.h"
#include "qz/qbx/narrowString.h"

namespace qz::qbx {

using WideString = BasicString<wchar_t>;

// The text in the current locale's character set; a character the locale
// cannot represent becomes '?'. Raises exception::InvalidLocale when the
// locale's character set has no converter.
NarrowString toNarrow(const WideString& text);

}  // namespace qz::qbx
