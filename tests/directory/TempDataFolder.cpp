#include "TempDataFolder.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace vandrel::test {

TempDataFolder::TempDataFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vandrel-directory-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDataFolder::~TempDataFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDataFolder::write(const std::string& relative, std::string_view content) const {
  const std::filesystem::path file = path_ / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
  return file;
}

}  // namespace vandrel::test
