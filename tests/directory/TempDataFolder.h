#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vandrel::test {

// A fresh folder under the system temp folder, removed with everything in it.
class TempDataFolder {
 public:
  TempDataFolder();
  ~TempDataFolder();
  TempDataFolder(const TempDataFolder&) = delete;
  TempDataFolder& operator=(const TempDataFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes content to relative (creating folders); returns the full path.
  std::filesystem::path write(const std::string& relative, std::string_view content) const;

 private:
  std::filesystem::path path_;
};

}  // namespace vandrel::test
