// For the binding's tests: whether a library is loaded in this process, and
// the controllable SSL initialisation stand-in, kept loaded by the test itself
// so that its switch and its call counts outlive the binding's unloading.
#pragma once

#include <dlfcn.h>

#include <string>

namespace vesktools::testing {

inline bool isLoaded(const char* name) {
  void* handle = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

class ControlledSslInit {
 public:
  // Found through the test program's own run path, like the binding finds it.
  ControlledSslInit() : handle_(dlopen("libqzsslinit.so.13", RTLD_NOW | RTLD_GLOBAL)) {}
  ~ControlledSslInit() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  ControlledSslInit(const ControlledSslInit&) = delete;
  ControlledSslInit& operator=(const ControlledSslInit&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  void setInitFails(bool fails) { call<void (*)(int)>("qzsslinitControl_setInitFails")(fails ? 1 : 0); }
  int initCalls() { return call<int (*)()>("qzsslinitControl_initCalls")(); }
  int uninitCalls() { return call<int (*)()>("qzsslinitControl_uninitCalls")(); }

 private:
  template <typename Function>
  Function call(const char* name) {
    return reinterpret_cast<Function>(dlsym(handle_, name));
  }

  void* handle_;
};

}  // namespace vesktools::testing
