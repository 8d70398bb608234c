#pragma once

#include <string_view>

namespace vandrel {

// Web radio only: http or https (any letter case) with a host. libmpv opens
// far more than that (local files, devices, ffmpeg filter graphs that write
// files), and station addresses come from the network.
bool IsWebRadioAddress(std::string_view address);

}  // namespace vandrel
