#include "qzsdbg/debugLines.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "component.h"

namespace {

constexpr size_t kLineSize = 512;
constexpr size_t kWriterSlots = sizeof qzsdbg_prefixWriters / sizeof qzsdbg_prefixWriters[0];

const char* textOrEmpty(const char* text) { return text != nullptr ? text : ""; }

size_t roomLeft(const char* line, const char* position) {
  return kLineSize - static_cast<size_t>(position - line);
}

// Copies until the text ends or only the NUL's byte is left; returns the
// position of the NUL.
char* boundedCopy(char* position, size_t room, const char* text) {
  char* const last = position + room - 1;
  while (position < last && *text != '\0') *position++ = *text++;
  *position = '\0';
  return position;
}

// Right-aligns `text` in `width` columns; a longer text loses its start, so a
// long source path keeps its file name.
char* writePadded(char* position, size_t room, const char* text, size_t width, char fill) {
  const size_t length = strlen(text);
  if (length >= width) return boundedCopy(position, room, text + (length - width));
  char* const last = position + room - 1;
  for (size_t pad = width - length; pad > 0 && position < last; --pad) *position++ = fill;
  return boundedCopy(position, static_cast<size_t>(last - position) + 1, text);
}

char* writeOpenBracket(char* position, size_t room, const qzsdbg_Site*) {
  return boundedCopy(position, room, "[");
}

char* writeBar(char* position, size_t room, const qzsdbg_Site*) {
  return boundedCopy(position, room, "|");
}

char* writeClose(char* position, size_t room, const qzsdbg_Site*) {
  return boundedCopy(position, room, "] ");
}

char* writeComponent(char* position, size_t room, const qzsdbg_Site*) {
  return writePadded(position, room, vesk_componentName, qzsdbg_componentWidth, ' ');
}

char* writeFile(char* position, size_t room, const qzsdbg_Site* site) {
  return writePadded(position, room, textOrEmpty(site->file), qzsdbg_fileWidth, ' ');
}

// Only positive lines have digits; the zero fill turns line 0 into 0000.
char* writeLineNumber(char* position, size_t room, const qzsdbg_Site* site) {
  char digits[16];
  char* first = digits + sizeof digits - 1;
  *first = '\0';
  for (int32_t line = site->line; line > 0; line /= 10) *--first = static_cast<char>('0' + line % 10);
  return writePadded(position, room, first, qzsdbg_lineWidth, '0');
}

void writeToStandardError(const char* text) { fputs(text, stderr); }

}  // namespace

qzsdbg_FormatHook qzsdbg_formatHook = vsnprintf;
qzsdbg_OutputHook qzsdbg_outputHook = writeToStandardError;
qzsdbg_AssertHook qzsdbg_assertHook = qzsdbg_defaultAssertHook;

qzsdbg_PrefixWriter qzsdbg_prefixWriters[8] = {
    writeOpenBracket, writeComponent, writeBar, writeFile, writeBar, writeLineNumber, writeClose, nullptr,
};

size_t qzsdbg_componentWidth = 10;
size_t qzsdbg_fileWidth = 32;
size_t qzsdbg_lineWidth = 4;

void qzsdbg_defaultAssertHook(const qzsdbg_Site*, const char*) {}

void qzsdbg_printf(const char* format, ...) {
  char text[kLineSize] = {};
  va_list args;
  va_start(args, format);
  qzsdbg_formatHook(text, sizeof text, format, args);
  va_end(args);
  text[kLineSize - 1] = '\0';
  qzsdbg_outputHook(text);
}

void qzsdbg_printLine(const qzsdbg_Site* site, const char* format, ...) {
  char line[kLineSize] = {};
  char* position = line;
  for (size_t i = 0; i < kWriterSlots && qzsdbg_prefixWriters[i] != nullptr; ++i) {
    position = qzsdbg_prefixWriters[i](position, roomLeft(line, position), site);
  }

  va_list args;
  va_start(args, format);
  qzsdbg_formatHook(position, roomLeft(line, position), format, args);
  va_end(args);

  // Cut the text where the suffix still fits; a suffix longer than the whole
  // line keeps only its start.
  const char* const suffix = textOrEmpty(site->suffix);
  line[kLineSize - 1 - std::min(strlen(suffix), kLineSize - 1)] = '\0';
  char* const end = line + strlen(line);
  boundedCopy(end, roomLeft(line, end), suffix);
  qzsdbg_outputHook(line);
}

void qzsdbg_assertFailed(const qzsdbg_Site* site, const char* text) {
  qzsdbg_printf("[%s|%s|%d] !!ASSERT!!\n", vesk_componentName, textOrEmpty(site->file), site->line);
  qzsdbg_printLine(site, "%s", textOrEmpty(text));
  qzsdbg_printLine(site, " ");
  qzsdbg_assertHook(site, text);
}
