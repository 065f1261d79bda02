#include "qz/qbx/osdep/sharedLibrary.h"

#include <dlfcn.h>

#include "qz/qbx/osdep/osException.h"
#include "qz/qbx/pathHelpers.h"

namespace qz::qbx::osdep {
namespace {

constexpr wchar_t kExtensionMark = L'.';
constexpr wchar_t kPrefix[] = L"lib";
constexpr wchar_t kSuffix[] = L".so";

// Sites keep their report names whatever the build calls this file.
constexpr char kSiteFile[] = "qz/qbx/osdep/SharedLibrary";
constexpr int32_t kNotLoadedLine = 303;
constexpr int32_t kSymbolMissingLine = 309;

bool holdsExtension(const WideString& fileName) {
  for (const wchar_t* c = fileName.begin(); c != fileName.end(); ++c) {
    if (*c == kExtensionMark) return true;
  }
  return false;
}

[[noreturn]] void raiseLoaderError(int32_t line) {
  const char* text = dlerror();
  throw PosixError(NarrowString(text == nullptr ? "" : text), 0, kSiteFile, line);
}

}  // namespace

WideString normalizeLibraryName(const WideString& name) {
  if (name.empty()) return name;
  const WideString fileName = getFileName(name);
  if (fileName.empty() || holdsExtension(fileName)) return name;
  const WideString directory = getParentPath(name);
  const WideString libraryFile(WideString(kPrefix, fileName), kSuffix);
  if (directory.empty()) return libraryFile;
  return joinPath(directory, libraryFile);
}

SharedLibrary::SharedLibrary(const WideString& name, bool unloadOnDestroy)
    : name_(normalizeLibraryName(name)), unloadOnDestroy_(unloadOnDestroy) {
  load();
}

SharedLibrary::~SharedLibrary() {
  if (unloadOnDestroy_ && handle_ != nullptr) dlclose(handle_);
}

void SharedLibrary::unload() {
  if (handle_ == nullptr) return;
  dlclose(handle_);
  handle_ = nullptr;
}

void SharedLibrary::load() {
  if (name_.empty()) return;
  // Keeps the loader's reference count balanced should load() be called again.
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = dlopen(toNarrow(name_).c_str(), RTLD_NOW | RTLD_GLOBAL);
}

void* SharedLibrary::getSymbol(const WideString& symbol, bool optional) {
  return getSymbol(toNarrow(symbol), optional);
}

void* SharedLibrary::getSymbol(const NarrowString& symbol, bool optional) {
  if (handle_ == nullptr) {
    if (optional) return nullptr;
    raiseLoaderError(kNotLoadedLine);
  }
  void* address = dlsym(handle_, symbol.c_str());
  if (address == nullptr && !optional) raiseLoaderError(kSymbolMissingLine);
  return address;
}

}  // namespace qz::qbx::osdep
