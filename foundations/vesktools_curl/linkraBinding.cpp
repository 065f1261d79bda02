#include "vesktools_curl/linkraBinding.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <exception>
#include <memory>

#include "qz/qbx/osdep/sharedLibrary.h"
#include "qz/qbx/processMutex.h"

namespace {

using qz::qbx::NarrowString;
using qz::qbx::osdep::SharedLibrary;

constexpr wchar_t kSslInitLibraryName[] = L"libqzsslinit.so.13";
constexpr wchar_t kLinkraLibraryName[] = L"liblinkra.so.13";

// The HTTP library's functions in binding order; all must be present,
// although only a few are called.
constexpr const char* kLinkraSymbols[] = {
    "curl_easy_pause",        "curl_easy_strerror",       "curl_easy_escape",
    "curl_easy_unescape",     "qzcurl_formadd",           "curl_formfree",
    "curl_free",              "curl_getdate",             "curl_global_init_mem",
    "curl_slist_append",      "curl_slist_free_all",      "curl_version",
    "curl_version_info",      "curl_easy_init",           "qzcurl_easy_setopt",
    "curl_easy_perform",      "curl_easy_cleanup",        "qzcurl_easy_getinfo",
    "curl_easy_duphandle",    "curl_easy_reset",          "curl_easy_recv",
    "curl_easy_send",         "curl_global_init",         "curl_global_cleanup",
    "curl_multi_init",        "curl_multi_add_handle",    "curl_multi_remove_handle",
    "curl_multi_fdset",       "curl_multi_wait",          "curl_multi_perform",
    "curl_multi_cleanup",     "curl_multi_info_read",     "curl_multi_strerror",
    "curl_multi_socket",      "curl_multi_socket_action", "curl_multi_socket_all",
    "curl_multi_timeout",     "qzcurl_multi_setopt",      "curl_multi_assign",
    "curl_share_init",        "qzcurl_share_setopt",      "curl_share_cleanup",
    "curl_share_strerror",    "curl_url",                 "curl_url_cleanup",
    "curl_url_dup",           "curl_url_get",             "curl_url_set",
};
constexpr size_t kSlotCount = sizeof kLinkraSymbols / sizeof kLinkraSymbols[0];
static_assert(kSlotCount == 48, "the HTTP library binds 48 functions");

enum Slot : size_t {
  kSlistAppend = 9,
  kSlistFreeAll = 10,
  kEasyInit = 13,
  kEasySetopt = 14,
  kEasyPerform = 15,
  kEasyCleanup = 16,
  kEasyGetinfo = 17,
};

using SslInitFunction = intptr_t (*)();
using SslUninitFunction = int (*)(intptr_t);

using EasyInitFunction = CURL* (*)();
using EasySetoptFunction = CURLcode (*)(CURL*, CURLoption, va_list);
using EasyPerformFunction = CURLcode (*)(CURL*);
using EasyCleanupFunction = void (*)(CURL*);
using EasyGetinfoFunction = CURLcode (*)(CURL*, CURLINFO, va_list);
using SlistAppendFunction = curl_slist* (*)(curl_slist*, const char*);
using SlistFreeAllFunction = void (*)(curl_slist*);

// Published only once every slot is filled, so a forwarder on another thread
// sees either no table or a complete one; never freed once published.
std::atomic<void**> linkraFunctionTable{nullptr};

// Loading state; touched only under the process-wide mutex.
SharedLibrary* linkraLibrary = nullptr;
SharedLibrary* sslInitLibrary = nullptr;
SslInitFunction sslInit = nullptr;
SslUninitFunction sslUninit = nullptr;
intptr_t sslHandle = 0;

constexpr CURLcode kFailedInit = CURLE_FAILED_INIT;

class ProcessMutexLock {
 public:
  ProcessMutexLock() { qz::qbx::lockMutex(qz::qbx::processMutex()); }
  ~ProcessMutexLock() { qz::qbx::unlockMutex(qz::qbx::processMutex()); }
  ProcessMutexLock(const ProcessMutexLock&) = delete;
  ProcessMutexLock& operator=(const ProcessMutexLock&) = delete;
};

SharedLibrary* loadSharedLibraryByName(const wchar_t* name) {
  auto library = std::make_unique<SharedLibrary>(name, true);
  if (!library->isLoaded()) return nullptr;
  return library.release();
}

void unloadLinkra() {
  delete linkraLibrary;
  linkraLibrary = nullptr;
  delete[] linkraFunctionTable.exchange(nullptr);
  if (sslHandle != 0) {
    sslUninit(sslHandle);
    sslHandle = 0;
  }
  delete sslInitLibrary;
  sslInitLibrary = nullptr;
  sslInit = nullptr;
  sslUninit = nullptr;
}

// 0 once Init handed out a handle.
int loadSslInit() {
  sslInitLibrary = loadSharedLibraryByName(kSslInitLibraryName);
  if (sslInitLibrary == nullptr) return 1;
  sslInit = reinterpret_cast<SslInitFunction>(sslInitLibrary->getSymbol(NarrowString("QZSSLINIT_Init"), true));
  sslUninit = reinterpret_cast<SslUninitFunction>(sslInitLibrary->getSymbol(NarrowString("QZSSLINIT_Uninit"), true));
  if (sslInit == nullptr || sslUninit == nullptr) return 1;
  sslHandle = sslInit();
  return sslHandle == 0 ? 1 : 0;
}

// A missing symbol raises OSException, which the caller turns into a failure.
int linkraBindSymbols(SharedLibrary* library) {
  std::unique_ptr<void*[]> table(new void*[kSlotCount]());
  for (size_t slot = 0; slot < kSlotCount; ++slot) {
    table[slot] = library->getSymbol(NarrowString(kLinkraSymbols[slot]), false);
  }
  linkraFunctionTable.store(table.release(), std::memory_order_release);
  return 0;
}

int loadLinkra() {
  linkraLibrary = loadSharedLibraryByName(kLinkraLibraryName);
  if (linkraLibrary == nullptr) return 1;
  return linkraBindSymbols(linkraLibrary);
}

int loadBoth() {
  try {
    if (loadSslInit() != 0 || loadLinkra() != 0) {
      unloadLinkra();
      return 1;
    }
    return 0;
  } catch (const std::exception&) {
    unloadLinkra();
    return 1;
  }
}

template <typename Function>
Function slot(Slot index) {
  void** table = linkraFunctionTable.load(std::memory_order_acquire);
  return table == nullptr ? nullptr : reinterpret_cast<Function>(table[index]);
}

}  // namespace

