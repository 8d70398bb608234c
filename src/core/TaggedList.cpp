#include "core/TaggedList.h"

#include <cstring>

namespace vandrel {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// pattern is already upper-case, so only the text needs folding.
bool MatchesAt(std::string_view text, std::size_t pos, const std::string& pattern) {
  if (pattern.size() > text.size() - pos) return false;
  const char* p = text.data() + pos;
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    if (UpperAscii(p[k]) != pattern[k]) return false;
  }
  return true;
}

// Every tag starts with '<', so only those positions need looking at.
template <typename Visit>
void ForEachAngle(std::string_view text, Visit visit) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  for (const char* p = begin; p < end;) {
    const void* hit = std::memchr(p, '<', static_cast<std::size_t>(end - p));
    if (hit == nullptr) break;
    const char* at = static_cast<const char*>(hit);
    visit(static_cast<std::size_t>(at - begin));
    p = at + 1;
  }
}

struct TagPatterns {
  std::string opening;  // "<T>"
  std::string closing;  // "</T>"
  std::vector<std::size_t> closings;  // where closing occurs, ascending
  std::size_t next = 0;               // first closing not before the scan position
};

}  // namespace

TaggedListValues ParseTaggedListUpTo(std::string_view text, const std::vector<std::string>& tags,
                                     std::size_t maxValueBytes) {
  TaggedListValues result;
  auto& values = result.lists;
  values.resize(tags.size());
  if (text.empty() || tags.empty()) return result;

  std::vector<TagPatterns> patterns(tags.size());
  for (std::size_t t = 0; t < tags.size(); ++t) {
    std::string upper;
    upper.reserve(tags[t].size());
    for (char c : tags[t]) upper += UpperAscii(c);
    patterns[t].opening = "<" + upper + ">";
    patterns[t].closing = "</" + upper + ">";
  }

  // Closing positions found once make each opening's search a pointer step
  // instead of a rescan, which keeps unclosed openings linear.
  ForEachAngle(text, [&](std::size_t pos) {
    if (pos + 1 >= text.size() || text[pos + 1] != '/') return;
    for (TagPatterns& p : patterns) {
      if (MatchesAt(text, pos, p.closing)) p.closings.push_back(pos);
    }
  });

  std::size_t total = 0;
  ForEachAngle(text, [&](std::size_t i) {
    if (!result.complete) return;
    for (std::size_t t = 0; t < patterns.size(); ++t) {
      TagPatterns& p = patterns[t];
      if (!MatchesAt(text, i, p.opening)) continue;
      while (p.next < p.closings.size() && p.closings[p.next] < i) ++p.next;
      if (p.next == p.closings.size()) continue;  // unclosed: the next tag may still match here
      const std::size_t start = i + p.opening.size();
      const std::size_t close = p.closings[p.next];
      // A closing tag overlapping its own opening one leaves nothing between.
      const std::size_t size = close > start ? close - start : 0;
      if (size > maxValueBytes - total) {
        result.complete = false;
        return;
      }
      total += size;
      values[t].emplace_back(text.substr(start, size));
      break;
    }
  });
  return result;
}

std::vector<std::vector<std::string>> ParseTaggedList(std::string_view text, const std::vector<std::string>& tags) {
  TaggedListValues values = ParseTaggedListUpTo(text, tags);
  if (!values.complete) throw TaggedListTooLarge();
  return std::move(values.lists);
}

}  // namespace vandrel
