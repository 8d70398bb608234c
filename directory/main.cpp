// vandrel-directory: the station directory server of Vandrel Internet Radio
// and the importer of its data.
#include <arpa/inet.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "directory/DirectoryImport.h"
#include "directory/DirectoryServer.h"

namespace {

constexpr const char* kUsage =
    "usage: vandrel-directory serve DIR [--host HOST] [--port PORT] [--quiet] [--trusted-proxy ADDRESS]...\n"
    "  Serves the station directory in folder DIR over HTTP.\n"
    "  --host HOST  address to listen on (default 127.0.0.1)\n"
    "  --port PORT  port to listen on, 0 for any free one (default 8470)\n"
    "  --quiet      do not log requests to stderr\n"
    "  --trusted-proxy ADDRESS  a reverse proxy whose X-Forwarded-For or\n"
    "               X-Real-IP names the client (may be repeated)\n"
    "       vandrel-directory import DUMP.json --out DIR\n"
    "  Turns a community radio directory dump (a JSON array of stations) into\n"
    "  data folder DIR: one station list per country, the country list and the\n"
    "  search index. DIR is replaced only when the import succeeds.\n";

int Usage(const std::string& problem) {
  std::cerr << "vandrel-directory: " << problem << "\n" << kUsage;
  return 2;
}

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  port = std::stoi(text);
  return port <= 65535;
}

int Import(const std::vector<std::string>& args) {
  std::string dump;
  std::string out;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--out") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return Usage("--out needs a folder");
      out = args[++i];
    } else if (args[i].rfind("--", 0) == 0 || !dump.empty()) {
      return Usage("unexpected argument " + args[i]);
    } else {
      dump = args[i];
    }
  }
  if (dump.empty()) return Usage("no dump file given");
  if (out.empty()) return Usage("no --out folder given");
  try {
    const auto s = vandrel::directory::DirectoryImport::Run(dump, out);
    std::printf("imported %zu stations in %zu countries from %zu entries "
                "(left out: %zu failed their check, %zu without a web address; %zu duplicates merged)\n",
                s.kept, s.countries, s.read, s.failedCheck, s.noAddress, s.merged);
  } catch (const std::exception& e) {
    std::cerr << "vandrel-directory: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "import") return Import(args);
  if (args.empty() || args[0] != "serve") return Usage(args.empty() ? "no command given" : "unknown command " + args[0]);
  std::string dir;
  std::string host = "127.0.0.1";
  int port = 8470;
  bool quiet = false;
  std::vector<std::string> proxies;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--quiet") {
      quiet = true;
    } else if (a == "--host" || a == "--port" || a == "--trusted-proxy") {
      if (i + 1 >= args.size()) return Usage(a + " needs a value");
      const std::string& value = args[++i];
      if (a == "--trusted-proxy") {
        unsigned char address[sizeof(in6_addr)];
        if (inet_pton(AF_INET, value.c_str(), address) != 1 && inet_pton(AF_INET6, value.c_str(), address) != 1) {
          return Usage("--trusted-proxy needs an IP address, not " + value);
        }
        proxies.push_back(value);
      } else if (a == "--host") {
        if (value.empty()) return Usage("empty host");
        host = value;
      } else if (!ParsePort(value, port)) {
        return Usage("bad port " + value);
      }
    } else if (a.rfind("--", 0) == 0 || !dir.empty()) {
      return Usage("unexpected argument " + a);
    } else {
      dir = a;
    }
  }
  if (dir.empty()) return Usage("no data folder given");

  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    std::cerr << "vandrel-directory: data folder not found: " << dir << "\n";
    return 1;
  }

  // Blocked before any thread starts, so only sigwait below sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  // Each client is a descriptor; the soft limit (often 1024) is only a default.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  try {
    vandrel::directory::DirectoryServer server(dir, host, port, quiet, proxies);
    const int bound = server.start();
    const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    std::printf("listening on http://%s:%d/\n", shownHost.c_str(), bound);
    std::fflush(stdout);
    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
  } catch (const std::exception& e) {
    std::cerr << "vandrel-directory: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
