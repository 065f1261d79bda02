// jsonz: a JSON text layer that needs no tree and no allocation.
// The writer inserts members into a JSON text held in a fixed buffer whose
// last byte is the end mark 'J' (text, NUL, zeros, 'J'); a write that does not
// fit returns null and changes nothing. The reader validates a text and finds
// values in it by position, returning pointers into the caller's text; it
// takes containers nested at most jsonz_maxNestingDepth deep.
#pragma once

#include <cstddef>
#include <cstdint>

enum jsonz_TokenType : int32_t {
  jsonz_typeError = 0,
  jsonz_typeNull = 1,
  jsonz_typeBool = 2,
  jsonz_typeNumber = 3,
  jsonz_typeString = 4,
  jsonz_typeArray = 5,
  jsonz_typeObject = 6,
};

enum jsonz_ErrorCode : int32_t {
  jsonz_errorValueExpected = 1,
  jsonz_errorDoubleQuoteExpected = 2,
  jsonz_errorCurlyBracketExpected = 3,
  jsonz_errorSquareBracketExpected = 4,
  jsonz_errorColonExpected = 5,
  jsonz_errorCommaExpected = 6,
  jsonz_errorInvalidStringSequence = 7,
  jsonz_errorTrailingComma = 8,
  jsonz_errorTrailingChar = 9,
};

// What a scan found. `start`/`length` are set for numbers and strings (a
// string's raw, still escaped characters), `start` alone for containers and
// errors. `extra` is the error code, a bool's value, or for a number whether
// it had a fraction or an exponent.
struct jsonz_Token {
  int32_t type;
  const char* start;
  size_t length;
  int32_t extra;
};

// Grows a writer buffer: called with the failed write position, returns that
// position moved into the grown buffer, or null when it cannot grow.
struct jsonz_GrowHandler {
  char* (*grow)(char* position, void* context);
  void* context;
};

// ---- Writer: each returns the position just after what it wrote, or null.
// A null key writes a bare value (an array element).
char* jsonz_initBuffer(char* buffer, size_t size, const char* text);
char* jsonz_addString(char* position, const char* key, const char* text);
char* jsonz_addBool(char* position, const char* key, bool flag);
char* jsonz_addInt(char* position, const char* key, int32_t value);
char* jsonz_addUInt(char* position, const char* key, uint32_t value);
char* jsonz_addLong(char* position, const char* key, int64_t value);
char* jsonz_addULong(char* position, const char* key, uint64_t value);
char* jsonz_addObject(char* position, const char* key);
char* jsonz_addArray(char* position, const char* key);
char* jsonz_addRaw(char* position, const char* key, const char* json);

// ---- Reader.
// The tree layer's (cJSON's) nesting limit, so that both refuse the same
// texts. A container opened inside that many others ends the scan with
// jsonz_errorValueExpected at its bracket.
constexpr int32_t jsonz_maxNestingDepth = 1000;

bool jsonz_validate(const char* text, const char** errorPosition, int32_t* errorCode);
// jsonz_validate over all `length` bytes of a received text (text[length] is
// its NUL): a NUL among them is a trailing character.
bool jsonz_validateLength(const char* text, size_t length, const char** errorPosition, int32_t* errorCode);
const char* jsonz_errorName(int32_t code);
const char* jsonz_parseValue(const char* position, jsonz_Token* token);
const char* jsonz_findKey(const char* text, const char* name);
const char* jsonz_findEnd(const char* position);
const char* jsonz_getString(const char* position, const char* defaultText, size_t* length,
                            const char** end);
int32_t jsonz_getInt(const char* position, int32_t defaultValue, const char** end);
bool jsonz_getBool(const char* position, bool defaultValue, const char** end);
