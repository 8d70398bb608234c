#include "directory/TaggedListWriter.h"

namespace vandrel::directory {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool HoldsTag(std::string_view value) {
  for (std::size_t i = value.find('<'); i != std::string_view::npos; i = value.find('<', i + 1)) {
    std::size_t j = i + 1;
    if (j < value.size() && value[j] == '/') ++j;
    const std::size_t nameStart = j;
    while (j < value.size() && IsAsciiLetter(value[j])) ++j;
    if (j > nameStart && j < value.size() && value[j] == '>') return true;
  }
  return false;
}

}  // namespace

std::string TaggedListWriter::Clean(std::string_view value) {
  // Control characters go first: dropped from inside a tag name they would
  // join its halves into a tag the check below had not seen.
  std::string kept;
  kept.reserve(value.size());
  for (const char c : value) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '\r' || c == '\n' || c == '\t') {
      kept += ' ';
    } else if (u >= 0x20 && u != 0x7F) {
      kept += c;
    }
  }
  if (!HoldsTag(kept)) return kept;
  std::string out;
  out.reserve(kept.size());
  for (const char c : kept) {
    if (c != '<' && c != '>') out += c;
  }
  return out;
}

void TaggedListWriter::add(std::string_view tag, std::string_view value) {
  text_ += '<';
  text_ += tag;
  text_ += '>';
  text_ += Clean(value);
  text_ += "</";
  text_ += tag;
  text_ += '>';
}

void TaggedListWriter::endRecord() { text_ += "\r\n"; }

}  // namespace vandrel::directory
