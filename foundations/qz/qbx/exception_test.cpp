#include "qz/qbx/exception.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <type_traits>

namespace qz::qbx::exception {
namespace {

static_assert(std::is_base_of_v<std::exception, Exception>);
static_assert(std::is_base_of_v<BoundExceeded, BoundExceeded2>);
static_assert(std::is_base_of_v<OutOfRange, OutOfRange2>);
static_assert(std::is_base_of_v<InvalidArgument, InvalidArgument2>);

struct Case {
  const char* name;
  std::function<std::unique_ptr<Exception>()> make;
  const char* what;
  int32_t code;
};

template <typename E>
std::function<std::unique_ptr<Exception>()> maker() {
  return [] { return std::make_unique<E>(); };
}

constexpr int32_t kOutOfRangeCode = -1967362041;     // 0x8abc7007
constexpr int32_t kInvalidLocaleCode = -1967362012;  // 0x8abc7024

TEST(QbxException, EachClassAnswersItsTextAndCode) {
  const Case cases[] = {
      {"Exception", maker<Exception>(), "unspecified exception", -1},
      {"OutOfRange", maker<OutOfRange>(), "Out of range", kOutOfRangeCode},
      {"InvalidLocale", maker<InvalidLocale>(), "Invalid locale", kInvalidLocaleCode},
      {"OutOfRange2", maker<OutOfRange2>(), "Out of range", kOutOfRangeCode},
      {"DeserializationError", maker<DeserializationError>(), "unspecified exception", -1},
      {"BoundExceeded", maker<BoundExceeded>(), "unspecified exception", -1},
      {"BoundExceeded2", maker<BoundExceeded2>(), "unspecified exception", -1},
      {"BufferOverflow", maker<BufferOverflow>(), "unspecified exception", -1},
      {"InvalidArgument", maker<InvalidArgument>(), "unspecified exception", -1},
      {"InvalidArgument2", maker<InvalidArgument2>(), "unspecified exception", -1},
      {"InvalidSequence", maker<InvalidSequence>(), "unspecified exception", -1},
      {"InvalidOperation", maker<InvalidOperation>(), "unspecified exception", -1},
      {"AccessDenied", maker<AccessDenied>(), "unspecified exception", -1},
      {"ObjectAlreadyExists", maker<ObjectAlreadyExists>(), "unspecified exception", -1},
      {"FileReadFailed", maker<FileReadFailed>(), "unspecified exception", -1},
      {"FileWriteFailed", maker<FileWriteFailed>(), "unspecified exception", -1},
      {"FileAlreadyExists", maker<FileAlreadyExists>(), "unspecified exception", -1},
      {"NonexistentException", maker<NonexistentException>(), "unspecified exception", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::unique_ptr<Exception> e = c.make();
    // Through the standard base, as the exported functions see them.
    const std::exception& standard = *e;
    EXPECT_STREQ(standard.what(), c.what);
    EXPECT_EQ(e->code(), c.code);
    EXPECT_EQ(e->line(), 0);
    EXPECT_EQ(e->file(), nullptr);
  }
}

TEST(QbxException, KeepsItsSiteWhenCopied) {
  const OutOfRange original("./qz/qbx/SafeInteger", 125);
  const OutOfRange copy(original);
  EXPECT_STREQ(copy.file(), "./qz/qbx/SafeInteger");
  EXPECT_EQ(copy.line(), 125);
}

}  // namespace
}  // namespace qz::qbx::exception
