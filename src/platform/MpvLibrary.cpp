#include "platform/MpvLibrary.h"

#include <dlfcn.h>

#include <mutex>

#include "platform/MpvRecordLeak.h"

namespace vandrel {

namespace {

struct Opened {
  MpvLibrary library;
  std::string error;
  bool ok = false;
};

Opened Open() {
  Opened opened;
  // RTLD_LOCAL: its symbols stay out of the lookups of later loads.
  void* handle = dlopen(VANDREL_LIBMPV_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    opened.error = why ? why : "cannot open " VANDREL_LIBMPV_SONAME;
    return opened;
  }
#define VANDREL_MPV_RESOLVE(name)                                                 \
  opened.library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name)); \
  if (!opened.library.name) {                                                      \
    opened.error = VANDREL_LIBMPV_SONAME " lacks " #name;                          \
    return opened;                                                                 \
  }
  VANDREL_MPV_FUNCTIONS(VANDREL_MPV_RESOLVE)
#undef VANDREL_MPV_RESOLVE
  if (auto version = reinterpret_cast<decltype(&mpv_client_api_version)>(dlsym(handle, "mpv_client_api_version"))) {
    MendRecordLeak(handle, version());
  }
  // Never closed: mpv's threads may outlive a player object.
  opened.ok = true;
  return opened;
}

}  // namespace

const MpvLibrary* OpenMpvLibrary(std::string& error) {
  static std::once_flag once;
  static Opened opened;
  std::call_once(once, [] { opened = Open(); });
  error = opened.error;
  return opened.ok ? &opened.library : nullptr;
}

}  // namespace vandrel
