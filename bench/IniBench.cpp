#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/Ini.h"

namespace {

namespace fs = std::filesystem;

// A key near the end of a 500-line file: the whole file is read each time.
void BM_ReadIniNearEnd(benchmark::State& state) {
  const fs::path path = fs::temp_directory_path() / ("vandrel-ini-bench-" + std::to_string(::getpid()) + ".ini");
  {
    std::ofstream out(path, std::ios::binary);
    for (int s = 0; s < 10; ++s) {
      out << "[Section" << s << "]\r\n";
      for (int k = 0; k < 48; ++k) out << "Key" << k << "=value number " << s * 100 + k << "\r\n";
      out << "\r\n";
    }
  }
  const std::string file = path.string();
  for (auto _ : state) benchmark::DoNotOptimize(vandrel::ReadIni(file, "section9", "key45"));
  if (vandrel::ReadIni(file, "section9", "key45") != "value number 945") state.SkipWithError("wrong value");
  fs::remove(path);
}
BENCHMARK(BM_ReadIniNearEnd)->Unit(benchmark::kMicrosecond);

}  // namespace
