#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vandrel::test {

// The whole content of a file as bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace vandrel::test
