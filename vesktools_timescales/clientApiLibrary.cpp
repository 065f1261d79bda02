#include "vesktools_timescales/clientApiLibrary.h"

#include <type_traits>

namespace qzpendulo::dynlib {

namespace {

using Store = void (*)(ClientApiLibrary& table, void* address);

// dlsym hands out object addresses; POSIX guarantees they convert to the
// function pointer type of the symbol.
template <auto Field>
void store(ClientApiLibrary& table, void* address) {
  table.*Field = reinterpret_cast<std::remove_reference_t<decltype(table.*Field)>>(address);
}

struct Binding {
  const char* name;
  Store store;
};

constexpr Binding kBindings[ClientApiLibrary::kFunctionCount] = {
    {"qzqlmclientapi_getApiVersion", store<&ClientApiLibrary::getApiVersion_>},
    {"qzqlmclientapi_getSelectedTrId", store<&ClientApiLibrary::getSelectedTrId_>},
    {"qzqlmclientapi_getSelectedTrOffsetNanos", store<&ClientApiLibrary::getSelectedTrOffsetNanos_>},
    {"qzqlmclientapi_getQlmAttrJson", store<&ClientApiLibrary::getQlmAttrJson_>},
    {"qzqlmclientapi_getQlmMetadataJson", store<&ClientApiLibrary::getQlmMetadataJson_>},
    {"qzqlmclientapi_getTrAttrJson", store<&ClientApiLibrary::getTrAttrJson_>},
    {"qzqlmclientapi_getTrMetadataJson", store<&ClientApiLibrary::getTrMetadataJson_>},
    {"qzqlmclientapi_setTrAttr", store<&ClientApiLibrary::setTrAttr_>},
    {"qzqlmclientapi_restartService", store<&ClientApiLibrary::restartService_>},
    {"qzqlmclientapi_bringDownService", store<&ClientApiLibrary::bringDownService_>},
    {"qzqlmclientapi_bringUpService", store<&ClientApiLibrary::bringUpService_>},
    {"qzqlmclientapi_updateTrFromConfig", store<&ClientApiLibrary::updateTrFromConfig_>},
    {"qzqlmclientapi_persistConfig", store<&ClientApiLibrary::persistConfig_>},
    {"qzqlmclientapi_adjustTime", store<&ClientApiLibrary::adjustTime_>},
};

}  // namespace

const char* ClientApiLibrary::symbolName(size_t index) { return kBindings[index].name; }

void ClientApiLibrary::bind(size_t index, void* address) { kBindings[index].store(*this, address); }

}  // namespace qzpendulo::dynlib
