#include "core/TitleCharset.h"

#include <iconv.h>
#include <uchardet/uchardet.h>

#include <algorithm>
#include <string_view>

#include "core/TextDecoding.h"

namespace vandrel {

namespace {

// Bytes that are letters in a Central European code page and signs in
// Windows-1252: "Ma\xB3go\xB6ka" is "Małgośka" in ISO-8859-2, "Ma³go¶ka" in 1252.
constexpr std::string_view kLatin2Letters = "\xA1\xA3\xA5\xA6\xA9\xAA\xAB\xAC\xAE\xAF\xB1\xB3\xB6\xB9\xBA\xBB\xBC\xBE\xBF";
constexpr std::string_view kCp1250Letters = "\x8D\x8F\x9D\xA3\xA5\xAA\xAF\xB3\xB9\xBA\xBC\xBE\xBF";

// Such letters inside words: signs there mean the text is not Western.
int LettersAmongLetters(std::string_view history, std::string_view letters) {
  const auto letter = [&](unsigned char c) {
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7) ||
           letters.find(static_cast<char>(c)) != letters.npos;
  };
  int found = 0;
  for (std::size_t i = 1; i < history.size(); ++i) {
    if (letters.find(history[i]) != letters.npos && letter(static_cast<unsigned char>(history[i - 1]))) ++found;
  }
  return found;
}

// On a few short titles the detector tells scripts apart well and Latin code
// pages poorly: it often takes Western titles for ISO-8859-2 or a DOS or Mac
// page. Among those, the page whose letters stand where Windows-1252 would
// show signs; none, and the titles are Western.
std::string CentralEuropean(std::string_view history) {
  const int latin2 = LettersAmongLetters(history, kLatin2Letters);
  const int cp1250 = LettersAmongLetters(history, kCp1250Letters);
  // 0x80 to 0x9F are controls in ISO-8859-2 and letters or signs in 1250.
  const bool controls = std::any_of(history.begin(), history.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) < 0xA0;
  });
  if (!controls && latin2 > 0 && latin2 >= cp1250) return "ISO-8859-2";
  return cp1250 > 0 ? "WINDOWS-1250" : "";
}

// The code pages stations send, as iconv names them; any other answer of the
// detector is taken as unsure.
std::string Trusted(std::string_view name, std::string_view history) {
  if (name == "ISO-8859-9") return "WINDOWS-1254";  // a subset, as ISO-8859-1 is of 1252
  if (name == "ISO-8859-2" || name == "IBM852" || name == "MAC-CENTRALEUROPE") return CentralEuropean(history);
  for (const char* known : {"WINDOWS-1250", "WINDOWS-1251", "WINDOWS-1253", "WINDOWS-1254", "WINDOWS-1255",
                            "WINDOWS-1256", "KOI8-R", "KOI8-U", "ISO-8859-5", "ISO-8859-7", "ISO-8859-8", "ISO-8859-6",
                            "TIS-620", "SHIFT_JIS", "EUC-JP", "ISO-2022-JP", "GB18030", "BIG5", "EUC-KR", "EUC-TW",
                            "UHC", "ISO-2022-KR", "ISO-2022-CN"}) {
    if (name == known) return std::string(name);
  }
  return "";
}

// Empty when a byte does not belong to the code page.
std::string Converted(std::string_view bytes, const std::string& charset) {
  iconv_t cd = iconv_open("UTF-8", charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return "";
  std::string out(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* to = out.data();
  std::size_t outLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &to, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!ok) return "";
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

TitleCharset::TitleCharset() : detector_(uchardet_new()) {}

TitleCharset::~TitleCharset() { uchardet_delete(detector_); }

void TitleCharset::reset() {
  history_.clear();
  last_.clear();
  lastText_.clear();
}

std::string TitleCharset::decode(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return DecodeBodyText(bytes);
  // mpv reports the same title again with every other tag that changes.
  if (bytes == last_) return lastText_;
  last_ = bytes;
  history_.append(bytes).push_back('\n');
  if (history_.size() > kHistoryBytes) {
    // Whole titles only: a cut one would read as another code page.
    const std::size_t cut = history_.find('\n', history_.size() - kHistoryBytes);
    history_.erase(0, cut == std::string::npos ? history_.size() : cut + 1);
  }
  const std::string named = charset();
  lastText_ = named.empty() ? "" : Converted(bytes, named);
  if (lastText_.empty()) lastText_ = DecodeBodyText(bytes);
  return lastText_;
}

std::string TitleCharset::charset() {
  if (!detector_) return "";
  uchardet_reset(detector_);
  if (uchardet_handle_data(detector_, history_.data(), history_.size()) != 0) return "";
  uchardet_data_end(detector_);
  const char* name = uchardet_get_charset(detector_);
  return name ? Trusted(name, history_) : "";
}

}  // namespace vandrel
