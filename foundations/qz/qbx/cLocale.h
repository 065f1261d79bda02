// The process-wide "C" locale, for text that must not follow the user's
// locale. It lives from its first use (at the library's load) to process exit.
#pragma once

#include <locale>

namespace qz::qbx {

const std::locale& getCLocale();

}  // namespace qz::qbx
