// A hostile directory's endless answers to a list download: time until the
// HTTP client gives up, the process's peak resident memory while it fetched,
// and what stays resident afterwards; the argument is how long the window is
// busy elsewhere (in ms) as the body starts. Run one case per process, so
// one case's leftovers do not count for the next:
//   vandrel-body-bench --benchmark_filter=EndlessChunkedList/200
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/QtHttpClient.h"
#include "support/CannedServer.h"

namespace {

double StatusMegabytes(const char* key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::char_traits<char>::length(key))) / 1024.0;
  }
  return 0;
}

void Refuse(benchmark::State& state, const std::string& head, const std::string& endless) {
  double peak = 0, kept = 0;
  bool refused = true;
  for (auto _ : state) {
    vandrel::test::CannedServer server(head, endless);
    const auto busy = std::chrono::milliseconds(state.range(0));
    QTimer::singleShot(0, [busy] { std::this_thread::sleep_for(busy); });
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const auto start = std::chrono::steady_clock::now();
    try {
      vandrel::QtHttpClient().OpenURL(server.address() + "radio/inter/zenders/holland.txt");
      refused = false;
    } catch (const vandrel::HttpError&) {
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    peak = std::max(peak, StatusMegabytes("VmHWM:"));
    kept = std::max(kept, StatusMegabytes("VmRSS:"));
  }
  state.counters["peak_MB"] = peak;
  state.counters["kept_MB"] = kept;
  if (!refused) state.SkipWithError("the body was taken");
}

const std::string kPiece(64 * 1024, 'x');

void EndlessChunkedList(benchmark::State& state) {
  std::string record;
  while (record.size() < kPiece.size()) record += "<naam>Radio</naam><url>http://s.example/</url>\r\n";
  record.resize(kPiece.size());
  Refuse(state, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "10000\r\n" + record + "\r\n");
}

void EndlessPage(benchmark::State& state) {
  std::string page;
  while (page.size() < kPiece.size()) page += "<p>Radio <b>station</b> of the day</p>\n";
  page.resize(kPiece.size());
  Refuse(state, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n<html><body>", page);
}

BENCHMARK(EndlessChunkedList)->Arg(0)->Arg(200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(EndlessPage)->Arg(0)->Arg(200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
