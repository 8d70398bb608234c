#pragma once

#include <optional>
#include <string_view>

#include "core/PageShape.h"

namespace vandrel {

// Depth and element count of the tree litehtml's HTML parser (gumbo) really
// builds, parsed with a budget of memory and time. The estimate of
// MeasurePage keeps the parse short; this sees what no estimate can, such as
// formatting elements reopened again and again, which make gumbo build
// millions of nodes (gigabytes) from a 50 KB page. Empty when the parse
// passes its budget. The cost is left at 0.
std::optional<PageShape> ParsedPageShape(std::string_view html);

}  // namespace vandrel
