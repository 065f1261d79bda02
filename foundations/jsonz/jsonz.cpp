#include "jsonz/jsonz.h"

#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isOpening(char c) { return c == '{' || c == '['; }
bool isClosing(char c) { return c == '}' || c == ']'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

const char* skipSpace(const char* p) {
  while (isSpace(*p)) ++p;
  return p;
}

// ---- Writer ----

// Escape sequence for one byte, or null when the byte is copied as it is.
const char* shortEscape(unsigned char c) {
  switch (c) {
    case '\b': return "\\b";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\f': return "\\f";
    case '\r': return "\\r";
    case '"': return "\\\"";
    case '\\': return "\\\\";
    default: return nullptr;
  }
}

bool needsUnicodeEscape(unsigned char c) { return c < 32 || c == 127; }

size_t escapedLength(const char* text) {
  size_t length = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (shortEscape(*p)) length += 2;
    else if (needsUnicodeEscape(*p)) length += 6;
    else length += 1;
  }
  return length;
}

char* writeEscaped(char* out, const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (const char* escape = shortEscape(*p)) {
      out[0] = escape[0];
      out[1] = escape[1];
      out += 2;
    } else if (needsUnicodeEscape(*p)) {
      char code[8];
      snprintf(code, sizeof code, "\\u%04x", *p);
      memcpy(out, code, 6);
      out += 6;
    } else {
      *out++ = static_cast<char>(*p);
    }
  }
  return out;
}

// One item to insert: an optional key and a value that is either a text to
// quote and escape, or JSON text copied as it stands.
struct Item {
  const char* key;
  const char* value;
  bool quoted;

  size_t length() const {
    size_t n = quoted ? escapedLength(value) + 2 : strlen(value);
    if (key) n += escapedLength(key) + 3;
    return n;
  }

  char* write(char* out) const {
    if (key) {
      *out++ = '"';
      out = writeEscaped(out, key);
      *out++ = '"';
      *out++ = ':';
    }
    if (!quoted) {
      size_t n = strlen(value);
      memcpy(out, value, n);
      return out + n;
    }
    *out++ = '"';
    out = writeEscaped(out, value);
    *out++ = '"';
    return out;
  }
};

// Zero bytes between the text's terminating NUL and the end mark.
size_t freeRoom(char* nul) {
  size_t room = 0;
  for (char* p = nul + 1; *p != 'J'; ++p) ++room;
  return room;
}

bool containerEmptyBefore(const char* closing) {
  const char* p = closing - 1;
  while (isSpace(*p)) --p;
  return isOpening(*p);
}

bool containerEmptyAfter(const char* opening) { return isClosing(*skipSpace(opening + 1)); }

char* insert(char* position, const Item& item) {
  if (position == nullptr) return nullptr;
  char* at = position;
  bool commaBefore = false;
  bool commaAfter = false;
  if (isClosing(*position)) {
    commaBefore = !containerEmptyBefore(position);
  } else if (isOpening(*position)) {
    at = position + 1;
    commaAfter = !containerEmptyAfter(position);
  } else if (*position != '\0') {
    commaBefore = true;
  }

  const size_t itemLength = item.length();
  const size_t total = itemLength + (commaBefore || commaAfter ? 1 : 0);
  char* nul = at + strlen(at);
  if (total > freeRoom(nul)) return nullptr;

  memmove(at + total, at, static_cast<size_t>(nul - at) + 1);
  char* out = at;
  if (commaBefore) *out++ = ',';
  out = item.write(out);
  if (commaAfter) *out = ',';
  return out;
}

