// The manager client library as C++ calls: each reports a failure of the
// manager by throwing qzerr::Exception carrying the library's status
// unchanged (-52024 when the manager cannot be reached, -1074100991 for an
// unknown time reference, -1074100990 for an attribute it does not have); a
// warning is dropped. String forms answer whatever the library wrote, never
// more than their buffer; buffer forms use the caller's buffer and size.
#pragma once

#include <cstdint>
#include <string>

namespace qzpendulo {

class ApiWrapperInterface {
 public:
  virtual ~ApiWrapperInterface() = default;

  // No status: never throws.
  virtual int32_t getApiVersion() = 0;

  // True when the manager follows a time reference; only then is `trId` set.
  virtual bool getSelectedTrId(std::string* trId) = 0;
  virtual int32_t getSelectedTrOffsetNanos(int64_t atHostTimeNanos) = 0;
  // JSON object texts whose member named like the key holds the value.
  virtual void getQlmAttrJson(const std::string& attrKey, std::string* json) = 0;
  virtual void getQlmMetadataJson(std::string* json) = 0;
  virtual void getTrAttrJson(const std::string& trId, const std::string& attrKey, std::string* json) = 0;
  virtual void getTrMetadataJson(const std::string& trId, std::string* json) = 0;
  virtual void setTrAttr(const std::string& trId, const std::string& attrKey, const std::string& value) = 0;
  virtual void restartService() = 0;
  virtual void bringDownService() = 0;
  virtual void bringUpService() = 0;
  virtual void persistConfig() = 0;
  virtual void updateTrFromConfig(const std::string& trId) = 0;
  virtual int32_t adjustTime(int64_t seconds, int64_t nanos) = 0;

  // Buffer forms. A buffer that the library fills to its end without a NUL
  // gets one in its last byte, so the answer is always a terminated text.
  virtual bool getSelectedTrId(char* trId, uint32_t trIdSize) = 0;
  virtual void getQlmAttrJson(const char* attrKey, char* json, uint32_t jsonSize) = 0;
  virtual void getQlmMetadataJson(char* json, uint32_t jsonSize) = 0;
  virtual void getTrAttrJson(const char* trId, const char* attrKey, char* json, uint32_t jsonSize) = 0;
  virtual void getTrMetadataJson(const char* trId, char* json, uint32_t jsonSize) = 0;
  virtual void setTrAttr(const char* trId, const char* attrKey, const char* value) = 0;
  virtual void updateTrFromConfig(const char* trId) = 0;
};

}  // namespace qzpendulo
