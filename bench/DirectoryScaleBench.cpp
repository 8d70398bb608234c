// The station directory at scale: import time and peak memory of a generated
// dump, search latency over it, the idle server's cost, and bounded loopback
// loads of many clients.
//   vandrel-directory-bench [--stations N] [--clients C] [--seconds S] [--idle-seconds I] [--peer SERVER]
// The loads run against the built server and a peer build of it (for
// example the one before a change), each as its own process, and the list
// loads also against nginx serving the same folder (when installed).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "DirectoryProcesses.h"
#include "StationDumpGenerator.h"
#include "core/PercentEncoding.h"
#include "core/TaggedList.h"
#include "directory/DirectoryTestKit.h"
#include "directory/Search.h"
#include "directory/StaticFiles.h"
#include "support/Nginx.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace vandrel::bench;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

std::size_t Arg(int argc, char** argv, const std::string& name, std::size_t fallback, std::size_t max) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (argv[i] == name) return std::clamp<std::size_t>(std::strtoul(argv[i + 1], nullptr, 10), 1, max);
  }
  return fallback;
}

// The real importer in its own process, so its peak memory is its own.
void Import(const fs::path& dump, const fs::path& out) {
  std::vector<std::string> args = {VANDREL_DIRECTORY_EXE, "import", dump.string(), "--out", out.string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto started = Clock::now();
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    std::exit(1);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const double took = Ms(Clock::now() - started);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "import failed\n");
    std::exit(1);
  }
  std::printf("import: %.0f ms, peak memory %.1f MB\n", took, static_cast<double>(usage.ru_maxrss) / 1024.0);
}

std::vector<std::string> Queries(std::size_t count) {
  const auto& words = StationDumpGenerator::Words();
  std::vector<std::string> queries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& w = words[i % words.size()];
    switch (i % 5) {
      case 0: queries.push_back(w); break;
      case 1: queries.push_back(w + " " + words[(i * 7) % words.size()]); break;
      case 2: queries.push_back(w.substr(0, 3)); break;
      case 3: queries.push_back("cafe muller"); break;
      default: queries.push_back(i % 2 ? "r" : "nothing-like-this"); break;
    }
  }
  return queries;
}

void MeasureSearch(const fs::path& data) {
  const auto started = Clock::now();
  vandrel::directory::StaticFiles files(data);
  vandrel::directory::Search search(files, data / "radio" / "inter" / "zenders");
  std::printf("search index: %zu stations, built in %.0f ms\n", search.size(), Ms(Clock::now() - started));
  std::vector<double> times;
  std::size_t hits = 0;
  for (const std::string& q : Queries(5000)) {
    const auto t0 = Clock::now();
    hits += search.find(q).size();
    times.push_back(Ms(Clock::now() - t0));
  }
  std::printf("search: %zu queries, p50 %.3f ms, p99 %.3f ms, max %.3f ms (%zu hits)\n", times.size(),
              Percentile(times, 0.5), Percentile(times, 0.99), *std::max_element(times.begin(), times.end()), hits);
}

// Latencies in ms; the rate is 0 where only latencies were measured.
struct LoadFigures {
  double requestsPerSecond, p50, p99;
  std::size_t errors;
  double rssMb;
};

enum class Mix { ListsAndSearches, Lists, Searches };

