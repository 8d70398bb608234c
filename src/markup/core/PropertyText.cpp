#include "markup/core/PropertyText.h"

#include <charconv>
#include <cstdlib>
#include <vector>

namespace vandrel {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

template <typename T>
std::string NumberText(T value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

template <typename T>
std::optional<T> ParseNumber(const std::string& text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

std::optional<bool> ParseFlag(const std::string& text) {
  if (text == "True" || text == "-1" || text == "1") return true;
  if (text == "False" || text == "0") return false;
  return std::nullopt;
}

std::string FontText(const FontDescription& f) {
  const auto flag = [](bool b) { return b ? "1" : "0"; };
  return f.name + ';' + NumberText(f.size) + ';' + std::to_string(f.weight) + ';' + flag(f.italic) + ';' +
         flag(f.underline) + ';' + flag(f.strikethrough) + ';' + std::to_string(f.charset);
}

std::optional<FontDescription> ParseFont(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t end = text.size();
  for (int k = 0; k < 6; ++k) {
    const auto semi = end == 0 ? std::string::npos : text.rfind(';', end - 1);
    if (semi == std::string::npos) return std::nullopt;
    fields.insert(fields.begin(), text.substr(semi + 1, end - semi - 1));
    end = semi;
  }
  FontDescription f;
  f.name = text.substr(0, end);
  const auto size = ParseNumber<double>(fields[0]);
  const auto weight = ParseNumber<int>(fields[1]);
  const auto italic = ParseFlag(fields[2]);
  const auto underline = ParseFlag(fields[3]);
  const auto strike = ParseFlag(fields[4]);
  const auto charset = ParseNumber<int>(fields[5]);
  if (!size || !weight || !italic || !underline || !strike || !charset) return std::nullopt;
  f.size = *size;
  f.weight = *weight;
  f.italic = *italic;
  f.underline = *underline;
  f.strikethrough = *strike;
  f.charset = *charset;
  return f;
}

}  // namespace

std::string Base64Encode(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kBase64[(v >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return out;
}

std::optional<std::string> Base64Decode(const std::string& text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t v = 0;
    int pad = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      std::uint32_t sextet = 0;
      if (c == '=' && i + 4 == text.size() && k >= 2) {
        ++pad;
      } else if (const char* p = std::char_traits<char>::find(kBase64, 64, c); p != nullptr && pad == 0) {
        sextet = static_cast<std::uint32_t>(p - kBase64);
      } else {
        return std::nullopt;
      }
      v = (v << 6) | sextet;
    }
    for (int k = 0; k < 3 - pad; ++k) out += static_cast<char>((v >> (16 - 8 * k)) & 0xFF);
  }
  return out;
}

std::string PropertyToText(const PropertyValue& value) {
  struct Visitor {
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(std::int32_t n) const { return std::to_string(n); }
    std::string operator()(float x) const { return NumberText(x); }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const FontDescription& f) const { return FontText(f); }
    std::string operator()(const PictureData& p) const { return Base64Encode(p.bytes); }
  };
  return std::visit(Visitor{}, value);
}

std::optional<PropertyValue> PropertyFromText(const std::string& text, const PropertyValue& like) {
  struct Visitor {
    const std::string& text;
    std::optional<PropertyValue> operator()(bool) const {
      if (const auto b = ParseFlag(text)) return PropertyValue(*b);
      return std::nullopt;
    }
    std::optional<PropertyValue> operator()(std::int32_t) const {
      if (const auto n = ParseNumber<std::int32_t>(text)) return PropertyValue(*n);
      return std::nullopt;
    }
    std::optional<PropertyValue> operator()(float) const {
      if (const auto x = ParseNumber<float>(text)) return PropertyValue(*x);
      return std::nullopt;
    }
    std::optional<PropertyValue> operator()(const std::string&) const { return PropertyValue(text); }
    std::optional<PropertyValue> operator()(const FontDescription&) const {
      if (const auto f = ParseFont(text)) return PropertyValue(*f);
      return std::nullopt;
    }
    std::optional<PropertyValue> operator()(const PictureData&) const {
      if (const auto bytes = Base64Decode(text)) return PropertyValue(PictureData{*bytes});
      return std::nullopt;
    }
  };
  return std::visit(Visitor{text}, like);
}

}  // namespace vandrel
