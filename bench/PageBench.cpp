// The web panel against hostile pages: time to the error page and peak
// resident memory, each page in a child process of its own (VmHWM is per
// process, and the old panel may crash or freeze); and how long the largest
// pages within the panel's bounds take to lay out.
//   vandrel-page-bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/HtmlView.h"
#include "platform/WebPanel.h"
#include "support/CannedServer.h"
#include "support/Memory.h"

namespace {

using namespace std::chrono_literals;

constexpr int kLimitSeconds = 60;
constexpr int kPanelWidth = 401, kPanelHeight = 241;  // 6015 x 3615 twips

std::string Repeat(const std::string& part, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += part;
  return all;
}

struct Hostile {
  const char* name;
  std::string head, part;
  std::size_t count;
};

const std::vector<Hostile>& HostilePages() {
  static const std::string html = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n";
  static const std::vector<Hostile> pages = {
      {"spans25000", html + "\r\n", "<span>", 25000},
      {"divs100000", html + "\r\n", "<div>", 100000},
      {"page20MB", html + "\r\n", "<p>" + std::string(1000, 'x') + "</p>\n", 20000},
      {"table7000x100", html + "\r\n<table>", "<tr>" + Repeat("<td>x</td>", 100) + "</tr>\n", 7000},
      {"endless", html + "Transfer-Encoding: chunked\r\n\r\n", "10000\r\n" + std::string(65536, 'x') + "\r\n", 0},
      {"runawayParse", html + "\r\n",
       "<template><table><template><table><button><table><template><b><div><tbody></div><caption><nobr><option>"
       "<body><li><table><html><nobr><i><template></select></a><col></td><a><textarea></table><caption><nobr>"
       "<optgroup><select></p><div></svg></td>",
       200},
  };
  return pages;
}

// In the child: loads the page into a shown panel, prints milliseconds to
// the outcome, peak KiB and the longest stall of the event loop.
int RunPage(const Hostile& page) {
  vandrel::test::CannedServer server(page.head, page.part, page.count);
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* panel = new vandrel::WebPanel(&window);
  layout->addWidget(panel);
  window.resize(kPanelWidth, kPanelHeight);
  window.show();
  while (!panel->hasEngine()) QApplication::processEvents(QEventLoop::AllEvents, 10);
  bool done = false;
  QObject::connect(panel, &vandrel::WebPanel::NavigateError, [&] { done = true; });
  QObject::connect(panel, &vandrel::WebPanel::pageLoaded, [&] { done = true; });
  QElapsedTimer clock, beat;
  qint64 stall = 0;
  QTimer heartbeat;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] { stall = std::max(stall, beat.restart()); });
  vandrel::test::ResetPeakResident();
  clock.start();
  beat.start();
  heartbeat.start(10);
  panel->Navigate(server.address());
  while (!done) QApplication::processEvents(QEventLoop::AllEvents, 10);
  std::printf("%lld %ld %lld\n", static_cast<long long>(clock.elapsed()), vandrel::test::StatusKiB("VmHWM:"),
              static_cast<long long>(std::max(stall, beat.elapsed())));
  return 0;
}

void BM_HostilePage(benchmark::State& state, const char* self, std::size_t index) {
  for (auto _ : state) {
    int out[2];
    if (::pipe(out) != 0) return state.SkipWithError("pipe");
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::execl(self, self, ("--page=" + std::to_string(index)).c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(out[1]);
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kLimitSeconds);
    while (::waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(50ms);
    }
    if (::waitpid(child, &status, WNOHANG) == 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      ::close(out[0]);
      state.counters["over_60s"] = 1;
      state.SetIterationTime(kLimitSeconds);
      continue;
    }
    char line[128] = {};
    const ssize_t n = ::read(out[0], line, sizeof line - 1);
    ::close(out[0]);
    long long ms = 0, stall = 0;
    long peak = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || n <= 0 ||
        std::sscanf(line, "%lld %ld %lld", &ms, &peak, &stall) != 3) {
      state.counters["crashed"] = 1;
      state.SetIterationTime(0);
      continue;
    }
    state.counters["peak_MiB"] = static_cast<double>(peak) / 1024;
    state.counters["stall_ms"] = static_cast<double>(stall);
    state.SetIterationTime(static_cast<double>(ms) / 1000);
  }
}

// The largest pages of each kind the panel still lays out.
void BM_LargestPage(benchmark::State& state, std::string page) {
  vandrel::HtmlView view;
  view.resize(kPanelWidth, kPanelHeight);
  view.show();
  QApplication::processEvents();
  const QString html = QString::fromStdString("<html><body>" + page + "</body></html>");
  bool shown = false;
  for (auto _ : state) {
    view.setHtml(html);  // the same on a panel without bounds
    shown = !view.plainText().isEmpty();
    view.viewport()->repaint();
  }
  state.counters["shown"] = shown;
  state.counters["KiB"] = static_cast<double>(page.size()) / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  if (qgetenv("DISPLAY").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string first = argc > 1 ? argv[1] : "";
  if (first.rfind("--page=", 0) == 0) return RunPage(HostilePages().at(std::stoul(first.substr(7))));
  for (std::size_t i = 0; i < HostilePages().size(); ++i) {
    benchmark::RegisterBenchmark(("BM_HostilePage/" + std::string(HostilePages()[i].name)).c_str(), BM_HostilePage,
                                 argv[0], i)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  const std::pair<const char*, std::string> largest[] = {
      {"nested510", Repeat("<div>", 510) + "x"},
      {"flat19000", Repeat("<div>x</div>", 19000)},
      {"table9000", "<table>" + Repeat("<tr>" + Repeat("<td>x</td>", 100) + "</tr>", 90) + "</table>"},
      {"words64000", "<p>" + Repeat("ab ", 64000) + "</p>"},
      {"deep250flat2000", Repeat("<div>", 250) + Repeat("<div>x</div>", 2000)},
  };
  for (const auto& [name, page] : largest) {
    benchmark::RegisterBenchmark(("BM_LargestPage/" + std::string(name)).c_str(), BM_LargestPage, page)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
