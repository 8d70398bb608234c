#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vandrel::directory {

// Maps request paths to regular files inside the data folder and nowhere else.
class StaticFiles {
 public:
  enum class Outcome { Found, AddSlash, BadRequest, NotFound };
  struct Resolution {
    Outcome outcome;
    std::filesystem::path file;  // set when Found
  };

  // root must be an existing folder.
  explicit StaticFiles(const std::filesystem::path& root);

  // decodedPath is the path percent-decoded, rawPath the same path as
  // it stood in the request target.
  Resolution resolve(std::string_view decodedPath, std::string_view rawPath) const;

  // True when path, with symlinks resolved, lies inside the root.
  bool contains(const std::filesystem::path& path) const;

  const std::filesystem::path& root() const { return root_; }

  static std::string ContentTypeFor(const std::filesystem::path& file);

  // Whole file, or nothing when unreadable or larger than maxBytes.
  static std::optional<std::string> Read(const std::filesystem::path& file,
                                         std::size_t maxBytes = 16 * 1024 * 1024);

 private:
  std::filesystem::path root_;
};

}  // namespace vandrel::directory