char* insertNumber(char* position, const char* key, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

char* insertNumber(char* position, const char* key, const char* format, ...) {
  char work[64];
  va_list args;
  va_start(args, format);
  vsnprintf(work, sizeof work, format, args);
  va_end(args);
  return insert(position, Item{key, work, false});
}

// ---- Reader ----

struct Scan {
  const char* end;  // after the value, or null on error
  jsonz_Token token;
};

Scan fail(const char* at, int32_t code) { return Scan{nullptr, jsonz_Token{jsonz_typeError, at, 0, code}}; }

// `depth` counts the containers around the value being scanned.
Scan scanValue(const char* p, int32_t depth);

Scan scanString(const char* p) {
  if (*p != '"') return fail(p, jsonz_errorDoubleQuoteExpected);
  const char* q = p + 1;
  while (*q != '"') {
    const unsigned char c = static_cast<unsigned char>(*q);
    if (c < 32) return fail(q, jsonz_errorDoubleQuoteExpected);
    if (c != '\\') {
      ++q;
      continue;
    }
    const char e = q[1];
    if (e == 'u') {
      if (!(isHex(q[2]) && isHex(q[3]) && isHex(q[4]) && isHex(q[5])))
        return fail(q, jsonz_errorInvalidStringSequence);
      q += 6;
    } else if (e && strchr("\"/\\bfnrt", e)) {
      q += 2;
    } else {
      return fail(q, jsonz_errorInvalidStringSequence);
    }
  }
  return Scan{q + 1, jsonz_Token{jsonz_typeString, p + 1, static_cast<size_t>(q - p - 1), 0}};
}

bool scanNumber(const char* p, Scan* scan) {
  if (!isDigit(*p) && *p != '-') return false;
  const char* q = p + 1;
  bool fraction = false;
  while (isDigit(*q)) ++q;
  if (*q == '.') {
    fraction = true;
    ++q;
    while (isDigit(*q)) ++q;
  }
  if ((*q == 'e' || *q == 'E') && (q[1] == '+' || q[1] == '-' || isDigit(q[1]))) {
    fraction = true;
    q += 2;
    while (isDigit(*q)) ++q;
  }
  *scan = Scan{q, jsonz_Token{jsonz_typeNumber, p, static_cast<size_t>(q - p), fraction}};
  return true;
}

// Objects and arrays share one scan: members are "key":value or bare values.
Scan scanContainer(const char* p, bool object, int32_t depth) {
  const char open = object ? '{' : '[';
  const char close = object ? '}' : ']';
  const int32_t bracketError = object ? jsonz_errorCurlyBracketExpected : jsonz_errorSquareBracketExpected;
  if (*p != open) return fail(p, bracketError);
  const jsonz_Token token{object ? jsonz_typeObject : jsonz_typeArray, p, 0, 0};
  const char* q = skipSpace(p + 1);
  if (*q == close) return Scan{q + 1, token};
  for (;;) {
    if (object) {
      Scan key = scanString(q);
      if (!key.end) return key;
      q = skipSpace(key.end);
      if (*q != ':') return fail(q, jsonz_errorColonExpected);
      q = skipSpace(q + 1);
    }
    Scan value = scanValue(q, depth + 1);
    if (!value.end) return value;
    q = skipSpace(value.end);
    if (*q == close) return Scan{q + 1, token};
    if (*q == '\0') return fail(q, bracketError);
    if (*q != ',') return fail(q, jsonz_errorCommaExpected);
    q = skipSpace(q + 1);
    if (*q == close) return fail(q, jsonz_errorTrailingComma);
  }
}

bool scanLiteral(const char* p, Scan* scan) {
  static const struct {
    const char* text;
    int32_t type;
    int32_t value;
  } kLiterals[] = {{"true", jsonz_typeBool, 1}, {"false", jsonz_typeBool, 0}, {"null", jsonz_typeNull, 0}};
  for (const auto& literal : kLiterals) {
    const size_t n = strlen(literal.text);
    if (strncmp(p, literal.text, n) == 0) {
      *scan = Scan{p + n, jsonz_Token{literal.type, nullptr, 0, literal.value}};
      return true;
    }
  }
  return false;
}

// Tries each kind of value in turn; when none matches, the error reported is
// the one that got furthest (the earlier attempt on a tie). The scan recurses
// once per level, so a container past the nesting limit is no value: a peer's
// text cannot run the stack out.
Scan scanValue(const char* p, int32_t depth) {
  if (isOpening(*p) && depth >= jsonz_maxNestingDepth) return fail(p, jsonz_errorValueExpected);
  Scan string = scanString(p);
  if (string.end) return string;
  Scan number;
  if (scanNumber(p, &number)) return number;
  Scan object = scanContainer(p, true, depth);
  if (object.end) return object;
  Scan array = scanContainer(p, false, depth);
  if (array.end) return array;
  Scan literal;
  if (scanLiteral(p, &literal)) return literal;
  Scan best = string;
  if (object.token.start > best.token.start) best = object;
  if (array.token.start > best.token.start) best = array;
  return best;
}

// Decodes one key escape at p (just after the backslash) into out; returns
// the position after the escape, or null when it is malformed.
int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

bool readHex4(const char* p, unsigned* value) {
  for (int i = 0; i < 4; ++i)
    if (!isHex(p[i])) return false;
  *value = (hexValue(p[0]) << 12) | (hexValue(p[1]) << 8) | (hexValue(p[2]) << 4) | hexValue(p[3]);
  return true;
}

size_t encodeUtf8(unsigned cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

const char* decodeEscape(const char* p, char* out, size_t* length) {
  static const char kSimple[] = "\"\"\\\\//b\bf\fn\nr\rt\t";
  for (size_t i = 0; kSimple[i]; i += 2) {
    if (*p == kSimple[i]) {
      out[0] = kSimple[i + 1];
      *length = 1;
      return p + 1;
    }
  }
  unsigned cp;
  if (*p != 'u' || !readHex4(p + 1, &cp)) return nullptr;
  p += 5;
  if (cp >= 0xD800 && cp <= 0xDFFF) {
    unsigned low;
    if (p[0] != '\\' || p[1] != 'u' || !readHex4(p + 2, &low)) return nullptr;
    cp = 0x10000 + ((cp & 0x3FF) << 10) + (low & 0x3FF);
    p += 6;
  }
  *length = encodeUtf8(cp, out);
  return p;
}

// Compares the raw key (between its quotes) with the name, decoding escapes.
bool keyEquals(const char* raw, size_t rawLength, const char* name) {
  const char* p = raw;
  const char* end = raw + rawLength;
  size_t remaining = strlen(name);
  while (p < end) {
    char decoded[4];
    size_t n = 1;
    if (*p == '\\') {
      p = decodeEscape(p + 1, decoded, &n);
      if (p == nullptr) break;
    } else {
      decoded[0] = *p++;
    }
    if (remaining < n || memcmp(name, decoded, n) != 0) return false;
    name += n;
    remaining -= n;
  }
  return remaining == 0;
}

double parseDouble(const char* text, size_t length) {
  char copy[64];
  const size_t n = length < sizeof copy - 1 ? length : sizeof copy - 1;
  memcpy(copy, text, n);
  copy[n] = '\0';
  char probe[8];
  snprintf(probe, sizeof probe, "%.1f", 1.5);
  if (probe[1] == ',') {
    if (char* dot = strchr(copy, '.')) *dot = ',';
  }
  char* end = nullptr;
  double value = strtod(copy, &end);
  return end == copy ? NAN : value;
}

bool parseInteger(const char* text, size_t length, long* value) {
  char copy[64];
  const size_t n = length < sizeof copy - 1 ? length : sizeof copy - 1;
  memcpy(copy, text, n);
  copy[n] = '\0';
  char* end = nullptr;
  errno = 0;
  // Base 0 reads like "%i": a leading 0 means octal.
  *value = strtol(copy, &end, 0);
  return end != copy && errno != ERANGE;
}

}  // namespace

// ---- Writer ----

char* jsonz_initBuffer(char* buffer, size_t size, const char* text) {
  const char* source = text ? text : buffer;
  const size_t length = strlen(source);
  if (length + 2 > size) return nullptr;
  if (text) memmove(buffer, text, length);
  memset(buffer + length, 0, size - length);
  buffer[size - 1] = 'J';
  return length ? buffer + length - 1 : buffer;
}

char* jsonz_addString(char* position, const char* key, const char* text) {
  return insert(position, Item{key, text, true});
}

char* jsonz_addBool(char* position, const char* key, bool flag) {
  return insert(position, Item{key, flag ? "true" : "false", false});
}

char* jsonz_addInt(char* position, const char* key, int32_t value) {
  return insertNumber(position, key, "%i", value);
}

char* jsonz_addUInt(char* position, const char* key, uint32_t value) {
  return insertNumber(position, key, "%u", value);
}

char* jsonz_addLong(char* position, const char* key, int64_t value) {
  return insertNumber(position, key, "%li", static_cast<long>(value));
}

char* jsonz_addULong(char* position, const char* key, uint64_t value) {
  return insertNumber(position, key, "%lu", static_cast<unsigned long>(value));
}

char* jsonz_addObject(char* position, const char* key) { return insert(position, Item{key, "{}", false}); }

char* jsonz_addArray(char* position, const char* key) { return insert(position, Item{key, "[]", false}); }

char* jsonz_addRaw(char* position, const char* key, const char* json) {
  return insert(position, Item{key, json, false});
}

// ---- Reader ----

bool jsonz_validate(const char* text, const char** errorPosition, int32_t* errorCode) {
  Scan scan = scanValue(skipSpace(text), 0);
  const char* errorAt = scan.token.start;
  int32_t code = scan.token.extra;
  if (scan.end) {
    const char* rest = skipSpace(scan.end);
    if (*rest == '\0') return true;
    errorAt = rest;
    code = jsonz_errorTrailingChar;
  }
  if (errorPosition) *errorPosition = errorAt;
  if (errorCode) *errorCode = code;
  return false;
}

bool jsonz_validateLength(const char* text, size_t length, const char** errorPosition, int32_t* errorCode) {
  if (!jsonz_validate(text, errorPosition, errorCode)) return false;
  const size_t scanned = strlen(text);
  if (scanned == length) return true;
  if (errorPosition) *errorPosition = text + scanned;
  if (errorCode) *errorCode = jsonz_errorTrailingChar;
  return false;
}

const char* jsonz_errorName(int32_t code) {
  static const char* const kNames[] = {
      "jsonz_errorValueExpected",        "jsonz_errorDoubleQuoteExpected",
      "jsonz_errorCurlyBracketExpected", "jsonz_errorSquareBracketExpected",
      "jsonz_errorColonExpected",        "jsonz_errorCommaExpected",
      "jsonz_errorInvalidStringSequence", "jsonz_errorTrailingComma",
      "jsonz_errorTrailingChar",
  };
  if (code < 1 || code > 9) return "unknown";
  return kNames[code - 1];
}

const char* jsonz_parseValue(const char* position, jsonz_Token* token) {
  if (position == nullptr) {
    *token = jsonz_Token{jsonz_typeError, nullptr, 0, jsonz_errorValueExpected};
    return nullptr;
  }
  Scan scan = scanValue(skipSpace(position), 0);
  *token = scan.token;
  return scan.end;
}

const char* jsonz_findKey(const char* text, const char* name) {
  if (text == nullptr) return nullptr;
  const char* p = skipSpace(text);
  if (*p != '{') return nullptr;
  p = skipSpace(p + 1);
  while (*p == '"') {
    Scan key = scanString(p);
    if (!key.end) return nullptr;
    p = skipSpace(key.end);
    if (*p != ':') return nullptr;
    p = skipSpace(p + 1);
    if (keyEquals(key.token.start, key.token.length, name)) return p;
    Scan value = scanValue(p, 1);
    if (!value.end) return nullptr;
    p = skipSpace(value.end);
    if (*p != ',') return nullptr;
    p = skipSpace(p + 1);
  }
  return nullptr;
}

const char* jsonz_findEnd(const char* position) {
  if (position == nullptr || !isOpening(*position)) return nullptr;
  Scan scan = scanContainer(position, *position == '{', 0);
  return scan.end ? scan.end - 1 : nullptr;
}

const char* jsonz_getString(const char* position, const char* defaultText, size_t* length,
                            const char** end) {
  jsonz_Token token;
  const char* after = jsonz_parseValue(position, &token);
  if (after && token.type == jsonz_typeString) {
    if (length) *length = token.length;
    if (end) *end = after;
    return token.start;
  }
  if (length) *length = defaultText ? strlen(defaultText) : 0;
  if (end) *end = nullptr;
  return defaultText;
}

int32_t jsonz_getInt(const char* position, int32_t defaultValue, const char** end) {
  jsonz_Token token;
  const char* after = jsonz_parseValue(position, &token);
  if (end) *end = nullptr;
  if (!after || token.type != jsonz_typeNumber) return defaultValue;
  int32_t result;
  if (token.extra) {
    // Out of range (or not a number at all) keeps the default instead of
    // converting with undefined behaviour.
    const double value = std::trunc(parseDouble(token.start, token.length));
    if (!(value >= INT32_MIN && value <= INT32_MAX)) return defaultValue;
    result = static_cast<int32_t>(value);
  } else {
    long value;
    if (!parseInteger(token.start, token.length, &value) || value < INT32_MIN || value > INT32_MAX)
      return defaultValue;
    result = static_cast<int32_t>(value);
  }
  if (end) *end = after;
  return result;
}

bool jsonz_getBool(const char* position, bool defaultValue, const char** end) {
  jsonz_Token token;
  const char* after = jsonz_parseValue(position, &token);
  if (!after || token.type != jsonz_typeBool) {
    if (end) *end = nullptr;
    return defaultValue;
  }
  if (end) *end = after;
  return token.extra != 0;
}
