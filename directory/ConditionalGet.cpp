#include "directory/ConditionalGet.h"

#include <algorithm>
#include <cstring>

#include "directory/HeaderValue.h"

namespace vandrel::directory {

namespace {

std::string_view Opaque(std::string_view tag) {
  if (tag.starts_with("W/")) tag.remove_prefix(2);
  return tag;
}

}  // namespace

std::string ConditionalGet::HttpDate(std::time_t t) {
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  char buf[40];
  std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return buf;
}

std::optional<std::time_t> ConditionalGet::ParseHttpDate(std::string_view text) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  text = TrimHeaderValue(text);
  // "Sun, 06 Nov 1994 08:49:37 GMT" has fixed positions.
  if (text.size() != 29 || text[3] != ',' || text.substr(26) != "GMT") return std::nullopt;
  const auto number = [&](std::size_t at, std::size_t len, int& out) {
    out = 0;
    for (std::size_t i = at; i < at + len; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      out = out * 10 + (text[i] - '0');
    }
    return true;
  };
  std::tm tm{};
  int year = 0;
  if (!number(5, 2, tm.tm_mday) || !number(12, 4, year) || !number(17, 2, tm.tm_hour) ||
      !number(20, 2, tm.tm_min) || !number(23, 2, tm.tm_sec) || text[16] != ' ' || text[19] != ':' ||
      text[22] != ':') {
    return std::nullopt;
  }
  const auto month = std::find_if(std::begin(kMonths), std::end(kMonths),
                                  [&](const char* m) { return text.substr(8, 3) == m; });
  if (month == std::end(kMonths) || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 ||
      tm.tm_sec > 60) {
    return std::nullopt;
  }
  tm.tm_mon = static_cast<int>(month - std::begin(kMonths));
  tm.tm_year = year - 1900;
  return ::timegm(&tm);
}

bool ConditionalGet::NotModified(std::string_view ifNoneMatch, std::string_view ifModifiedSince,
                                 const std::vector<std::string>& etags, std::time_t lastModified) {
  if (!TrimHeaderValue(ifNoneMatch).empty()) {
    for (std::size_t start = 0; start <= ifNoneMatch.size();) {
      auto comma = ifNoneMatch.find(',', start);
      if (comma == std::string_view::npos) comma = ifNoneMatch.size();
      const std::string_view tag = TrimHeaderValue(ifNoneMatch.substr(start, comma - start));
      if (tag == "*") return true;
      for (const std::string& etag : etags) {
        if (Opaque(tag) == Opaque(etag)) return true;
      }
      start = comma + 1;
    }
    return false;
  }
  const auto since = ParseHttpDate(ifModifiedSince);
  return since && lastModified <= *since;
}

}  // namespace vandrel::directory
