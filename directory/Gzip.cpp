#include "directory/Gzip.h"

#include <zlib.h>

#include <stdexcept>

#include "directory/HeaderValue.h"

namespace vandrel::directory {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// q defaults to 1; only "0", "0.", "0.0"... mean no.
bool PositiveQ(std::string_view params) {
  for (std::size_t start = 0; start < params.size();) {
    auto semi = params.find(';', start);
    if (semi == std::string_view::npos) semi = params.size();
    const std::string_view param = TrimHeaderValue(params.substr(start, semi - start));
    if (param.size() >= 2 && (param[0] == 'q' || param[0] == 'Q') && param[1] == '=') {
      const std::string_view value = TrimHeaderValue(param.substr(2));
      return value.find_first_not_of("0.") != std::string_view::npos;
    }
    start = semi + 1;
  }
  return true;
}

}  // namespace

std::string Gzip::Compress(std::string_view data, int level) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

bool Gzip::Accepted(std::string_view header) {
  bool star = false;
  for (std::size_t start = 0; start <= header.size();) {
    auto comma = header.find(',', start);
    if (comma == std::string_view::npos) comma = header.size();
    const std::string_view item = header.substr(start, comma - start);
    const auto semi = item.find(';');
    const std::string_view coding = TrimHeaderValue(item.substr(0, semi));
    const std::string_view params = semi == std::string_view::npos ? std::string_view() : item.substr(semi + 1);
    if (EqualsNoCase(coding, "gzip") || EqualsNoCase(coding, "x-gzip")) return PositiveQ(params);
    if (coding == "*") star = PositiveQ(params);
    start = comma + 1;
  }
  return star;
}

bool Gzip::Suits(std::string_view type) {
  return type.starts_with("text/") || type.starts_with("image/svg+xml") || type.starts_with("application/json");
}

}  // namespace vandrel::directory
