// A shared library opened by name for the life of an object. Names without an
// extension are completed the usual way (curl -> libcurl.so). Opening never
// raises: isLoaded() tells the outcome. Looking a symbol up raises PosixError
// with the loader's message unless the caller asks for an optional symbol.
#pragma once

#include "qz/qbx/narrowString.h"
#include "qz/qbx/wideString.h"

namespace qz::qbx::osdep {

// An empty name, a name ending in '/' and a name whose last component holds
// a '.' stay unchanged; otherwise the last component becomes "lib" + it + ".so".
WideString normalizeLibraryName(const WideString& name);

class SharedLibrary {
 public:
  // Stores the normalised name and opens the library at once.
  SharedLibrary(const WideString& name, bool unloadOnDestroy);
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  // Closes the library when unloadOnDestroy was given.
  virtual ~SharedLibrary();

  virtual void unload();
  // Opens the name with immediate binding and global symbols; an empty name
  // opens nothing. A library already open is closed first.
  virtual void load();

  bool isLoaded() const { return handle_ != nullptr; }
  const WideString& name() const { return name_; }

  // The symbol's address. A missing symbol (or no open library) gives null
  // when `optional`, else raises PosixError (code() 0, what() the loader's text).
  void* getSymbol(const WideString& symbol, bool optional);
  void* getSymbol(const NarrowString& symbol, bool optional);

 private:
  WideString name_;
  void* handle_ = nullptr;
  bool unloadOnDestroy_;
};

}  // namespace qz::qbx::osdep
