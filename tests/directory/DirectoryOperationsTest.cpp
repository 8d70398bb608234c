// The server as it runs for real: idle, behind proxies, at its file limit, on unreadable data.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ranges>
#include <regex>
#include <thread>
#include <vector>

#include "DirectoryTestKit.h"
#include "directory/DirectoryServer.h"
#include "support/DirectoryServerProcess.h"
#include "support/Nginx.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kList = "/radio/inter/keuze-uk.txt";
constexpr const char* kSearch = "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=radio";

long Count(const std::string& text, std::string_view part) {
  return std::ranges::distance(std::views::split(text, part)) - 1;
}

// Threads and wake-ups after start-up settles; no client at all.
TEST(DirectoryIdleTest, AnIdleServerSleepsOnAFewThreads) {
  DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--quiet"});
  ASSERT_EQ(Fetch(server.port(), kList).status, 200);
  const fs::path tasks = "/proc/" + std::to_string(server.pid()) + "/task";
  const auto wakeUps = [&] {  // of every thread
    long total = 0;
    for (const auto& task : fs::directory_iterator(tasks)) {
      const std::string status = ReadFile(task.path() / "status");
      for (const char* key : {"\nvoluntary_ctxt_switches:", "\nnonvoluntary_ctxt_switches:"}) {
        total += std::atol(status.c_str() + status.find(key) + std::strlen(key));
      }
    }
    return total;
  };
  std::this_thread::sleep_for(500ms);
  const long before = wakeUps();
  std::this_thread::sleep_for(2s);
  const long cores = std::max(1u, std::thread::hardware_concurrency());
  EXPECT_LE(std::distance(fs::directory_iterator(tasks), {}), 2 * cores + 4);
  EXPECT_LE(wakeUps() - before, 5);  // a thread that polled every 100 ms would alone make 20
}

// A trusted proxy's word names the client, anyone else's is ignored; the tone's share counts them apart.
TEST(DirectoryClientAddressTest, OnlyATrustedProxyNamesTheClient) {
  DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--trusted-proxy", "127.0.0.2"});
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"127.0.0.2", "X-Forwarded-For: 203.0.113.9, 10.1.2.3\r\n", "10.1.2.3"},
      {"127.0.0.2", "X-Real-IP: 10.9.8.7\r\n", "10.9.8.7"},
      {"127.0.0.2", "X-Forwarded-For: ::ffff:10.4.4.4\r\n", "10.4.4.4"},
      {"127.0.0.2", "X-Forwarded-For: <b>me</b>\r\n", "127.0.0.2"},
      {"127.0.0.2", "", "127.0.0.2"},
      {"127.0.0.3", "X-Forwarded-For: 10.1.2.3\r\nX-Real-IP: 10.1.2.3\r\n", "127.0.0.3"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& [source, headers, client] = cases[i];
    const std::string target = std::string(kList) + "?case=" + std::to_string(i);
    EXPECT_EQ(OpenConnection(server.port(), source, Get(target, headers)).status(5s), 200);
    EXPECT_TRUE(PollUntil([&] { return server.log().find(client + " GET " + target + " 200") != std::string::npos; },
                          2000)) << headers << server.log();
  }
  // The share per socket address is DirectoryLoadFaultTest's.
  std::vector<std::unique_ptr<OpenConnection>> listeners;
  for (std::size_t i = 0; i < directory::DirectoryServer::kMaxListenersPerAddress + 4; ++i) {
    listeners.push_back(std::make_unique<OpenConnection>(
        server.port(), "127.0.0.2", Get("/stream/tone", "X-Forwarded-For: 10.0.0." + std::to_string(i + 1) + "\r\n")));
  }
  for (const auto& l : listeners) EXPECT_EQ(l->status(5s), 200);
}

// The soft limit goes up to the hard one; there, new clients wait for a free descriptor, said once.
TEST(DirectoryFileLimitTest, AtTheOpenFileLimitNewClientsWaitForAFreeDescriptor) {
  {
    DirectoryServerProcess raised(VANDREL_SHIPPED_DIRECTORY_DATA, {"--quiet"}, {"prlimit", "--nofile=40:4096"});
    const std::string limits = ReadFile("/proc/" + std::to_string(raised.pid()) + "/limits");
    EXPECT_TRUE(std::regex_search(limits, std::regex("Max open files +4096 +4096"))) << limits;
  }
  DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--quiet"}, {"prlimit", "--nofile=40:40"});
  const std::string warning = "out of file descriptors";
  std::vector<std::unique_ptr<OpenConnection>> clients;
  std::unique_ptr<OpenConnection> waiting;
  for (int i = 0; i < 60 && !waiting; ++i) {
    auto request = std::make_unique<OpenConnection>(server.port(), "127.0.0.1", Get(kList));
    if (request->status(2s) == 200) {
      clients.push_back(std::move(request));
    } else if (PollUntil([&] { return server.log().find(warning) != std::string::npos; }, 2000)) {
      waiting = std::move(request);
    }
  }
  ASSERT_TRUE(waiting) << server.log();
  ASSERT_GE(clients.size(), 2u);
  for (const auto& client : {clients.front().get(), clients.back().get()}) {
    client->send(Get(kSearch));
    EXPECT_EQ(client->status(5s), 200);
  }
  clients.erase(clients.begin() + 1);  // one descriptor comes free
  EXPECT_EQ(waiting->status(5s), 200);
  EXPECT_EQ(Count(server.log(), warning), 1) << server.log();
}

