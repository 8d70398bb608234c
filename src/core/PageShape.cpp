#include "core/PageShape.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/HtmlTags.h"

namespace vandrel {

namespace {

using namespace html;

class Scanner {
 public:
  explicit Scanner(std::string_view html) : s_(html) {}

  PageShape Run() {
    // html, head and body are always made.
    shape_.elements = 3;
    shape_.depth = 2;
    while (at_ < s_.size() && shape_.fits()) {
      const std::size_t lt = s_.find('<', at_);
      Text(s_.substr(at_, lt == std::string_view::npos ? std::string_view::npos : lt - at_));
      if (lt == std::string_view::npos) break;
      at_ = lt;
      Markup();
    }
    shape_.cost += styleBytes_ * shape_.elements / 512;
    return shape_;
  }

 private:
  struct Open {
    std::string name;
    char space = 0;  // 's' inside svg, 'm' inside math
    // Foreign elements are looked up apart: an svg title is no HTML title.
    std::string key() const { return space == 0 ? name : std::string{'\x01', space} + name; }
  };

  int Depth() const { return static_cast<int>(stack_.size()) + 2; }  // below html and body

  // One more element, inside the innermost open one.
  void Element() {
    ++shape_.elements;
    shape_.cost += 25 + Depth();
    shape_.depth = std::max(shape_.depth, Depth() + 1);
  }

  void Text(std::string_view text) {
    if (text.empty()) return;
    Reconstruct();
    std::int64_t items = 0;
    for (std::size_t i = 0; i < text.size(); ++i) items += i == 0 || IsSpace(text[i]) != IsSpace(text[i - 1]);
    shape_.cost += items * (6 + Depth() / 10);
  }

  void Push(const std::string& name, char space) {
    Element();
    const int pos = static_cast<int>(stack_.size());
    const bool foreign = space != 0;
    stack_.push_back({name, space});
    open_[stack_.back().key()].push_back(pos);
    for (int k = 0; k < kScopes; ++k) {
      if (foreign || Bounds(name, static_cast<Scope>(k))) bounds_[k].push_back(pos);
    }
  }

  // Closes the element at pos and all inside it; formatting elements closed
  // on the way are opened again before the next content.
  void PopTo(int pos) {
    const std::size_t reopened = offStack_.size();
    while (static_cast<int>(stack_.size()) > pos) {
      const int top = static_cast<int>(stack_.size()) - 1;
      const Open& e = stack_.back();
      if (top != pos && e.space == 0 && IsFormatting(e.name)) offStack_.push_back(e.name);
      open_[e.key()].pop_back();
      for (auto& b : bounds_) {
        if (!b.empty() && b.back() == top) b.pop_back();
      }
      stack_.pop_back();
    }
    std::reverse(offStack_.begin() + static_cast<std::ptrdiff_t>(reopened), offStack_.end());
    // More than the depth bound would be opened at once; no need to keep them.
    if (offStack_.size() > PageShape::kMaxDepth) shape_.depth = PageShape::kMaxDepth + 1;
  }

  void PopTop() { PopTo(static_cast<int>(stack_.size()) - 1); }

  void Reconstruct() {
    if (offStack_.empty()) return;
    const std::vector<std::string> names = std::move(offStack_);
    offStack_.clear();
    for (const std::string& name : names) Push(name, 0);
  }

  int Innermost(const std::string& name) const {
    const auto it = open_.find(name);
    return it == open_.end() || it->second.empty() ? -1 : it->second.back();
  }

  // The open select, unless a template is open inside it.
  int OpenSelect() const {
    const int select = Innermost("select");
    return select > Innermost("template") ? select : -1;
  }

  // Position of the innermost open element of that name within the scope, or -1.
  int InScope(const std::string& name, Scope scope) const {
    const auto it = open_.find(name);
    if (it == open_.end() || it->second.empty()) return -1;
    const int pos = it->second.back();
    return bounds_[scope].empty() || bounds_[scope].back() <= pos ? pos : -1;
  }

  bool CloseInScope(const std::string& name, Scope scope) {
    const int pos = InScope(name, scope);
    if (pos >= 0) PopTo(pos);
    return pos >= 0;
  }

  // A list item closes an open one of its kind unless something special
  // other than address, div or p is open inside it.
  void CloseItem(std::initializer_list<std::string_view> kinds) {
    for (int i = static_cast<int>(stack_.size()) - 1; i >= 0; --i) {
      const std::string& n = stack_[static_cast<std::size_t>(i)].name;
      if (In(n, kinds)) return PopTo(i);
      if (IsSpecial(n) && !In(n, {"address", "div", "p"})) return;
    }
  }

  bool TopIs(std::string_view name) const { return !stack_.empty() && stack_.back().name == name; }

  // Whether the next tag is svg or math content; their integration points
  // hold HTML.
  bool InForeign() const {
    if (stack_.empty() || stack_.back().space == 0) return false;
    const Open& top = stack_.back();
    if (top.space == 's') return !In(top.name, {"foreignobject", "desc", "title"});
    return !In(top.name, {"mi", "mo", "mn", "ms", "mtext"});
  }

