#pragma once

#include <filesystem>

namespace vandrel::test {

inline void CopyShippedProgramFiles(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const fs::path shipped(VANDREL_SHIPPED_DATA);
  fs::create_directories(folder / "favo");
  for (const char* name : {"lang.ini", "INST.INI", "def_head.skn", "def_frame1.skn", "def_balk1.skn", "def_head-dark.skn",
                           "def_frame1-dark.skn", "def_balk1-dark.skn"}) {
    fs::copy_file(shipped / name, folder / name, fs::copy_options::overwrite_existing);
  }
}

}  // namespace vandrel::test
