#include "qz/qbx/cLocale.h"

namespace qz::qbx {
namespace {

// Fetched while the library loads, so no caller pays for it later.
[[maybe_unused]] const std::locale& fetchedAtLoad = getCLocale();

}  // namespace

const std::locale& getCLocale() {
  static const std::locale cLocale("C");
  return cLocale;
}

}  // namespace qz::qbx
