#include <benchmark/benchmark.h>

#include "core/TaggedList.h"
#include "core/TaggedListReference.h"

namespace {

const std::vector<std::string> kTags = {"naam", "url", "homepage"};

std::string StationList(std::size_t bytes) {
  std::string text;
  for (std::size_t i = 0; text.size() < bytes; ++i) {
    const std::string n = std::to_string(i);
    text += "<naam>Radio Station " + n + "</naam><url>http://stream.example.net:8000/live/" + n +
            "</url><homepage>http://www.example.net/" + n + "</homepage>\r\n";
  }
  return text;
}

std::string UnclosedOpenings(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += "<naam>";
  return text;
}

template <typename Parse>
void Run(benchmark::State& state, const std::string& text, Parse parse) {
  for (auto _ : state) benchmark::DoNotOptimize(parse(text, kTags));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_StationList(benchmark::State& state) {
  Run(state, StationList(static_cast<std::size_t>(state.range(0))), vandrel::ParseTaggedList);
}
void BM_UnclosedOpenings(benchmark::State& state) {
  Run(state, UnclosedOpenings(static_cast<std::size_t>(state.range(0))), vandrel::ParseTaggedList);
}
void BM_NaiveStationList(benchmark::State& state) {
  Run(state, StationList(static_cast<std::size_t>(state.range(0))), vandrel::reference::ParseTaggedListNaive);
}
void BM_NaiveUnclosedOpenings(benchmark::State& state) {
  Run(state, UnclosedOpenings(static_cast<std::size_t>(state.range(0))), vandrel::reference::ParseTaggedListNaive);
}

BENCHMARK(BM_StationList)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnclosedOpenings)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
// The naive loop is quadratic on unclosed openings, so it runs on small inputs only.
BENCHMARK(BM_NaiveStationList)->Arg(64 << 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NaiveUnclosedOpenings)->Arg(16 << 10)->Arg(64 << 10)->Unit(benchmark::kMillisecond);

}  // namespace
