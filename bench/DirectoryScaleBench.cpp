// The station directory at scale: import time and peak memory of a generated
// dump, search latency over it, and a bounded loopback load of many clients.
//   vandrel-directory-bench [--stations N] [--clients C] [--seconds S]
#include <httplib.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "StationDumpGenerator.h"
#include "directory/DirectoryServer.h"
#include "directory/Search.h"
#include "directory/StaticFiles.h"
#include "player/TaggedList.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using vandrel::bench::StationDumpGenerator;

std::string Encode(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_') {
      out += static_cast<char>(c);
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

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

void MeasureLoad(const fs::path& data, std::size_t clients, std::size_t seconds) {
  vandrel::directory::DirectoryServer server(data, "127.0.0.1", 0, true);
  const int port = server.start();
  std::ifstream choicesFile(data / "radio" / "inter" / "keuze-uk.txt", std::ios::binary);
  const std::string choices((std::istreambuf_iterator<char>(choicesFile)), {});
  const std::vector<std::string> lists = vandrel::ParseTaggedList(choices, {"bestand"})[0];
  const std::vector<std::string> queries = Queries(200);

  std::atomic<std::size_t> ok{0};
  std::atomic<std::size_t> errors{0};
  std::atomic<std::size_t> bytes{0};
  std::vector<std::vector<double>> latencies(clients);
  const auto started = Clock::now();
  const auto deadline = started + std::chrono::seconds(seconds);
  std::vector<std::thread> threads;
  for (std::size_t c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", port);
      client.set_keep_alive(true);
      client.set_connection_timeout(10, 0);
      client.set_read_timeout(10, 0);
      client.set_decompress(false);
      for (std::size_t i = c; Clock::now() < deadline; i += clients) {
        std::string path;
        switch (i % 10) {
          case 0: path = "/radio/inter/keuze-uk.txt"; break;
          case 1: case 2: case 3: case 4: path = "/radio/inter/zenders/" + lists[i % lists.size()]; break;
          default:
            path = "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=" + Encode(queries[i % queries.size()]);
        }
        const httplib::Headers headers = i % 2 ? httplib::Headers{{"Accept-Encoding", "gzip"}} : httplib::Headers{};
        const auto t0 = Clock::now();
        const auto res = client.Get(path, headers);
        latencies[c].push_back(Ms(Clock::now() - t0));
        if (res && res->status == 200) {
          ++ok;
          bytes += res->body.size();
        } else {
          if (errors++ < 5) std::fprintf(stderr, "error: %s %s\n", path.c_str(), res ? std::to_string(res->status).c_str() : httplib::to_string(res.error()).c_str());
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  const double took = Ms(Clock::now() - started) / 1000.0;
  server.stop();
  std::vector<double> all;
  for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
  std::printf("load: %zu clients for %.1f s: %zu requests ok, %zu errors, %.0f requests/s, %.1f MB/s, "
              "latency p50 %.2f ms, p99 %.2f ms, max %.0f ms\n",
              clients, took, ok.load(), errors.load(), static_cast<double>(ok) / took,
              static_cast<double>(bytes) / took / 1e6, Percentile(all, 0.5), Percentile(all, 0.99),
              all.empty() ? 0.0 : *std::max_element(all.begin(), all.end()));
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t stations = Arg(argc, argv, "--stations", 50000, 500000);
  const std::size_t clients = Arg(argc, argv, "--clients", 200, 1000);
  const std::size_t seconds = Arg(argc, argv, "--seconds", 10, 60);
  std::signal(SIGPIPE, SIG_IGN);

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
  MeasureLoad(tmp / "data", clients, seconds);
  fs::remove_all(tmp);
  return 0;
}
