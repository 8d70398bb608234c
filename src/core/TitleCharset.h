#pragma once

#include <string>
#include <string_view>

struct uchardet;

namespace vandrel {

// The stream titles of one station as UTF-8. Titles that are not UTF-8 are
// in whatever code page the station's source sends; one title is too short
// to tell which, so the station's titles so far are weighed together.
// Windows-1252 when the detector names nothing this can trust.
class TitleCharset {
 public:
  TitleCharset();
  ~TitleCharset();
  TitleCharset(const TitleCharset&) = delete;
  TitleCharset& operator=(const TitleCharset&) = delete;

  std::string decode(std::string_view bytes);
  // Another station: its titles say nothing about this one's.
  void reset();

  // The titles weighed; older ones go first.
  static constexpr std::size_t kHistoryBytes = 4096;

 private:
  std::string charset();

  uchardet* detector_;
  std::string history_;  // non-UTF-8 titles, one a line
  std::string last_;     // the last title added, not added twice in a row
  std::string lastText_;
};

}  // namespace vandrel
