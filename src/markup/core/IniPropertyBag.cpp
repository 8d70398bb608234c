#include "markup/core/IniPropertyBag.h"

#include <optional>

#include "core/Ini.h"
#include "core/PercentEncoding.h"
#include "markup/core/PropertyText.h"

namespace vandrel {

namespace {

// Bytes per key, well within the 199 characters an INI read returns even
// when a closing space has to be escaped.
constexpr std::size_t kPartBytes = 190;

constexpr char kHex[] = "0123456789ABCDEF";

std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigitValue(text[i + 2]) >= 0 && HexDigitValue(text[i + 3]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 2]) * 16 + HexDigitValue(text[i + 3]));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

std::string PartKey(const std::string& key, int part) {
  return part == 1 ? key : key + "." + std::to_string(part);
}

}  // namespace

IniPropertyBag::IniPropertyBag(std::string filePath, std::string section)
    : filePath_(std::move(filePath)), section_(std::move(section)) {}

std::string IniPropertyBag::readStored(const std::string& key) const {
  std::string stored;
  for (int part = 1;; ++part) {
    const std::string piece = ReadIni(filePath_, section_, PartKey(key, part));
    if (piece.empty()) break;
    stored += piece;
  }
  return stored;
}

void IniPropertyBag::clearFrom(const std::string& key, int part) const {
  for (; !ReadIni(filePath_, section_, PartKey(key, part)).empty(); ++part) {
    WriteIni(filePath_, section_, PartKey(key, part), "");
  }
}

PropertyValue IniPropertyBag::ReadProperty(const std::string& key, const PropertyValue& defaultValue) {
  const std::string stored = readStored(key);
  if (stored.empty()) return defaultValue;
  const auto text = Unescape(stored);
  if (!text) return defaultValue;
  return PropertyFromText(*text, defaultValue).value_or(defaultValue);
}

void IniPropertyBag::WriteProperty(const std::string& key, const PropertyValue& value,
                                   const PropertyValue& defaultValue) {
  if (!IsStored(value, defaultValue)) {
    clearFrom(key, 1);
    return;
  }
  const std::string escaped = Escape(PropertyToText(value));
  if (escaped.empty()) {
    WriteIni(filePath_, section_, key, "");
    clearFrom(key, 2);
    return;
  }
  int part = 1;
  for (std::size_t pos = 0; pos < escaped.size(); pos += kPartBytes, ++part) {
    std::string piece = escaped.substr(pos, kPartBytes);
    // The reader drops closing blanks.
    if (piece.back() == ' ') piece.replace(piece.size() - 1, 1, "\\x20");
    WriteIni(filePath_, section_, PartKey(key, part), piece);
  }
  clearFrom(key, part);
}

}  // namespace vandrel
