#include "directory/StaticFiles.h"

#include <algorithm>
#include <fstream>
#include <system_error>
#include <vector>

namespace vandrel::directory {

namespace fs = std::filesystem;

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Encoded dots, slashes, backslashes and NULs have no business in a path to
// a shipped file; refusing them avoids relying on decode order anywhere.
bool HasEncodedSeparator(std::string_view raw) {
  for (std::size_t i = 0; i + 2 < raw.size(); ++i) {
    if (raw[i] != '%') continue;
    const char hi = raw[i + 1];
    const char lo = LowerAscii(raw[i + 2]);
    if ((hi == '2' && (lo == 'e' || lo == 'f')) || (hi == '5' && lo == 'c') || (hi == '0' && lo == '0')) {
      return true;
    }
  }
  return false;
}

}  // namespace

StaticFiles::StaticFiles(const fs::path& root) : root_(fs::canonical(root)) {}

bool StaticFiles::contains(const fs::path& path) const {
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  if (ec) return false;
  return std::mismatch(root_.begin(), root_.end(), resolved.begin(), resolved.end()).first == root_.end();
}

StaticFiles::Resolution StaticFiles::resolve(std::string_view decodedPath, std::string_view rawPath) const {
  const Resolution bad{Outcome::BadRequest, {}};
  const Resolution missing{Outcome::NotFound, {}};
  if (decodedPath.empty() || decodedPath[0] != '/') return bad;
  if (decodedPath.find('\\') != std::string_view::npos || decodedPath.find('\0') != std::string_view::npos) {
    return bad;
  }
  if (HasEncodedSeparator(rawPath)) return bad;

  std::vector<std::string_view> segments;
  const std::string_view rest = decodedPath.substr(1);
  std::size_t start = 0;
  for (;;) {
    const auto slash = rest.find('/', start);
    segments.push_back(rest.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  const bool wantsFolder = segments.back().empty();
  if (wantsFolder) segments.pop_back();

  fs::path file = root_;
  for (const std::string_view segment : segments) {
    // Empty segments ("//etc") would make an absolute path of the rest.
    if (segment.empty() || segment == "." || segment == "..") return bad;
    if (segment[0] == '.') return missing;  // hidden files stay private
    file /= fs::path(std::string(segment));
  }
  if (wantsFolder) file /= "index.html";

  std::error_code ec;
  if (!contains(file)) return missing;
  const fs::file_status status = fs::status(file, ec);
  if (ec) return missing;
  if (fs::is_directory(status)) {
    return contains(file / "index.html") && fs::is_regular_file(file / "index.html", ec)
               ? Resolution{Outcome::AddSlash, {}}
               : missing;
  }
  if (!fs::is_regular_file(status)) return missing;
  return {Outcome::Found, file};
}

std::string StaticFiles::ContentTypeFor(const fs::path& file) {
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), LowerAscii);
  if (ext == ".txt") return "text/plain; charset=utf-8";
  if (ext == ".html" || ext == ".htm") return "text/html; charset=utf-8";
  if (ext == ".css") return "text/css; charset=utf-8";
  if (ext == ".png") return "image/png";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".gif") return "image/gif";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".ico") return "image/x-icon";
  return "application/octet-stream";
}

std::optional<std::string> StaticFiles::Read(const fs::path& file, std::size_t maxBytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data;
  char chunk[16384];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    data.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (data.size() > maxBytes) return std::nullopt;
  }
  return data;
}

}  // namespace vandrel::directory
