#pragma once

#include <string>
#include <string_view>

namespace vandrel {

// A downloaded body as UTF-8: kept when it is valid UTF-8 (a leading byte
// order mark dropped), otherwise read as Latin-1, which old lists use.
std::string DecodeBodyText(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

}  // namespace vandrel
