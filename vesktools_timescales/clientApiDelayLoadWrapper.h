// The wrapper over a bound function table of the manager client library:
// every call gets its own status record (and, for the string forms, its own
// zeroed buffer of 256 bytes for an id or 1024 for a JSON text), so the
// wrapper holds no state beyond its non-owning table pointer and needs no
// lock. The table must outlive the wrapper (the client stack sees to it).
#pragma once

#include "vesktools_timescales/apiWrapperInterface.h"

namespace qzpendulo {

namespace dynlib {
class ClientApiLibrary;
}

class ClientApiDelayLoadWrapper final : public ApiWrapperInterface {
 public:
  static constexpr uint32_t kTrIdBufferSize = 256;
  static constexpr uint32_t kJsonBufferSize = 1024;

  explicit ClientApiDelayLoadWrapper(dynlib::ClientApiLibrary* library) : library_(library) {}

  int32_t getApiVersion() override;
  bool getSelectedTrId(std::string* trId) override;
  int32_t getSelectedTrOffsetNanos(int64_t atHostTimeNanos) override;
  void getQlmAttrJson(const std::string& attrKey, std::string* json) override;
  void getQlmMetadataJson(std::string* json) override;
  void getTrAttrJson(const std::string& trId, const std::string& attrKey, std::string* json) override;
  void getTrMetadataJson(const std::string& trId, std::string* json) override;
  void setTrAttr(const std::string& trId, const std::string& attrKey, const std::string& value) override;
  void restartService() override;
  void bringDownService() override;
  void bringUpService() override;
  void persistConfig() override;
  void updateTrFromConfig(const std::string& trId) override;
  int32_t adjustTime(int64_t seconds, int64_t nanos) override;

  bool getSelectedTrId(char* trId, uint32_t trIdSize) override;
  void getQlmAttrJson(const char* attrKey, char* json, uint32_t jsonSize) override;
  void getQlmMetadataJson(char* json, uint32_t jsonSize) override;
  void getTrAttrJson(const char* trId, const char* attrKey, char* json, uint32_t jsonSize) override;
  void getTrMetadataJson(const char* trId, char* json, uint32_t jsonSize) override;
  void setTrAttr(const char* trId, const char* attrKey, const char* value) override;
  void updateTrFromConfig(const char* trId) override;

 private:
  dynlib::ClientApiLibrary* library_;
};

}  // namespace qzpendulo
