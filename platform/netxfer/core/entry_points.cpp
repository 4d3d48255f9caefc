// The seven exports of a core: HTTP_* in the HTTP core, HTTPS_* in the HTTPS
// core (VLTG_NX_HTTPS). Handles are numbers into a table, so a stale or
// made-up handle is refused instead of followed.
#include <curl/curl.h>

#include <map>
#include <memory>
#include <mutex>

#include "platform/netxfer/core/core_object.h"

#if VLTG_NX_HTTPS
#define VLTG_NX_EXPORT(name) HTTPS_##name
#else
#define VLTG_NX_EXPORT(name) HTTP_##name
#endif
#define VLTG_NX_API extern "C" __attribute__((visibility("default")))

namespace vltg::platform::netxfer_core {

const CoreTraits& ThisCore() {
#if VLTG_NX_HTTPS
  static const CoreTraits traits{kHttpsProperties, kHttpsEvents, "http,https", true};
#else
  static const CoreTraits traits{kHttpProperties, kHttpEvents, "http", false};
#endif
  return traits;
}

namespace {

// libcurl's global state lives as long as the core is loaded.
struct CurlGlobal {
  CurlGlobal() : ready(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}
  ~CurlGlobal() {
    if (ready) curl_global_cleanup();
  }
  bool ready;
} curlGlobal;

std::mutex tableLock;
std::map<NxInt, std::shared_ptr<CoreObject>> objects;
NxInt lastHandle = 0;

std::shared_ptr<CoreObject> Find(NxInt handle) {
  std::lock_guard<std::mutex> lock(tableLock);
  auto found = objects.find(handle);
  return found == objects.end() ? nullptr : found->second;
}

}  // namespace
}  // namespace vltg::platform::netxfer_core

using namespace vltg::platform;
using netxfer_core::CoreObject;
using netxfer_core::Find;

VLTG_NX_API NxInt VLTG_NX_EXPORT(Create)(NxEventCallback callback, NxInt user, NxInt /*reserved*/) noexcept {
  try {
    if (!netxfer_core::curlGlobal.ready) return 0;
    auto object = std::make_shared<CoreObject>(callback, user);
    if (!object->Valid()) return 0;
    std::lock_guard<std::mutex> lock(netxfer_core::tableLock);
    NxInt handle = ++netxfer_core::lastHandle;
    netxfer_core::objects.emplace(handle, std::move(object));
    return handle;
  } catch (...) {
    return 0;
  }
}

VLTG_NX_API NxInt VLTG_NX_EXPORT(Destroy)(NxInt handle) noexcept {
  std::shared_ptr<CoreObject> object;  // released outside the lock
  std::lock_guard<std::mutex> lock(netxfer_core::tableLock);
  auto found = netxfer_core::objects.find(handle);
  if (found == netxfer_core::objects.end()) return kNxErrorInvalidHandle;
  object = std::move(found->second);
  netxfer_core::objects.erase(found);
  return 0;
}

VLTG_NX_API NxInt VLTG_NX_EXPORT(Set)(NxInt handle, NxInt property, NxInt element, NxInt value,
                                      NxInt length) noexcept {
  try {
    auto object = Find(handle);
    return object ? object->Set(property, element, value, length) : kNxErrorInvalidHandle;
  } catch (...) {
    return kNxErrorBadValue;
  }
}

VLTG_NX_API NxInt VLTG_NX_EXPORT(Get)(NxInt handle, NxInt property, NxInt element, NxInt* length) noexcept {
  try {
    auto object = Find(handle);
    return object ? object->Get(property, element, length) : 0;
  } catch (...) {
    return 0;
  }
}

VLTG_NX_API const char* VLTG_NX_EXPORT(GetLastError)(NxInt handle) noexcept {
  try {
    auto object = Find(handle);
    return object ? object->LastError() : "Invalid handle";
  } catch (...) {
    return "";
  }
}

VLTG_NX_API NxInt VLTG_NX_EXPORT(CheckIndex)(NxInt handle, NxInt property, NxInt element) noexcept {
  try {
    auto object = Find(handle);
    return object ? object->CheckIndex(property, element) : kNxErrorInvalidHandle;
  } catch (...) {
    return kNxErrorBadIndex;
  }
}

VLTG_NX_API NxInt VLTG_NX_EXPORT(Do)(NxInt handle, NxInt method, NxInt argc, NxInt* argv, NxInt* lengths) noexcept {
  try {
    auto object = Find(handle);
    return object ? object->Do(method, argc, argv, lengths) : kNxErrorInvalidHandle;
  } catch (...) {
    return kNxErrorBadValue;
  }
}
