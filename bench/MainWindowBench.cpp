// Start-up of the main window: time until its first paint with the language
// texts on, time until the web panel has its start page, and resident memory
// once the station list is filled, of this process and of the whole program.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

#include "platform/MpvPlayer.h"
#include "platform/QtHttpClient.h"
#include "support/DirectoryServerProcess.h"
#include "support/ShippedFiles.h"
#include "window/Form1.h"

namespace {

namespace fs = std::filesystem;

// Notes the first paint of a label that already shows its language text.
class PaintWatcher : public QObject {
 public:
  PaintWatcher(QLabel* label, QString text) : label_(label), text_(std::move(text)) {}
  bool painted = false;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && label_->text() == text_) painted = true;
    return false;
  }

 private:
  QLabel* label_;
  QString text_;
};

// VmRSS of one process folder of /proc, 0 when it is gone.
long ResidentKiB(const fs::path& process) {
  std::ifstream status(process / "status");
  std::string key;
  while (status >> key) {
    long value = 0;
    if (key == "VmRSS:" && status >> value) return value;
    status.ignore(1 << 20, '\n');
  }
  return 0;
}

// Resident memory of this process and every process below it.
long TreeResidentKiB() {
  std::map<int, int> parents;
  std::map<int, long> resident;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    std::string state;
    int ppid = 0;
    rest >> state >> ppid;
    parents[std::stoi(name)] = ppid;
    resident[std::stoi(name)] = ResidentKiB(entry.path());
  }
  const int self = ::getpid();
  long total = 0;
  for (const auto& [pid, kib] : resident) {
    for (int p = pid; p > 1; p = parents.count(p) ? parents[p] : 0) {
      if (p == self) {
        total += kib;
        break;
      }
    }
  }
  return total;
}

void WaitFor(const std::function<bool()>& done) {
  QElapsedTimer limit;
  limit.start();
  while (!done() && limit.elapsed() < 20000) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(200);
  }
}

void BM_MainWindowStart(benchmark::State& state) {
  vandrel::test::DirectoryServerProcess server;
  const fs::path folder = fs::temp_directory_path() / "vandrel-bench-window";
  vandrel::test::CopyShippedProgramFiles(folder);
  vandrel::QtHttpClient http;
  vandrel::MpvPlayer player(std::map<std::string, std::string>{{"ao", "null"}});
  long rss = 0;
  long programRss = 0;
  double startPageMs = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    vandrel::Form1 form({folder.string(), server.baseAddress(), http, player});
    PaintWatcher watcher(form.Label1, QString::fromStdString(form.texts().text("label1")));
    form.Label1->installEventFilter(&watcher);
    qint64 loadedAt = -1;
    QObject::connect(form.WebBrowser1, &vandrel::WebPanel::pageLoaded, [&] {
      if (loadedAt < 0) loadedAt = clock.nsecsElapsed();
    });
    form.show();
    WaitFor([&] { return watcher.painted; });
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    WaitFor([&] { return loadedAt >= 0 && form.List1->count() > 1; });
    startPageMs = static_cast<double>(loadedAt) / 1e6;
    rss = ResidentKiB(fs::path("/proc/self"));
    programRss = TreeResidentKiB();
  }
  state.counters["start_page_ms"] = startPageMs;
  state.counters["rss_after_list_KiB"] = static_cast<double>(rss);
  state.counters["program_rss_KiB"] = static_cast<double>(programRss);
  fs::remove_all(folder);
}
BENCHMARK(BM_MainWindowStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (qgetenv("DISPLAY").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
