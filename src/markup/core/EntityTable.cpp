#include "markup/core/EntityTable.h"

#include <array>

namespace vandrel {

namespace {

struct EntityRow {
  std::uint32_t code;
  std::int32_t bit;
  std::string_view entity;
};

constexpr std::array<EntityRow, 9> kRows{{
    {34, 1, "&quot;"},
    {167, 2, "&sect;"},
    {196, 4, "&Auml;"},
    {214, 8, "&Ouml;"},
    {220, 16, "&Uuml;"},
    {223, 32, "&szlig;"},
    {228, 4, "&auml;"},
    {246, 8, "&ouml;"},
    {252, 16, "&uuml;"},
}};

}  // namespace

std::optional<std::string_view> EntityReplacement(std::uint32_t code, std::int32_t entitiesMask) {
  if (entitiesMask == 0) return std::nullopt;
  for (const auto& row : kRows) {
    if (row.code != code) continue;
    if ((entitiesMask & row.bit) == 0) return std::nullopt;
    return row.entity;
  }
  return std::nullopt;
}

}  // namespace vandrel
