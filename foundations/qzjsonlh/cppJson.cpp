#include "qzjsonlh/cppJson.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "jsonz/jsonz.h"
#include "qzerr/errorDetail.h"

// The text reader checks answers before they are parsed here: both must
// refuse the same nesting.
static_assert(jsonz_maxNestingDepth == CJSON_NESTING_LIMIT, "one nesting limit for the text reader and the tree");

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// What cJSON skips before a text and between its tokens.
const char* skipSpace(const char* position) {
  while (*position != '\0' && static_cast<unsigned char>(*position) <= ' ') ++position;
  return position;
}

const char* skipBom(const char* text) {
  return std::strncmp(text, kUtf8Bom, sizeof kUtf8Bom - 1) == 0 ? text + sizeof kUtf8Bom - 1 : text;
}

// Past the string whose opening quote is at `position`, or at the NUL that
// cuts it short.
const char* skipString(const char* position) {
  for (++position; *position != '\0' && *position != '"'; ++position) {
    if (*position == '\\' && position[1] != '\0') ++position;
  }
  return *position == '"' ? position + 1 : position;
}

// The values of the container opening at `position`, itself included, counted
// no further than `limit` + 1: one, one more for a first element, and one for
// each comma, at every depth, until the container closes.
size_t containerValues(const char* position, size_t limit) {
  size_t values = 1;
  size_t depth = 0;
  while (*position != '\0' && values <= limit) {
    const char c = *position;
    if (c == '"') {
      position = skipString(position);
      continue;
    }
    ++position;
    if (c == ',') {
      ++values;
    } else if (c == '[' || c == '{') {
      ++depth;
      const char next = *skipSpace(position);
      if (next != ']' && next != '}') ++values;
    } else if ((c == ']' || c == '}') && --depth == 0) {
      break;
    }
  }
  return values;
}

}  // namespace

CppJson::CppJson(const char* text) : root_(nullptr) { parse(text); }

CppJson::~CppJson() { cJSON_Delete(root_); }

// cJSON answers null both for a text that does not parse and for a failed
// allocation; only the latter leaves ENOMEM in errno (malloc's, as POSIX has
// it). errno is the thread's own, where cJSON's hooks would be shared by every
// copy of this layer in the process.
void CppJson::parse(const char* text) {
  const bool withinLimit = valuesWithin(text, kMaxValues);
  errno = 0;
  cJSON* root = withinLimit ? cJSON_Parse(text) : nullptr;
  const bool memoryFull = root == nullptr && errno == ENOMEM;
  reset(root);
  if (memoryFull) throw std::bad_alloc();
  if (root_ == nullptr) QZERR_ERROR(qzerr::kJsonInvalidJson).raise();
}

bool CppJson::valuesWithin(const char* text, size_t limit) {
  if (text == nullptr) return true;
  const char* first = skipSpace(skipBom(text));
  const size_t values = *first == '[' || *first == '{' ? containerValues(first, limit) : 1;
  return values <= limit;
}

cJSON* CppJson::release() {
  cJSON* root = root_;
  root_ = nullptr;
  return root;
}

void CppJson::reset(cJSON* root) {
  if (root == root_) return;
  cJSON_Delete(root_);
  root_ = root;
}