// Said at start, refused as such, never "not found"; as root it runs as nobody, for whom modes count.
TEST(DirectoryDataWarningTest, UnreadableDataIsSaidAtStartAndAnsweredWith403) {
  TempFolder tmp("unreadable");
  fs::permissions(tmp.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  tmp.write("data/radio/inter/keuze-uk.txt", "<naam>Open</naam><bestand>open.txt</bestand>\r\n");
  tmp.write("data/radio/inter/zenders/open.txt", "<naam>Open FM</naam><url>http://open/</url>\r\n");
  fs::permissions(tmp.write("data/radio/inter/zenders/locked.txt", "<naam>L</naam><url>http://l/</url>\r\n"),
                  fs::perms::none);
  fs::create_directories(tmp / "empty");
  tmp.write("closed/radio/inter/zenders/a.txt", "<naam>A</naam><url>http://a/</url>\r\n");
  fs::permissions(tmp / "closed", fs::perms::none);
  const std::vector<std::string> asNobody =
      ::geteuid() == 0 ? std::vector<std::string>{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}
                       : std::vector<std::string>{};

  DirectoryServerProcess server((tmp / "data").string(), {"--quiet"}, asNobody);
  EXPECT_EQ(Fetch(server.port(), "/radio/inter/zenders/locked.txt").status, 403);
  EXPECT_EQ(Fetch(server.port(), "/radio/inter/zenders/open.txt").status, 200);
  EXPECT_EQ(Count(server.log(), "warning"), 1) << server.log();
  EXPECT_NE(server.log().find("locked.txt"), std::string::npos) << server.log();
  for (const std::string folder : {"empty", "closed"}) {
    DirectoryServerProcess bare((tmp / folder).string(), {"--quiet"}, asNobody);
    EXPECT_NE(bare.log().find("search index is empty"), std::string::npos) << folder << ": " << bare.log();
    EXPECT_EQ(bare.log().find("cannot read the data folder") != std::string::npos, folder == "closed") << bare.log();
  }
}

// The README's nginx block before two servers: 300 keep-alive clients, every answer whole, both at work.
TEST(DirectoryScaleOutTest, NginxAsTheReadmeConfiguresItServesEveryoneThroughTwoServers) {
  if (!NginxProcess::Installed()) GTEST_SKIP() << "nginx is not installed";
  const std::string readme = ReadFile(fs::path(VANDREL_SHIPPED_DATA).parent_path() / "README.md");
  const std::size_t start = readme.find("```nginx\n") + 9;
  ASSERT_GT(start, 8u);
  const std::string data = VANDREL_SHIPPED_DIRECTORY_DATA;
  DirectoryServerProcess first(data, {"--trusted-proxy", "127.0.0.1"}), second(data, {"--trusted-proxy", "127.0.0.1"});
  NginxProcess nginx([&](int port) {
    std::string config = readme.substr(start, readme.find("```", start) - start);
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"listen 80;", "listen 127.0.0.1:" + std::to_string(port) + ";"},
             {"/srv/vandrel", data},
             {"127.0.0.1:8470", "127.0.0.1:" + std::to_string(first.port())},
             {"127.0.0.1:8471", "127.0.0.1:" + std::to_string(second.port())}}) {
      config.replace(config.find(from), from.size(), to);
    }
    return config;
  });
  ASSERT_GT(nginx.port(), 0) << nginx.log();
  std::atomic<int> ok{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 300; ++c) {
    clients.emplace_back([&, c] {
      std::unique_ptr<OpenConnection> connection;
      for (int i = 0; i < 10; ++i) ok += GetKeptAlive(connection, nginx.port(), (c + i) % 2 ? kList : kSearch) == 200;
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(ok, 3000) << nginx.log();
  for (const DirectoryServerProcess* server : {&first, &second}) {
    EXPECT_GT(Count(server->log(), "127.0.0.1 GET /radio/inter/zenders/radio-lijst-zoek.php"), 100);
  }
}

}  // namespace
}  // namespace vandrel::test
