// Colorize of a 1 MB HTML document with the window frozen (Silent) and not:
// time per run and the number of format writes it makes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QString>
#include <cstdlib>

#include "markup/Markora.h"

namespace {

QString OneMegabyteOfHtml() {
  const QString row = QStringLiteral(
      "<tr class=\"row\" id=r%1><td nowrap>Station &amp; name %1</td><!-- kept -->"
      "<td><a href=\"http://radio.example.org/%1\" target=_blank>listen</a></td></tr>\n");
  QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><style>td { color: red }</style></head><body><table>\n");
  for (int n = 0; html.size() < 1024 * 1024; ++n) html += row.arg(n);
  html += QStringLiteral("</table><script>if (a<b) go();</script></body></html>\n");
  return html;
}

void BM_Colorize1MB(benchmark::State& state) {
  const bool silent = state.range(0) != 0;
  const QString html = OneMegabyteOfHtml();
  vandrel::Markora box;
  box.InitProperties();
  box.setSilent(silent);
  box.resize(800, 600);
  box.show();
  std::int64_t writes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    box.setText(html);
    QApplication::processEvents();
    const std::int64_t before = box.FormatWrites();
    state.ResumeTiming();
    box.Colorize();
    state.PauseTiming();
    writes = box.FormatWrites() - before;
    state.ResumeTiming();
  }
  state.counters["format_writes"] = static_cast<double>(writes);
  state.counters["characters"] = static_cast<double>(html.size());
}
// The writes are batched either way: an unfrozen run should cost at most a
// few times a frozen one.
BENCHMARK(BM_Colorize1MB)->ArgName("silent")->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Colorize1MB)->ArgName("silent")->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  // No display needed.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