  // Skips to just past the first occurrence of end, or to the end of the page.
  void SkipPast(std::string_view end) {
    const std::size_t found = s_.find(end, at_);
    at_ = found == std::string_view::npos ? s_.size() : found + end.size();
  }

  // Reads a tag name and its attributes; false when the page ends inside it.
  bool Tag(std::string& name, bool& selfClosing) {
    name.clear();
    selfClosing = false;
    while (at_ < s_.size() && !IsSpace(s_[at_]) && s_[at_] != '/' && s_[at_] != '>') name += Lower(s_[at_++]);
    while (at_ < s_.size()) {
      const char c = s_[at_];
      if (c == '>') {
        ++at_;
        return true;
      }
      if (IsSpace(c)) {
        ++at_;
        continue;
      }
      if (c == '/') {
        selfClosing = at_ + 1 < s_.size() && s_[at_ + 1] == '>';
        ++at_;
        continue;
      }
      // An attribute name, then perhaps a value; only a value may be quoted.
      ++at_;
      while (at_ < s_.size() && !IsSpace(s_[at_]) && s_[at_] != '/' && s_[at_] != '>' && s_[at_] != '=') ++at_;
      std::size_t p = at_;
      while (p < s_.size() && IsSpace(s_[p])) ++p;
      if (p >= s_.size() || s_[p] != '=') continue;
      at_ = p + 1;
      while (at_ < s_.size() && IsSpace(s_[at_])) ++at_;
      if (at_ < s_.size() && (s_[at_] == '"' || s_[at_] == '\'')) {
        const std::size_t close = s_.find(s_[at_], at_ + 1);
        if (close == std::string_view::npos) break;
        at_ = close + 1;
      } else {
        while (at_ < s_.size() && !IsSpace(s_[at_]) && s_[at_] != '>') ++at_;
      }
    }
    at_ = s_.size();  // the page ends inside the tag, which is dropped
    return false;
  }

  // Past the end tag of a raw-text element; the length of its content.
  std::size_t SkipRawText(const std::string& name) {
    const std::size_t start = at_;
    if (name == "plaintext") at_ = s_.size();  // text to the end
    for (std::size_t p = s_.find("</", at_); p != std::string_view::npos; p = s_.find("</", p + 2)) {
      std::size_t q = p + 2, i = 0;
      while (i < name.size() && q < s_.size() && Lower(s_[q]) == name[i]) ++q, ++i;
      if (i == name.size() && (q == s_.size() || IsSpace(s_[q]) || s_[q] == '/' || s_[q] == '>')) {
        at_ = q;
        std::string ignored;
        bool selfClosing = false;
        if (!Tag(ignored, selfClosing)) at_ = s_.size();
        return p - start;
      }
    }
    at_ = s_.size();
    return s_.size() - start;
  }

  void Markup() {
    const char next = at_ + 1 < s_.size() ? s_[at_ + 1] : '\0';
    if (next == '!') {
      if (s_.substr(at_, 4) == "<!--") {
        at_ += 4;
        if (s_.substr(at_, 1) == ">" || s_.substr(at_, 2) == "->") return SkipPast(">");
        return SkipPast("-->");
      }
      if (s_.substr(at_, 9) == "<![CDATA[" && InForeign()) return SkipPast("]]>");
      return SkipPast(">");  // doctype and bogus comments
    }
    if (next == '?') return SkipPast(">");
    if (next == '/') {
      at_ += 2;
      if (at_ < s_.size() && s_[at_] == '>') return void(++at_);
      if (at_ >= s_.size() || !IsAlpha(s_[at_])) return SkipPast(">");
      std::string name;
      bool selfClosing = false;
      if (Tag(name, selfClosing)) EndTag(name);
      return;
    }
    if (!IsAlpha(next)) {
      ++at_;
      return Text("<");
    }
    ++at_;
    std::string name;
    bool selfClosing = false;
    if (Tag(name, selfClosing)) StartTag(name, selfClosing);
  }

