#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::directory {

// The small website the player links to, generated as UTF-8 HTML.
class WebsitePages {
 public:
  enum class Page { Home, About };

  // The page for a "wat" value ("home", "about"), or nothing.
  static std::optional<Page> Named(std::string_view wat);

  // language is the player's language name ("english", "nederlands", ...);
  // anything unknown gets English. countries are shown on the home page.
  static std::string Render(Page page, std::string_view language, const std::vector<std::string>& countries);

  static std::string EscapeHtml(std::string_view text);
};

}  // namespace vandrel::directory
