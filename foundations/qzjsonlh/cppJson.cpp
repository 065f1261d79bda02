#include "qzjsonlh/cppJson.h"

#include "qzerr/errorDetail.h"

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
