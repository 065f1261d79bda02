// The function table of the manager client library: one pointer per library
// function, null until bound, and per function a bound test and a call that
// forwards its arguments. A call jumps to its pointer without a test; the
// maker of the table (makeQlmClientApi) binds all 14 or hands out none.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vesktools_timescales/qzqlmClientApi.h"

namespace qzpendulo::dynlib {

class ClientApiLibraryInterface {
 public:
  virtual ~ClientApiLibraryInterface() = default;

  virtual bool hasGetApiVersion() const = 0;
  virtual int32_t getApiVersion() = 0;
  virtual bool hasGetSelectedTrId() const = 0;
  virtual bool getSelectedTrId(char* trId, uint32_t trIdSize, qzerr_Status* status) = 0;
  virtual bool hasGetSelectedTrOffsetNanos() const = 0;
  virtual int32_t getSelectedTrOffsetNanos(int64_t atHostTimeNanos, qzerr_Status* status) = 0;
  virtual bool hasGetQlmAttrJson() const = 0;
  virtual void getQlmAttrJson(const char* attrKey, char* json, uint32_t jsonSize, qzerr_Status* status) = 0;
  virtual bool hasGetQlmMetadataJson() const = 0;
  virtual void getQlmMetadataJson(char* json, uint32_t jsonSize, qzerr_Status* status) = 0;
  virtual bool hasGetTrAttrJson() const = 0;
  virtual void getTrAttrJson(const char* trId, const char* attrKey, char* json, uint32_t jsonSize,
                             qzerr_Status* status) = 0;
  virtual bool hasGetTrMetadataJson() const = 0;
  virtual void getTrMetadataJson(const char* trId, char* json, uint32_t jsonSize, qzerr_Status* status) = 0;
  virtual bool hasSetTrAttr() const = 0;
  virtual void setTrAttr(const char* trId, const char* attrKey, const char* value, qzerr_Status* status) = 0;
  virtual bool hasRestartService() const = 0;
  virtual void restartService(qzerr_Status* status) = 0;
  virtual bool hasBringDownService() const = 0;
  virtual void bringDownService(qzerr_Status* status) = 0;
  virtual bool hasBringUpService() const = 0;
  virtual void bringUpService(qzerr_Status* status) = 0;
  virtual bool hasUpdateTrFromConfig() const = 0;
  virtual void updateTrFromConfig(const char* trId, qzerr_Status* status) = 0;
  virtual bool hasPersistConfig() const = 0;
  virtual void persistConfig(qzerr_Status* status) = 0;
  virtual bool hasAdjustTime() const = 0;
  virtual int32_t adjustTime(int64_t seconds, int64_t nanos, qzerr_Status* status) = 0;
};

class ClientApiLibrary final : public ClientApiLibraryInterface {
 public:
  static constexpr size_t kFunctionCount = 14;

  // The exported name of function `index` in table order.
  static const char* symbolName(size_t index);
  // Stores `address` (null for a missing symbol) as function `index`.
  void bind(size_t index, void* address);
  // Every pointer back to null.
  void clear() { *this = ClientApiLibrary(); }

