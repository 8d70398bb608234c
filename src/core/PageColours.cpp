#include "core/PageColours.h"

#include "core/HtmlTags.h"

#include <algorithm>
#include <string>

namespace vandrel {

namespace {

bool NamesColours(std::string_view markup) {
  return markup.find("color") != std::string_view::npos || markup.find("background") != std::string_view::npos;
}

}  // namespace

bool PageSetsColours(std::string_view html) {
  std::string page(html);
  std::ranges::transform(page, page.begin(), html::Lower);
  const std::string_view text(page);
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    const std::size_t end = std::min(text.find('>', at), text.size());
    if (NamesColours(text.substr(at, end - at))) return true;
    if (text.substr(at).starts_with("<style")) {
      // A style sheet's rules are not tags; its end is.
      const std::size_t close = text.find("</style", end);
      if (NamesColours(text.substr(end, close == std::string_view::npos ? std::string_view::npos : close - end))) return true;
      if (close == std::string_view::npos) return false;
      at = close;
    }
  }
  return false;
}

}  // namespace vandrel
