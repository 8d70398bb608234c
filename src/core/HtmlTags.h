#pragma once

#include <algorithm>
#include <initializer_list>
#include <string_view>

// What the HTML parser's rules say of a tag name (lower case), for the page
// estimate that runs before litehtml sees a page.
namespace vandrel::html {

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
inline bool IsAlpha(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c; }

inline bool In(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

inline bool IsHeading(std::string_view n) { return n.size() == 2 && n[0] == 'h' && n[1] >= '1' && n[1] <= '6'; }

inline bool IsVoid(std::string_view n) {
  return In(n, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "image", "img", "input",
                "isindex", "keygen", "link", "meta", "param", "source", "track", "wbr"});
}

inline bool IsRawText(std::string_view n) {
  return In(n, {"script", "style", "title", "textarea", "xmp", "iframe", "noembed", "noframes", "plaintext"});
}

inline bool IsFormatting(std::string_view n) {
  return In(n, {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u"});
}

inline bool ClosesParagraph(std::string_view n) {
  return IsHeading(n) ||
         In(n, {"address", "article", "aside", "blockquote", "center", "details", "dialog", "dir", "div", "dl", "dd",
                "dt", "fieldset", "figcaption", "figure", "footer", "form", "header", "hgroup", "hr", "li", "listing",
                "main", "menu", "nav", "ol", "p", "pre", "section", "summary", "table", "ul"});
}

// End tags of these close by scope; an unknown end tag stops at them.
inline bool IsSpecial(std::string_view n) {
  return ClosesParagraph(n) || IsVoid(n) || IsRawText(n) ||
         In(n, {"applet", "body", "button", "caption", "colgroup", "head", "html", "marquee", "noscript", "object",
                "select", "tbody", "td", "template", "tfoot", "th", "thead", "tr"});
}

// Tags that end svg or math content and go on as HTML.
inline bool LeavesForeign(std::string_view n) {
  return IsHeading(n) ||
         In(n, {"b", "big", "blockquote", "body", "br", "center", "code", "dd", "div", "dl", "dt", "em", "embed", "hr",
                "i", "img", "li", "listing", "menu", "meta", "nobr", "ol", "p", "pre", "ruby", "s", "small", "span",
                "strong", "strike", "sub", "sup", "table", "tt", "u", "ul", "var"});
}

enum Scope { kDefault, kButton, kListItem, kTable, kScopes };

inline bool Bounds(std::string_view n, Scope scope) {
  if (scope == kTable) return In(n, {"html", "table", "template"});
  const bool base = In(n, {"applet", "caption", "html", "table", "td", "th", "marquee", "object", "template"});
  if (scope == kButton) return base || n == "button";
  if (scope == kListItem) return base || n == "ol" || n == "ul";
  return base;
}

}  // namespace vandrel::html
