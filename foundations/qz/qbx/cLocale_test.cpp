#include "qz/qbx/cLocale.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qz::qbx {
namespace {

TEST(QbxCLocale, IsOneProcessWideClassicLocale) {
  EXPECT_EQ(getCLocale().name(), "C");
  EXPECT_EQ(&getCLocale(), &getCLocale());
  std::ostringstream out;
  out.imbue(getCLocale());
  out << 1234567 << ' ' << 1.5;
  EXPECT_EQ(out.str(), "1234567 1.5");
}

}  // namespace
}  // namespace qz::qbx
