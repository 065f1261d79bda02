#include "qzjsonlh/cppJson.h"

#include "jsonz/jsonz.h"
#include "qzerr/errorDetail.h"

// The text reader checks answers before they are parsed here: both must
// refuse the same nesting.
static_assert(jsonz_maxNestingDepth == CJSON_NESTING_LIMIT, "one nesting limit for the text reader and the tree");

CppJson::CppJson(const char* text) : root_(nullptr) { parse(text); }

CppJson::~CppJson() { cJSON_Delete(root_); }

void CppJson::parse(const char* text) {
  reset(cJSON_Parse(text));
  if (root_ == nullptr) QZERR_ERROR(qzerr::kJsonInvalidJson).raise();
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