// Keep-alive clients from `addresses` loopback addresses asking for lists,
// searches or both; rssOf gives the server's memory afterwards.
LoadFigures KeepAliveLoad(int port, const std::function<double()>& rssOf, const std::vector<std::string>& lists,
                          std::size_t clients, std::size_t seconds, Mix mix = Mix::ListsAndSearches,
                          std::size_t addresses = 10) {
  const std::vector<std::string> queries = Queries(200);
  std::atomic<std::size_t> ok{0};
  std::atomic<std::size_t> errors{0};
  std::vector<std::vector<double>> latencies(clients);
  const auto started = Clock::now();
  const auto deadline = started + std::chrono::seconds(seconds);
  std::vector<std::thread> threads;
  for (std::size_t c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      vandrel::test::KeepAliveClient client(addresses == 1 ? "127.0.0.1" : "127.0.0.1" + std::to_string(c % addresses),
                                            port);
      for (std::size_t i = c; Clock::now() < deadline; i += clients) {
        std::string path;
        const std::size_t kind = mix == Mix::Lists ? i % 5 : mix == Mix::Searches ? 5 : i % 10;
        switch (kind) {
          case 0: path = "/radio/inter/keuze-uk.txt"; break;
          case 1: case 2: case 3: case 4: path = "/radio/inter/zenders/" + lists[i % lists.size()]; break;
          default: path = "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=" + vandrel::PercentEncoded(queries[i % queries.size()]);
        }
        const auto t0 = Clock::now();
        const int status = client.get(path);
        latencies[c].push_back(Ms(Clock::now() - t0));
        ++(status == 200 ? ok : errors);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  const double took = Ms(Clock::now() - started) / 1000.0;
  std::vector<double> all;
  for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
  return {static_cast<double>(ok) / took, Percentile(all, 0.5), Percentile(all, 0.99), errors, rssOf()};
}

// Fresh-connection requests from one address while the tone listeners of
// another hold on: latencies, and how many got no answer within 1 s.
LoadFigures UnderListenerFlood(const ServerProcess& server, std::size_t listeners) {
  std::vector<int> fds;
  const std::string tone = "GET /stream/tone HTTP/1.1\r\nHost: x\r\n\r\n";
  for (std::size_t i = 0; i < listeners; ++i) {
    const int fd = vandrel::test::ConnectLoopback(server.port(), std::chrono::seconds(5), "127.0.0.3");
    if (fd >= 0 && ::send(fd, tone.data(), tone.size(), MSG_NOSIGNAL) > 0) fds.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // Ten askers of ten requests each, so a server that keeps them all
  // waiting costs seconds, not minutes.
  std::vector<std::vector<double>> times(10);
  std::atomic<std::size_t> failed{0};
  std::vector<std::thread> askers;
  for (std::size_t a = 0; a < times.size(); ++a) {
    askers.emplace_back([&, a] {
      for (int i = 0; i < 10; ++i) {
        const int fd = vandrel::test::ConnectLoopback(server.port(), std::chrono::seconds(1));
        const auto t0 = Clock::now();
        const std::string request = "GET /radio/inter/keuze-uk.txt HTTP/1.1\r\nHost: x\r\n\r\n";
        const bool sent = fd >= 0 && ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) > 0;
        const std::string head = sent ? vandrel::test::ReadHead(fd, std::chrono::seconds(1)) : std::string();
        times[a].push_back(Ms(Clock::now() - t0));
        failed += head.rfind("HTTP/1.1 200", 0) != 0;
        if (fd >= 0) ::close(fd);
      }
    });
  }
  for (std::thread& t : askers) t.join();
  std::vector<double> all;
  for (const auto& t : times) all.insert(all.end(), t.begin(), t.end());
  const double rss = server.rssMb();
  for (int fd : fds) ::close(fd);
  return {0, Percentile(all, 0.5), Percentile(all, 0.99), failed, rss};
}

double Ratio(double ours, double peer) { return peer > 0 ? ours / peer : 0; }

void Row(const char* what, const LoadFigures& ours, const LoadFigures& peer, bool rate) {
  if (rate) {
    std::printf("  %-34s %9.0f req/s  %9.0f req/s  ratio %.2f\n", what, ours.requestsPerSecond,
                peer.requestsPerSecond, Ratio(ours.requestsPerSecond, peer.requestsPerSecond));
  }
  std::printf("  %-34s %6.2f/%-7.2f ms  %6.2f/%-7.2f ms  ratio %.2f/%.2f (p50/p99)\n", "", ours.p50, ours.p99,
              peer.p50, peer.p99, Ratio(ours.p50, peer.p50), Ratio(ours.p99, peer.p99));
  std::printf("  %-34s %9zu errors %9zu errors\n", "", ours.errors, peer.errors);
  std::printf("  %-34s %9.1f MB RSS %8.1f MB RSS ratio %.2f\n", "", ours.rssMb, peer.rssMb, Ratio(ours.rssMb, peer.rssMb));
}

// One line of the one-address table: ours, the peer and (for lists) nginx.
void OneAddressRow(const std::string& what, const LoadFigures& ours, const LoadFigures& peer, const LoadFigures* nginx) {
  std::printf("  %-16s %8.0f/s p99 %6.2f ms %5zu err | %8.0f/s p99 %6.2f ms %5zu err | ratio %.2f p99 %.2f", what.c_str(),
              ours.requestsPerSecond, ours.p99, ours.errors, peer.requestsPerSecond, peer.p99, peer.errors,
              Ratio(ours.requestsPerSecond, peer.requestsPerSecond), Ratio(ours.p99, peer.p99));
  if (nginx) {
    std::printf(" | nginx %8.0f/s p99 %6.2f ms %5zu err, ratio %.2f", nginx->requestsPerSecond, nginx->p99,
                nginx->errors, Ratio(ours.requestsPerSecond, nginx->requestsPerSecond));
  }
  std::printf("\n");
}

// The same loads against our server and a peer build (by default ours
// again), side by side, with nginx serving the lists as a floor.
void MeasureLoad(const fs::path& data, const std::string& peer, std::size_t clients, std::size_t seconds,
                 std::size_t idleSeconds) {
  std::ifstream choicesFile(data / "radio" / "inter" / "keuze-uk.txt", std::ios::binary);
  const std::string choices((std::istreambuf_iterator<char>(choicesFile)), {});
  const std::vector<std::string> lists = vandrel::ParseTaggedList(choices, {"bestand"})[0];
  constexpr std::size_t kOneAddressClients[2] = {50, 300};
  IdleFigures idle[2];
  LoadFigures oneList[2][2], oneSearch[2][2], nginxList[2] = {};
  LoadFigures keepAlive[2], besideSlow[2], flood[2];
  std::size_t reopened[2] = {0, 0};
  const std::string exes[2] = {VANDREL_DIRECTORY_EXE, peer};
  for (int s = 0; s < 2; ++s) {
    ServerProcess server(exes[s], data);
    const auto rss = [&server] { return server.rssMb(); };
    idle[s] = Idle(server, idleSeconds);
    for (int n = 0; n < 2; ++n) {
      oneList[s][n] = KeepAliveLoad(server.port(), rss, lists, kOneAddressClients[n], seconds, Mix::Lists, 1);
      oneSearch[s][n] = KeepAliveLoad(server.port(), rss, lists, kOneAddressClients[n], seconds, Mix::Searches, 1);
    }
    keepAlive[s] = KeepAliveLoad(server.port(), rss, lists, clients, seconds);
    SlowSockets slow(server.port(), 500);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    besideSlow[s] = KeepAliveLoad(server.port(), rss, lists, clients, seconds);
    flood[s] = UnderListenerFlood(server, 300);
    reopened[s] = slow.opened();
  }
  bool withNginx = vandrel::test::NginxProcess::Installed();
  if (withNginx) {
    vandrel::test::NginxProcess nginx([&data](int port) {
      return "  keepalive_requests 100000;\n  server {\n    listen 127.0.0.1:" + std::to_string(port) + ";\n    root " +
             vandrel::test::NginxProcess::Quoted(data) +
             ";\n    location /radio/inter/ { charset utf-8; default_type text/plain; }\n  }";
    });
    withNginx = nginx.port() > 0;
    for (int n = 0; n < 2 && withNginx; ++n) {
      nginxList[n] = KeepAliveLoad(nginx.port(), [] { return 0.0; }, lists, kOneAddressClients[n], seconds, Mix::Lists, 1);
    }
  }
  std::printf("load: ours (%s) vs peer (%s)\n", exes[0].c_str(), exes[1].c_str());
  std::printf("idle for %zu s:      ours                      peer                      ratio\n", idleSeconds);
  std::printf("  threads          %8ld                  %8ld                  %.2f\n", idle[0].threads, idle[1].threads,
              Ratio(static_cast<double>(idle[0].threads), static_cast<double>(idle[1].threads)));
  std::printf("  wake-ups/s       %8.1f                  %8.1f                  %.3f\n", idle[0].wakeupsPerSecond,
              idle[1].wakeupsPerSecond, Ratio(idle[0].wakeupsPerSecond, idle[1].wakeupsPerSecond));
  std::printf("  CPU %% of a core  %8.2f                  %8.2f                  %.3f\n", idle[0].cpuPercent,
              idle[1].cpuPercent, Ratio(idle[0].cpuPercent, idle[1].cpuPercent));
  std::printf("  RSS MB           %8.1f                  %8.1f                  %.2f\n", idle[0].rssMb, idle[1].rssMb,
              Ratio(idle[0].rssMb, idle[1].rssMb));
  std::printf("keep-alive clients from one address for %zu s (ours | peer | ours/peer | nginx):\n", seconds);
  for (int n = 0; n < 2; ++n) {
    const std::string c = std::to_string(kOneAddressClients[n]);
    OneAddressRow(c + " lists", oneList[0][n], oneList[1][n], withNginx ? &nginxList[n] : nullptr);
    OneAddressRow(c + " searches", oneSearch[0][n], oneSearch[1][n], nullptr);
  }
  std::printf("  RSS after 300 searches: %.1f MB vs %.1f MB, ratio %.2f\n", oneSearch[0][1].rssMb,
              oneSearch[1][1].rssMb, Ratio(oneSearch[0][1].rssMb, oneSearch[1][1].rssMb));
  std::printf("%zu keep-alive clients from ten addresses for %zu s:\n", clients, seconds);
  Row("", keepAlive[0], keepAlive[1], true);
  std::printf("the same with 500 slow sockets beside (re-opened %zu vs %zu times):\n", reopened[0], reopened[1]);
  Row("", besideSlow[0], besideSlow[1], true);
  std::printf("100 fresh requests (10 at a time, 1 s time-out) with 500 slow sockets and 300 tone listeners\n"
              "from one address:\n");
  Row("", flood[0], flood[1], false);
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t stations = Arg(argc, argv, "--stations", 50000, 500000);
  const std::size_t clients = Arg(argc, argv, "--clients", 300, 1000);
  std::string peer = VANDREL_DIRECTORY_EXE;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--peer") peer = argv[i + 1];
  }
  const std::size_t seconds = Arg(argc, argv, "--seconds", 10, 60);
  const std::size_t idleSeconds = Arg(argc, argv, "--idle-seconds", 10, 600);
  std::signal(SIGPIPE, SIG_IGN);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  std::string pattern = (fs::temp_directory_path() / "vandrel-directory-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path tmp = pattern;
  const fs::path dump = tmp / "stations.json";
  {
    std::ofstream out(dump, std::ios::binary);
    StationDumpGenerator::Write(out, stations);
  }
  std::printf("dump: %zu stations, %.1f MB\n", stations, static_cast<double>(fs::file_size(dump)) / 1e6);
  Import(dump, tmp / "data");
  MeasureSearch(tmp / "data");
  MeasureLoad(tmp / "data", peer, clients, seconds, idleSeconds);
  fs::remove_all(tmp);
  return 0;
}
