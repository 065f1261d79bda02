// Debug and assertion lines on standard error. A prefixed line reads
// "[component|file|line] message" with fixed field widths; every line is at
// most 511 bytes, always terminated, and a prefixed line always keeps its
// suffix. All output goes through the process-wide hooks below, which callers
// (and tests) may replace; nothing here fails or takes a lock.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Where a line comes from and what ends it ("\n" for assertion lines).
struct qzsdbg_Site {
  const char* file;
  int32_t line;
  const char* suffix;
};

typedef int (*qzsdbg_FormatHook)(char* buffer, size_t size, const char* format, va_list args);
typedef void (*qzsdbg_OutputHook)(const char* text);
typedef void (*qzsdbg_AssertHook)(const qzsdbg_Site* site, const char* text);
// Writes one piece of the prefix at `position` within `room` bytes (room >= 1)
// and returns the new position, which always points at a terminating NUL.
typedef char* (*qzsdbg_PrefixWriter)(char* position, size_t room, const qzsdbg_Site* site);

// Defaults: vsnprintf; fputs to standard error (no newline added);
// qzsdbg_defaultAssertHook.
extern qzsdbg_FormatHook qzsdbg_formatHook;
extern qzsdbg_OutputHook qzsdbg_outputHook;
extern qzsdbg_AssertHook qzsdbg_assertHook;

// Null-terminated, run in order: "[", component, "|", file, "|", line, "] ".
extern qzsdbg_PrefixWriter qzsdbg_prefixWriters[8];

// Right-aligned field widths; a longer text keeps only its last characters.
extern size_t qzsdbg_componentWidth;  // 10, space fill
extern size_t qzsdbg_fileWidth;       // 32, space fill
extern size_t qzsdbg_lineWidth;       // 4, '0' fill

// Writes nothing and returns: a failed assertion never stops the process.
void qzsdbg_defaultAssertHook(const qzsdbg_Site* site, const char* text);

// Formats through the format hook and hands the text, unprefixed, to the
// output hook.
void qzsdbg_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes the prefix, the formatted message (cut so that the suffix fits) and
// the site's suffix, and hands the line to the output hook.
void qzsdbg_printLine(const qzsdbg_Site* site, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Writes the assertion lines for `text` at `site`, then calls the assert hook.
void qzsdbg_assertFailed(const qzsdbg_Site* site, const char* text);

// When `condition` is false, reports `text` at this source line and goes on
// once the assert hook returns.
#define QZSDBG_ASSERT(condition, text)                               \
  do {                                                               \
    if (!(condition)) {                                              \
      const qzsdbg_Site qzsdbgAssertSite = {__FILE__, __LINE__, "\n"}; \
      qzsdbg_assertFailed(&qzsdbgAssertSite, (text));                \
    }                                                                \
  } while (0)
