#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace vandrel::test {

// A number of a /proc status file ("Threads:", "VmHWM:" in KiB); 0 when it is missing.
inline long StatusField(const std::filesystem::path& file, const std::string& key) {
  std::ifstream status(file);
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
  }
  return 0;
}
inline long StatusKiB(const std::string& key) { return StatusField("/proc/self/status", key); }

// Starts VmHWM afresh from the present resident size.
inline void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace vandrel::test