int ensureLinkraLoaded() {
  ProcessMutexLock lock;
  if (linkraFunctionTable.load(std::memory_order_acquire) != nullptr) return 0;
  return loadBoth();
}

CURL* linkra_curl_easy_init() {
  if (ensureLinkraLoaded() != 0) return nullptr;
  return slot<EasyInitFunction>(kEasyInit)();
}

CURLcode linkra_qzcurl_easy_setopt(CURL* handle, CURLoption option, ...) {
  const auto setopt = slot<EasySetoptFunction>(kEasySetopt);
  if (setopt == nullptr) return kFailedInit;
  va_list value;
  va_start(value, option);
  const CURLcode result = setopt(handle, option, value);
  va_end(value);
  return result;
}

CURLcode linkra_curl_easy_perform(CURL* handle) {
  const auto perform = slot<EasyPerformFunction>(kEasyPerform);
  return perform == nullptr ? kFailedInit : perform(handle);
}

void linkra_curl_easy_cleanup(CURL* handle) {
  const auto cleanup = slot<EasyCleanupFunction>(kEasyCleanup);
  if (cleanup != nullptr) cleanup(handle);
}

CURLcode linkra_qzcurl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
  const auto getinfo = slot<EasyGetinfoFunction>(kEasyGetinfo);
  if (getinfo == nullptr) return kFailedInit;
  va_list target;
  va_start(target, info);
  const CURLcode result = getinfo(handle, info, target);
  va_end(target);
  return result;
}

curl_slist* linkra_curl_slist_append(curl_slist* list, const char* text) {
  const auto append = slot<SlistAppendFunction>(kSlistAppend);
  return append == nullptr ? nullptr : append(list, text);
}

void linkra_curl_slist_free_all(curl_slist* list) {
  const auto freeAll = slot<SlistFreeAllFunction>(kSlistFreeAll);
  if (freeAll != nullptr) freeAll(list);
}
