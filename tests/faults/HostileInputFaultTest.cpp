// Lists past the parser's bound, and slow and greedy clients of the server on loopback.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <map>
#include <thread>

#include "core/HttpClient.h"
#include "core/ListBox.h"
#include "core/TaggedList.h"
#include "core/TextHolder.h"
#include "directory/DirectoryServer.h"
#include "directory/DirectoryTestKit.h"
#include "directory/HttpServer.h"
#include "stations/StationListLoader.h"
#include "stations/TaggedListDownload.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

using namespace std::chrono_literals;

// Every opening runs to the one closing tag: about 5 GB of values from 256 KB.
std::string Hostile() {
  std::string text;
  while (text.size() < 256 * 1024) text += "<naam>";
  return text + "</naam><url>http://after/</url>";
}

TEST(ParseBoundFaultTest, PlayerLoadersFailPastTheBoundKeepingWhatCameBefore) {
  struct : HttpClient {
    std::string OpenURL(const std::string&) override { return Hostile(); }
  } http;
  struct : TextHolder {
    void setText(const std::string& text) override { held = text; }
    std::string text() const override { return held; }
    std::string held;
  } holder;
  StringListBox names, urls, homepages, countries;
  EXPECT_FALSE(LoadStationLists(http, holder, "http://x/", "holland.txt", {names, urls, homepages}));
  EXPECT_GT(names.ListCount(), 0);
  std::size_t bytes = 0;
  for (const auto& item : names.items()) bytes += item.size();
  EXPECT_LE(bytes, kMaxTaggedListValueBytes);
  EXPECT_EQ(urls.ListCount(), 0);  // the parse stopped before it
  // The chooser and the search go through the same call and see it fail.
  EXPECT_THROW(DownloadTaggedList(http, holder, "http://x/", {{"naam", &countries}}), TaggedListTooLarge);
  EXPECT_EQ(countries.items(), names.items());
}

TEST(ParseBoundFaultTest, ServerSkipsAndLogsAHostileListAtStartUp) {
  TempFolder data;
  data.write("radio/inter/zenders/hostile.txt", Hostile());
  data.write("radio/inter/zenders/good.txt", "<naam>Good Radio</naam><url>http://good/</url>\r\n");
  DirectoryServerProcess server(data.path().string(), {"--quiet"});
  const auto hits = Fetch(server.port(), "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=good");
  EXPECT_EQ(ParseTaggedList(hits.body, {"naam", "url"}),
            (std::vector<std::vector<std::string>>{{"Good Radio"}, {"http://good/"}}));
  EXPECT_NE(server.log().find("hostile.txt: its values pass"), std::string::npos) << server.log();
}

using Connections = std::vector<std::unique_ptr<OpenConnection>>;

// Connections from one client address that each sent the same bytes.
Connections Open(int port, const std::string& source, int count, const std::string& bytes) {
  Connections all;
  for (int i = 0; i < count; ++i) all.push_back(std::make_unique<OpenConnection>(port, source, bytes));
  return all;
}

// How many got each reply status (0: none) within the time, "+" when it said Retry-After.
std::map<std::string, int> Replies(const Connections& all, std::chrono::milliseconds time) {
  std::map<std::string, int> count;
  const auto end = std::chrono::steady_clock::now() + time;
  for (const auto& c : all) {
    const std::string head = c->head(std::max(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()), 0ms));
    ++count[std::to_string(StatusOf(head)) + (head.find("\r\nRetry-After: ") != std::string::npos ? "+" : "")];
  }
  return count;
}

// Slow heads past the cap, idle sockets and listeners past their share beside 300 eager clients.
TEST(DirectoryLoadFaultTest, SlowAndGreedyClientsLeaveOthersAnswered) {
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &files);
  DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--quiet"});
  const int cap = static_cast<int>(directory::HttpServer::Limits{}.unfinishedPerAddress);
  const int share = static_cast<int>(directory::DirectoryServer::kMaxListenersPerAddress);
  const std::string list = "/radio/inter/keuze-uk.txt";
  const Connections slow = Open(server.port(), "127.0.0.2", cap + 20, "GET /radio");
  const Connections idle = Open(server.port(), "127.0.0.3", 100, Get(list));
  Connections listeners;
  for (const char* source : {"127.0.0.4", "127.0.0.5", "127.0.0.6"}) {
    std::ranges::move(Open(server.port(), source, 100, Get("/stream/tone")), std::back_inserter(listeners));
  }
  std::atomic<int> ok{0}, failed{0};
  const auto end = std::chrono::steady_clock::now() + 2s;
  std::vector<std::thread> clients;
  for (int c = 0; c < 300; ++c) {
    clients.emplace_back([&, c] {
      std::unique_ptr<OpenConnection> connection;
      while (std::chrono::steady_clock::now() < end) {
        const auto target = c % 2 ? list : "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=radio";
        (GetKeptAlive(connection, server.port(), target) == 200 ? ok : failed)++;
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(failed, 0);
  EXPECT_GT(ok, 300);
  EXPECT_EQ(Replies(listeners, 3s), (std::map<std::string, int>{{"200", 3 * share}, {"503+", 300 - 3 * share}}));
  EXPECT_EQ(Replies(idle, 3s), (std::map<std::string, int>{{"200", 100}}));
  // Past the cap at once; the rest closed, unanswered, when their heads run out of time.
  EXPECT_EQ(Replies(slow, 8s), (std::map<std::string, int>{{"0", cap}, {"503+", 20}}));
  EXPECT_EQ(std::ranges::count_if(slow, [](const auto& c) { return c->closed(); }), cap + 20);
  // SIGTERM ends the server promptly and cleanly under its listeners; --quiet logged nothing.
  const auto stopping = std::chrono::steady_clock::now();
  EXPECT_EQ(server.terminate(10s), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 3s);
  EXPECT_EQ(server.log(), "");
}

}  // namespace
}  // namespace vandrel::test
