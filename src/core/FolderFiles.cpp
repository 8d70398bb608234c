#include "core/FolderFiles.h"

#include <algorithm>
#include <filesystem>

#include "core/AtomicFile.h"

namespace vandrel {

namespace fs = std::filesystem;

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool FileNameBefore(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(FoldAscii(a[i]));
    const auto y = static_cast<unsigned char>(FoldAscii(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::vector<std::string> ListFolderFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    // A station's name may start with a dot; a write under way is no file yet.
    if (name.empty() || IsTemporaryName(name)) continue;
    std::error_code ec;
    if (!entry.is_regular_file(ec)) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), FileNameBefore);
  return names;
}

}  // namespace vandrel
