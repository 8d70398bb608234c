#pragma once

#include <mpv/client.h>

#include <optional>
#include <string>

namespace vandrel {

// The libmpv functions the player calls.
#define VANDREL_MPV_FUNCTIONS(X)                                                                          \
  X(mpv_create) X(mpv_initialize) X(mpv_terminate_destroy) X(mpv_set_option_string) X(mpv_command)       \
  X(mpv_command_ret) X(mpv_get_property) X(mpv_set_property_async) X(mpv_observe_property)             \
  X(mpv_wait_event) X(mpv_set_wakeup_callback) X(mpv_free_node_contents) X(mpv_hook_add)                \
  X(mpv_hook_continue) X(mpv_request_log_messages) X(mpv_get_property_string) X(mpv_set_property_string) \
  X(mpv_free)

struct MpvLibrary {
#define VANDREL_MPV_POINTER(name) decltype(&::name) name = nullptr;
  VANDREL_MPV_FUNCTIONS(VANDREL_MPV_POINTER)
#undef VANDREL_MPV_POINTER

  // A string property, copied and freed; none when mpv has no value.
  std::optional<std::string> text(mpv_handle* mpv, const char* property) const {
    char* value = mpv_get_property_string(mpv, property);
    if (value == nullptr) return std::nullopt;
    std::string copy = value;
    mpv_free(value);
    return copy;
  }
};

// libmpv is opened when a play comes, never at start: linked, its two hundred
// libraries would be loaded and their symbols bound at every start, a radio
// waiting in the notification area included. Null, with `error` set, when the
// library or one of its functions is missing; opened once per process.
const MpvLibrary* OpenMpvLibrary(std::string& error);

}  // namespace vandrel
