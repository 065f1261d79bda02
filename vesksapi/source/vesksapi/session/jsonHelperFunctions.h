// Typed readers of one member of a JSON object in a parameter document. Names
// match in any letter case (first match in document order); JSON null keeps
// the caller's value; a value of the wrong kind fails with -52004 "errCode"
// naming the object text and the key. Numbers become unsigned 32-bit by
// truncation toward zero; out of range (infinity included) fails with the
// numeric conversion's own exception. Everything else is thrown as
// qzerr::Exception.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qzjsonlh/cppJson.h"

namespace vesksapi {

// One parsed JSON text: -52005 "jsonErrorsInvalidJSON" when it does not parse.
class JsonObjectText {
 public:
  explicit JsonObjectText(std::string text);
  // A value of a parsed tree, read in place (the tree must outlive this); its
  // text is the value printed without formatting. Reading the printed text
  // instead would see a non-finite number as the null cJSON prints for it.
  explicit JsonObjectText(const cJSON* value);
  JsonObjectText(const JsonObjectText&) = delete;
  JsonObjectText& operator=(const JsonObjectText&) = delete;

  // A value read in place is printed on the first call only: only errors
  // echo it, and printing a large value costs more than parsing it did. Not
  // for several threads at once.
  const std::string& text() const;
  // The member of that name, or null when the text is no object or lacks it.
  const cJSON* find(const std::string& key) const;

 private:
  mutable std::optional<std::string> text_;  // none until a value read in place is printed
  CppJson tree_;                             // empty for a value read in place
  const cJSON* root_;
};

// False when the key is absent; true and `value` untouched when null.
bool getJsonString(const JsonObjectText& object, const std::string& key, std::string& value);
bool getJsonValue(const JsonObjectText& object, const std::string& key, uint32_t& value);
// An array whose every element is a string (else the tree layer's -52004).
bool getJsonStringArray(const JsonObjectText& object, const std::string& key, std::vector<std::string>& list);

// A member that must be there: absent, or a string that is not only the
// decimal digits of a number from 0 to 4294967295 (blanks, a sign or trailing
// text included), fails with -52005 "Failed to parse for the given Json
// key."; null gives 4294967295; a string without any digit fails with
// std::invalid_argument ("stoul").
uint32_t getRequiredJsonUInt32(const JsonObjectText& object, const std::string& key);

}  // namespace vesksapi
