#pragma once

#include <string>
#include <string_view>

#include "core/PercentEncoding.h"

namespace vandrel {

// The directory's search address for a word.
std::string SearchAddress(const std::string& baseAddress, std::string_view word);

}  // namespace vandrel
