#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vandrel {

// The entity typed instead of a character, when the Entities mask asks for
// it. The code is the character's Windows-1252 code; every character of the
// table has the same value as its Unicode code point.
std::optional<std::string_view> EntityReplacement(std::uint32_t code, std::int32_t entitiesMask);

}  // namespace vandrel
