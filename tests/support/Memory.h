#pragma once

#include <fstream>
#include <string>

namespace vandrel::test {

// A figure of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), 0 when missing.
inline long StatusKiB(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string name; status >> name;) {
    long value = 0;
    if (name == key && status >> value) return value;
    status.ignore(1 << 20, '\n');
  }
  return 0;
}

// Starts VmHWM afresh from the present resident size.
inline void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace vandrel::test
