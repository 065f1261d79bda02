// CppJson: the owning holder of a cJSON tree, with exact type tests, checks
// that raise qzerr::Exception (-52004 wrong type, -52006 missing member,
// -52005 text that does not parse, nesting past cJSON's limit of 1000 and
// texts of more than kMaxValues = 1,000,000 values included), typed readers,
// and builders and parses that raise std::bad_alloc when memory runs out.
// Items taken from a held tree live as long as the holder.
#pragma once

#include <cstddef>
#include <string>

#include <cjson/cJSON.h>

class CppJson {
 public:
  explicit CppJson(cJSON* root = nullptr) : root_(root) {}
  explicit CppJson(const char* text);
  CppJson(const CppJson&) = delete;
  CppJson& operator=(const CppJson&) = delete;
  ~CppJson();

  // A tree costs about 80 bytes a value, so this bounds what a text from
  // outside may cost: room for a target's list of 200,000 devices of up to
  // four members each.
  static constexpr size_t kMaxValues = 1000000;

  // Parses one value (what follows it is ignored); replaces what is held.
  void parse(const char* text);
  // Whether the first value of `text` makes at most `limit` cJSON items (one
  // per value; a member's name is none), counted without allocating. A text
  // that does not parse may count anything: cJSON refuses it anyway.
  static bool valuesWithin(const char* text, size_t limit);
  cJSON* get() const { return root_; }
  cJSON* release();
  void reset(cJSON* root = nullptr);

  // True only when the item's type is exactly the one named.
  static bool isNull(const cJSON* item);
  static bool isNumber(const cJSON* item);
  static bool isString(const cJSON* item);
  static bool isBool(const cJSON* item);
  static bool isArray(const cJSON* item);
  static bool isObject(const cJSON* item);
  static bool checkNumber(const cJSON* item) { return isNumber(item); }
  static bool checkString(const cJSON* item) { return isString(item); }
  static bool checkBool(const cJSON* item) { return isBool(item); }

  static void requireObject(const cJSON* item);
  static void requireArray(const cJSON* item);
  static void requireString(const cJSON* item);
  static void requireBool(const cJSON* item);
  static void requireNumber(const cJSON* item);

  // Member lookup ignores letter case; the item stays owned by the tree.
  static cJSON* getObjectItem(const cJSON* object, const char* name);
  static std::string getString(const cJSON* item);
  static bool getBool(const cJSON* item);
  static std::string print(const cJSON* item);

  static cJSON* createArray();
  static cJSON* createString(const char* text);
  static void addItemToObject(cJSON* object, const char* name, cJSON* item);

  // Walks the elements of an array, checking it is one at every step.
  class ArrayIterator {
   public:
    explicit ArrayIterator(const cJSON* array);
    cJSON* operator*() const { return element_; }
    ArrayIterator& operator++();
    bool atEnd() const { return element_ == nullptr; }

   private:
    const cJSON* array_;
    cJSON* element_;
  };

 private:
  cJSON* root_;
};
