// A stream title that is not UTF-8, read as Windows-1252 alone (the old way)
// and through a station's full history of titles, which the detector reads
// again at every new title. Titles come a few a minute: this is each one's cost.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/TextDecoding.h"
#include "core/TitleCharset.h"

namespace {

// Windows-1251 bytes of "Кино - Группа крови N": a new title each time.
std::string CyrillicTitle(int n) {
  return "\xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8 " + std::to_string(n);
}

void BM_TitleAsWindows1252(benchmark::State& state) {
  int n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(vandrel::DecodeBodyText(CyrillicTitle(n++)));
}
BENCHMARK(BM_TitleAsWindows1252);

void BM_TitleThroughFullHistory(benchmark::State& state) {
  vandrel::TitleCharset charset;
  int n = 0;
  while (n * 30 < 2 * static_cast<int>(vandrel::TitleCharset::kHistoryBytes)) charset.decode(CyrillicTitle(n++));
  for (auto _ : state) benchmark::DoNotOptimize(charset.decode(CyrillicTitle(n++)));
  if (!charset.decode(CyrillicTitle(0)).starts_with("\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE")) {
    state.SkipWithError("not read as Cyrillic");
  }
}
BENCHMARK(BM_TitleThroughFullHistory);

// mpv reports a title again whenever another tag changes.
void BM_SameTitleAgain(benchmark::State& state) {
  vandrel::TitleCharset charset;
  for (int n = 0; n * 30 < 2 * static_cast<int>(vandrel::TitleCharset::kHistoryBytes); ++n) {
    charset.decode(CyrillicTitle(n));
  }
  for (auto _ : state) benchmark::DoNotOptimize(charset.decode(CyrillicTitle(0)));
}
BENCHMARK(BM_SameTitleAgain);

}  // namespace