  void StartTag(const std::string& name, bool selfClosing) {
    if (!InForeign()) {
      // Inside a select most tags are dropped, raw-text ones too, so what
      // follows them is markup; a field or another select ends it.
      if (const int select = OpenSelect(); select >= 0) {
        const int table = Innermost("table");
        const bool tablePart = In(name, {"caption", "table", "tbody", "tfoot", "thead", "tr", "td", "th"});
        if (In(name, {"select", "input", "keygen", "textarea"}) || (tablePart && table >= 0 && table < select)) {
          PopTo(select);
          if (name == "select") return;
        } else if (!In(name, {"option", "optgroup", "script", "template"})) {
          return;
        }
      }
    }
    if (InForeign() && LeavesForeign(name)) {
      while (!stack_.empty() && stack_.back().space != 0) PopTop();
    }
    if (InForeign() || name == "svg" || name == "math") {
      if (selfClosing) return Element();
      const char space = name == "svg" ? 's' : name == "math" ? 'm' : stack_.back().space;
      return Push(name, space);
    }
    if (In(name, {"html", "head", "body"})) return;
    // Table parts outside a table are dropped.
    if (In(name, {"caption", "col", "colgroup", "tbody", "td", "tfoot", "th", "thead", "tr"}) &&
        InScope("table", kTable) < 0 && InScope("template", kTable) < 0) {
      return;
    }
    if (name == "isindex") {  // a form with rules, a label and a field
      shape_.elements += 4;
      shape_.depth = std::max(shape_.depth, Depth() + 3);
    }
    if (ClosesParagraph(name)) {
      CloseInScope("p", kButton);
    } else {
      Reconstruct();
    }
    if (IsVoid(name)) return Element();
    if (name == "li") CloseItem({"li"});
    if (name == "dd" || name == "dt") CloseItem({"dd", "dt"});
    if (IsHeading(name) && !stack_.empty() && IsHeading(stack_.back().name)) PopTop();
    if ((name == "option" || name == "optgroup") && TopIs("option")) PopTop();
    if (name == "optgroup" && TopIs("optgroup")) PopTop();
    if (name == "a") CloseFormatting(name);
    if (In(name, {"tbody", "thead", "tfoot"})) {
      for (const char* section : {"tbody", "thead", "tfoot"}) CloseInScope(section, kTable);
    }
    if (name == "tr" || name == "td" || name == "th") {
      if (name == "tr") {
        CloseInScope("tr", kTable);
      } else if (!CloseInScope("td", kTable)) {
        CloseInScope("th", kTable);
      }
      // The parser adds the rows and sections a table lacks.
      const bool inRow = name != "tr" && InScope("tr", kTable) >= 0;
      if (!inRow && InScope("table", kTable) >= 0 && InScope("tbody", kTable) < 0 && InScope("thead", kTable) < 0 &&
          InScope("tfoot", kTable) < 0) {
        Push("tbody", 0);
      }
      if (name != "tr" && !inRow && InScope("table", kTable) >= 0) Push("tr", 0);
    }
    Push(name, 0);
    if (IsRawText(name) && shape_.fits()) {
      const std::size_t length = SkipRawText(name);
      if (name == "style") styleBytes_ += static_cast<std::int64_t>(length);
      PopTop();
    }
  }

  void EndTag(const std::string& name) {
    for (int i = static_cast<int>(stack_.size()) - 1; i >= 0 && stack_[static_cast<std::size_t>(i)].space != 0; --i) {
      if (stack_[static_cast<std::size_t>(i)].name == name) return PopTo(i);
    }
    if (In(name, {"html", "head", "body"})) return;
    if (OpenSelect() >= 0 && !In(name, {"option", "optgroup", "select", "template"})) return;
    if (name == "br") return Element();
    if (name == "p") {
      if (!CloseInScope("p", kButton)) Element();  // an empty paragraph
      return;
    }
    if (name == "li") return void(CloseInScope(name, kListItem));
    if (In(name, {"td", "th", "tr", "tbody", "thead", "tfoot", "table"})) return void(CloseInScope(name, kTable));
    if (IsSpecial(name)) return void(CloseInScope(name, kDefault));
    if (IsFormatting(name)) return CloseFormatting(name);
    // Any other end tag closes the innermost element of its name, unless
    // something special is open inside that.
    if (InScope(name, kDefault) < 0) return;
    for (int i = static_cast<int>(stack_.size()) - 1; i >= 0; --i) {
      if (stack_[static_cast<std::size_t>(i)].name == name) return PopTo(i);
      if (IsSpecial(stack_[static_cast<std::size_t>(i)].name)) return;
    }
  }

  // A formatting element with something special open inside it is copied
  // into that instead of closed: the open depth stays.
  void CloseFormatting(const std::string& name) {
    const int pos = InScope(name, kDefault);
    if (pos < 0) {
      const auto reopened = std::find(offStack_.rbegin(), offStack_.rend(), name);
      if (reopened != offStack_.rend()) offStack_.erase(std::next(reopened).base());
      return;
    }
    for (int i = static_cast<int>(stack_.size()) - 1; i > pos; --i) {
      if (IsSpecial(stack_[static_cast<std::size_t>(i)].name)) return Element();
    }
    PopTo(pos);
  }

  std::string_view s_;
  std::size_t at_ = 0;
  PageShape shape_;
  std::vector<Open> stack_;
  std::unordered_map<std::string, std::vector<int>> open_;
  std::array<std::vector<int>, kScopes> bounds_;
  std::vector<std::string> offStack_;
  std::int64_t styleBytes_ = 0;
};

}  // namespace

PageShape MeasurePage(std::string_view html) { return Scanner(html).Run(); }

}  // namespace vandrel
