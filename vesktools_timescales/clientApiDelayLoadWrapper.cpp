#include "vesktools_timescales/clientApiDelayLoadWrapper.h"

#include <cstring>

#include "qzerr/exception.h"
#include "vesktools_timescales/clientApiLibrary.h"

namespace qzpendulo {

namespace {

// Runs one library call with a fresh status of its own. The status throws
// a negative code as it goes, carrying the library's own detail; a warning
// is dropped with its text.
template <typename Call>
auto checked(Call call) {
  qzerr::ScopedStatus status;
  return call(status.get());
}

// The library is asked to end its answer with a NUL inside the buffer; one
// that does not is never read past the buffer's end.
std::string textOf(const char* buffer, size_t size) { return std::string(buffer, strnlen(buffer, size)); }

void endInsideBuffer(char* buffer, uint32_t size) {
  if (size > 0 && memchr(buffer, '\0', size) == nullptr) buffer[size - 1] = '\0';
}

}  // namespace

int32_t ClientApiDelayLoadWrapper::getApiVersion() { return library_->getApiVersion(); }

bool ClientApiDelayLoadWrapper::getSelectedTrId(std::string* trId) {
  char buffer[kTrIdBufferSize] = {};
  const bool selected =
      checked([&](qzerr_Status* status) { return library_->getSelectedTrId(buffer, sizeof buffer, status); });
  if (selected) *trId = textOf(buffer, sizeof buffer);
  return selected;
}

int32_t ClientApiDelayLoadWrapper::getSelectedTrOffsetNanos(int64_t atHostTimeNanos) {
  return checked(
      [&](qzerr_Status* status) { return library_->getSelectedTrOffsetNanos(atHostTimeNanos, status); });
}

void ClientApiDelayLoadWrapper::getQlmAttrJson(const std::string& attrKey, std::string* json) {
  char buffer[kJsonBufferSize] = {};
  checked([&](qzerr_Status* status) { library_->getQlmAttrJson(attrKey.c_str(), buffer, sizeof buffer, status); });
  *json = textOf(buffer, sizeof buffer);
}

void ClientApiDelayLoadWrapper::getQlmMetadataJson(std::string* json) {
  char buffer[kJsonBufferSize] = {};
  checked([&](qzerr_Status* status) { library_->getQlmMetadataJson(buffer, sizeof buffer, status); });
  *json = textOf(buffer, sizeof buffer);
}

void ClientApiDelayLoadWrapper::getTrAttrJson(const std::string& trId, const std::string& attrKey,
                                              std::string* json) {
  char buffer[kJsonBufferSize] = {};
  checked([&](qzerr_Status* status) {
    library_->getTrAttrJson(trId.c_str(), attrKey.c_str(), buffer, sizeof buffer, status);
  });
  *json = textOf(buffer, sizeof buffer);
}

void ClientApiDelayLoadWrapper::getTrMetadataJson(const std::string& trId, std::string* json) {
  char buffer[kJsonBufferSize] = {};
  checked([&](qzerr_Status* status) { library_->getTrMetadataJson(trId.c_str(), buffer, sizeof buffer, status); });
  *json = textOf(buffer, sizeof buffer);
}

void ClientApiDelayLoadWrapper::setTrAttr(const std::string& trId, const std::string& attrKey,
                                          const std::string& value) {
  setTrAttr(trId.c_str(), attrKey.c_str(), value.c_str());
}

void ClientApiDelayLoadWrapper::restartService() {
  checked([&](qzerr_Status* status) { library_->restartService(status); });
}

void ClientApiDelayLoadWrapper::bringDownService() {
  checked([&](qzerr_Status* status) { library_->bringDownService(status); });
}

void ClientApiDelayLoadWrapper::bringUpService() {
  checked([&](qzerr_Status* status) { library_->bringUpService(status); });
}

void ClientApiDelayLoadWrapper::persistConfig() {
  checked([&](qzerr_Status* status) { library_->persistConfig(status); });
}

void ClientApiDelayLoadWrapper::updateTrFromConfig(const std::string& trId) { updateTrFromConfig(trId.c_str()); }

int32_t ClientApiDelayLoadWrapper::adjustTime(int64_t seconds, int64_t nanos) {
  return checked([&](qzerr_Status* status) { return library_->adjustTime(seconds, nanos, status); });
}

bool ClientApiDelayLoadWrapper::getSelectedTrId(char* trId, uint32_t trIdSize) {
  return checked([&](qzerr_Status* status) {
    const bool selected = library_->getSelectedTrId(trId, trIdSize, status);
    endInsideBuffer(trId, trIdSize);
    return selected;
  });
}

void ClientApiDelayLoadWrapper::getQlmAttrJson(const char* attrKey, char* json, uint32_t jsonSize) {
  checked([&](qzerr_Status* status) {
    library_->getQlmAttrJson(attrKey, json, jsonSize, status);
    endInsideBuffer(json, jsonSize);
  });
}

void ClientApiDelayLoadWrapper::getQlmMetadataJson(char* json, uint32_t jsonSize) {
  checked([&](qzerr_Status* status) {
    library_->getQlmMetadataJson(json, jsonSize, status);
    endInsideBuffer(json, jsonSize);
  });
}

void ClientApiDelayLoadWrapper::getTrAttrJson(const char* trId, const char* attrKey, char* json,
                                              uint32_t jsonSize) {
  checked([&](qzerr_Status* status) {
    library_->getTrAttrJson(trId, attrKey, json, jsonSize, status);
    endInsideBuffer(json, jsonSize);
  });
}

void ClientApiDelayLoadWrapper::getTrMetadataJson(const char* trId, char* json, uint32_t jsonSize) {
  checked([&](qzerr_Status* status) {
    library_->getTrMetadataJson(trId, json, jsonSize, status);
    endInsideBuffer(json, jsonSize);
  });
}

void ClientApiDelayLoadWrapper::setTrAttr(const char* trId, const char* attrKey, const char* value) {
  checked([&](qzerr_Status* status) { library_->setTrAttr(trId, attrKey, value, status); });
}

void ClientApiDelayLoadWrapper::updateTrFromConfig(const char* trId) {
  checked([&](qzerr_Status* status) { library_->updateTrFromConfig(trId, status); });
}

}  // namespace qzpendulo
