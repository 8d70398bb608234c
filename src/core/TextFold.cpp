#include "core/TextFold.h"

#include <cstdint>

#include "core/TextDecoding.h"

namespace vandrel::directory {

namespace {

// U+00C0 to U+017F by base letter; '@' ae, '$' th, '%' ss, '*' ij, '#' oe.
constexpr std::string_view kLatin =
    "aaaaaa@ceeeeiiii"
    "dnooooo ouuuuy$%"
    "aaaaaa@ceeeeiiii"
    "dnooooo ouuuuy$y"
    "aaaaaaccccccccdd"
    "ddeeeeeeeeeegggg"
    "gggghhhhiiiiiiii"
    "ii**jjkkklllllll"
    "lllnnnnnnnnnoooo"
    "oo##rrrrrrssssss"
    "ssttttttuuuuuuuu"
    "uuuuwwyyyzzzzzzs";
static_assert(kLatin.size() == 0x180 - 0xC0);

// Length of the valid UTF-8 sequence at text[i] and its code point, or 0.
std::size_t Decode(std::string_view text, std::size_t i, std::uint32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char b0 = byte(0);
  std::size_t len = 0;
  std::uint32_t min = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

bool IsPunctuation(std::uint32_t cp) {
  return (cp >= 0xA0 && cp <= 0xBF) || cp == 0xD7 || cp == 0xF7 || (cp >= 0x2000 && cp <= 0x206F) ||
         (cp >= 0x3000 && cp <= 0x303F) || (cp >= 0xFF01 && cp <= 0xFF0F) || cp == 0xFEFF;
}

std::uint32_t FoldGreek(std::uint32_t cp) {
  switch (cp) {
    case 0x0386: case 0x03AC: return 0x03B1;
    case 0x0388: case 0x03AD: return 0x03B5;
    case 0x0389: case 0x03AE: return 0x03B7;
    case 0x038A: case 0x03AF: return 0x03B9;
    case 0x038C: case 0x03CC: return 0x03BF;
    case 0x038E: case 0x03CD: return 0x03C5;
    case 0x038F: case 0x03CE: return 0x03C9;
    case 0x03C2: return 0x03C3;
    default: break;
  }
  return (cp >= 0x0391 && cp <= 0x03A9) ? cp + 0x20 : cp;
}

std::uint32_t FoldCyrillic(std::uint32_t cp) {
  if (cp == 0x0401 || cp == 0x0451) return 0x0435;  // ё reads as е
  if (cp >= 0x0410 && cp <= 0x042F) return cp + 0x20;
  if (cp >= 0x0400 && cp <= 0x040F) return cp + 0x50;
  return cp;
}

void AppendFolded(std::string& out, std::uint32_t cp) {
  if (cp >= 0xC0 && cp < 0x180) {
    switch (const char c = kLatin[cp - 0xC0]) {
      case '@': out += "ae"; break;
      case '$': out += "th"; break;
      case '%': out += "ss"; break;
      case '*': out += "ij"; break;
      case '#': out += "oe"; break;
      default: out += c;
    }
    return;
  }
  if (cp == 0x0218 || cp == 0x0219) return void(out += 's');
  if (cp == 0x021A || cp == 0x021B) return void(out += 't');
  if (cp >= 0x0300 && cp <= 0x036F) return;  // combining accents
  if (IsPunctuation(cp)) return void(out += ' ');
  if (cp >= 0x0370 && cp <= 0x03FF) return AppendUtf8(out, FoldGreek(cp));
  if (cp >= 0x0400 && cp <= 0x04FF) return AppendUtf8(out, FoldCyrillic(cp));
  AppendUtf8(out, cp);
}

bool IsWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c >= 0x80;
}

}  // namespace

std::string TextFold::Fold(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      if (c >= 'A' && c <= 'Z') {
        out += static_cast<char>(c - 'A' + 'a');
      } else {
        out += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
      }
      ++i;
      continue;
    }
    std::uint32_t cp = 0;
    const std::size_t len = Decode(utf8, i, cp);
    if (len == 0) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    AppendFolded(out, cp);
    i += len;
  }
  return out;
}

std::vector<std::string_view> TextFold::Words(std::string_view folded) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < folded.size()) {
    while (i < folded.size() && !IsWordByte(static_cast<unsigned char>(folded[i]))) ++i;
    const std::size_t start = i;
    while (i < folded.size() && IsWordByte(static_cast<unsigned char>(folded[i]))) ++i;
    if (i > start) words.push_back(folded.substr(start, i - start));
  }
  return words;
}

}  // namespace vandrel::directory
