// The manager client stack: the loaded manager client library with its bound
// function table, the wrapper over that table and the time-reference helpers
// over the wrapper, made together by makeQlmClientApi. Either all three are
// there, or none is (the manager is then simply unavailable). The members
// are released helpers first, then the wrapper, then the library, so the
// wrapper's raw table pointer never outlives the loaded library.
#pragma once

#include <memory>

#include "qzdynlib/dynload.h"
#include "vesktools_timescales/clientApiDelayLoadWrapper.h"
#include "vesktools_timescales/clientApiLibrary.h"
#include "vesktools_timescales/timescaleHelpers.h"

namespace qzpendulo {

using ClientApiLibraryObject = qzdynlib::AutoLibWithInterface<dynlib::ClientApiLibrary>;

struct QlmClientStack {
  // Declared in the reverse of their release order.
  std::shared_ptr<ClientApiLibraryObject> library;
  std::shared_ptr<ClientApiDelayLoadWrapper> wrapper;
  std::shared_ptr<vesktools::pendulo::TimescaleHelpers> helpers;
};

inline constexpr char kQlmClientLibraryName[] = "libqzqlm_clientapi.so.1";

// Opens libqzqlm_clientapi.so.1 (RTLD_NOW|RTLD_GLOBAL), binds all 14
// functions at once and makes the wrapper and the helpers. A library that is
// missing, or lacks any one function, gives an empty stack and raises
// nothing; only other failures (memory) are thrown.
QlmClientStack makeQlmClientApi();

}  // namespace qzpendulo