  bool hasGetApiVersion() const override { return getApiVersion_ != nullptr; }
  int32_t getApiVersion() override { return getApiVersion_(); }
  bool hasGetSelectedTrId() const override { return getSelectedTrId_ != nullptr; }
  bool getSelectedTrId(char* trId, uint32_t trIdSize, qzerr_Status* status) override {
    return getSelectedTrId_(trId, trIdSize, status);
  }
  bool hasGetSelectedTrOffsetNanos() const override { return getSelectedTrOffsetNanos_ != nullptr; }
  int32_t getSelectedTrOffsetNanos(int64_t atHostTimeNanos, qzerr_Status* status) override {
    return getSelectedTrOffsetNanos_(atHostTimeNanos, status);
  }
  bool hasGetQlmAttrJson() const override { return getQlmAttrJson_ != nullptr; }
  void getQlmAttrJson(const char* attrKey, char* json, uint32_t jsonSize, qzerr_Status* status) override {
    getQlmAttrJson_(attrKey, json, jsonSize, status);
  }
  bool hasGetQlmMetadataJson() const override { return getQlmMetadataJson_ != nullptr; }
  void getQlmMetadataJson(char* json, uint32_t jsonSize, qzerr_Status* status) override {
    getQlmMetadataJson_(json, jsonSize, status);
  }
  bool hasGetTrAttrJson() const override { return getTrAttrJson_ != nullptr; }
  void getTrAttrJson(const char* trId, const char* attrKey, char* json, uint32_t jsonSize,
                     qzerr_Status* status) override {
    getTrAttrJson_(trId, attrKey, json, jsonSize, status);
  }
  bool hasGetTrMetadataJson() const override { return getTrMetadataJson_ != nullptr; }
  void getTrMetadataJson(const char* trId, char* json, uint32_t jsonSize, qzerr_Status* status) override {
    getTrMetadataJson_(trId, json, jsonSize, status);
  }
  bool hasSetTrAttr() const override { return setTrAttr_ != nullptr; }
  void setTrAttr(const char* trId, const char* attrKey, const char* value, qzerr_Status* status) override {
    setTrAttr_(trId, attrKey, value, status);
  }
  bool hasRestartService() const override { return restartService_ != nullptr; }
  void restartService(qzerr_Status* status) override { restartService_(status); }
  bool hasBringDownService() const override { return bringDownService_ != nullptr; }
  void bringDownService(qzerr_Status* status) override { bringDownService_(status); }
  bool hasBringUpService() const override { return bringUpService_ != nullptr; }
  void bringUpService(qzerr_Status* status) override { bringUpService_(status); }
  bool hasUpdateTrFromConfig() const override { return updateTrFromConfig_ != nullptr; }
  void updateTrFromConfig(const char* trId, qzerr_Status* status) override { updateTrFromConfig_(trId, status); }
  bool hasPersistConfig() const override { return persistConfig_ != nullptr; }
  void persistConfig(qzerr_Status* status) override { persistConfig_(status); }
  bool hasAdjustTime() const override { return adjustTime_ != nullptr; }
  int32_t adjustTime(int64_t seconds, int64_t nanos, qzerr_Status* status) override {
    return adjustTime_(seconds, nanos, status);
  }

  // Table order; bind() addresses them by index.
  decltype(&qzqlmclientapi_getApiVersion) getApiVersion_ = nullptr;
  decltype(&qzqlmclientapi_getSelectedTrId) getSelectedTrId_ = nullptr;
  decltype(&qzqlmclientapi_getSelectedTrOffsetNanos) getSelectedTrOffsetNanos_ = nullptr;
  decltype(&qzqlmclientapi_getQlmAttrJson) getQlmAttrJson_ = nullptr;
  decltype(&qzqlmclientapi_getQlmMetadataJson) getQlmMetadataJson_ = nullptr;
  decltype(&qzqlmclientapi_getTrAttrJson) getTrAttrJson_ = nullptr;
  decltype(&qzqlmclientapi_getTrMetadataJson) getTrMetadataJson_ = nullptr;
  decltype(&qzqlmclientapi_setTrAttr) setTrAttr_ = nullptr;
  decltype(&qzqlmclientapi_restartService) restartService_ = nullptr;
  decltype(&qzqlmclientapi_bringDownService) bringDownService_ = nullptr;
  decltype(&qzqlmclientapi_bringUpService) bringUpService_ = nullptr;
  decltype(&qzqlmclientapi_updateTrFromConfig) updateTrFromConfig_ = nullptr;
  decltype(&qzqlmclientapi_persistConfig) persistConfig_ = nullptr;
  decltype(&qzqlmclientapi_adjustTime) adjustTime_ = nullptr;
};

}  // namespace qzpendulo::dynlib
