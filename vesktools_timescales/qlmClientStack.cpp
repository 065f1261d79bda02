#include "vesktools_timescales/qlmClientStack.h"

#include <dlfcn.h>

#include "qzerr/errorConstants.h"
#include "qzerr/exception.h"

namespace qzpendulo {

namespace {

constexpr int kLoadFlags = RTLD_NOW | RTLD_GLOBAL;
constexpr size_t kSymbolNameSize = 256;

// Throws the loader's -52005 when the library cannot be opened; the object
// (and any handle it got) is then dropped by the caller's unwinding.
std::shared_ptr<ClientApiLibraryObject> openLibrary() {
  auto library = std::make_shared<ClientApiLibraryObject>();
  {
    qzerr::ScopedStatus status;
    library->handle = qzdynlib_load(kQlmClientLibraryName, kLoadFlags, status);
  }
  return library;
}

// Visits every name, so the error names the first missing one; throws it.
void bindAll(ClientApiLibraryObject* library) {
  dynlib::ClientApiLibrary& table = library->table;
  table.clear();
  qzerr::ScopedStatus missing;
  for (size_t index = 0; index < dynlib::ClientApiLibrary::kFunctionCount; ++index) {
    char name[kSymbolNameSize];
    qzdynlib::formatDelayLoadName(name, sizeof name, "%s%s%s", "", dynlib::ClientApiLibrary::symbolName(index),
                                  "");
    qzerr_Status status = qzerr_freshStatus();
    table.bind(index, qzdynlib_getSymbol(library->handle, name, &status));
    qzerr_mergeStatus(missing, &status);
    qzerr_releaseJson(&status);
  }
}

QlmClientStack makeStack() {
  QlmClientStack stack;
  std::shared_ptr<ClientApiLibraryObject> library = openLibrary();
  bindAll(library.get());
  stack.library = library;
  stack.wrapper = std::make_shared<ClientApiDelayLoadWrapper>(&library->table);
  stack.helpers = std::make_shared<vesktools::pendulo::TimescaleHelpers>(stack.wrapper);
  return stack;
}

}  // namespace

QlmClientStack makeQlmClientApi() {
  try {
    return makeStack();
  } catch (const qzerr::Exception& error) {
    if (error.status().code != qzerr::kInvalidParameter.code) throw;
    return QlmClientStack();
  }
}

}  // namespace qzpendulo
