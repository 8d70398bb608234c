// Lists past the parser's bound, and slow and greedy clients of the server on loopback.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <vector>

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
std::string Hostile(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += "<naam>";
  return text + "</naam><url>http://after/</url>";
}

struct CannedHttp : HttpClient {
  std::string OpenURL(const std::string&) override { return Hostile(256 * 1024); }
};

struct PlainTextHolder : TextHolder {
  void setText(const std::string& text) override { text_ = text; }
  std::string text() const override { return text_; }
  std::string text_;
};

TEST(ParseBoundFaultTest, PlayerLoadersFailPastTheBoundKeepingWhatCameBefore) {
  CannedHttp http;
  PlainTextHolder holder;
  StringListBox names, urls, homepages;
  EXPECT_FALSE(LoadStationLists(http, holder, "http://x/", "holland.txt", {names, urls, homepages}));
  EXPECT_GT(names.ListCount(), 0);
  std::size_t bytes = 0;
  for (const auto& item : names.items()) bytes += item.size();
  EXPECT_LE(bytes, kMaxTaggedListValueBytes);
  EXPECT_EQ(urls.ListCount(), 0);  // the parse stopped before it

  // The chooser and the search go through the same call and see it fail.
  StringListBox countries;
  EXPECT_THROW(DownloadTaggedList(http, holder, "http://x/", {{"naam", &countries}}), TaggedListTooLarge);
  EXPECT_EQ(countries.items(), names.items());
}

TEST(ParseBoundFaultTest, ServerSkipsAndLogsAHostileListAtStartUp) {
  TempFolder data;
  data.write("radio/inter/zenders/hostile.txt", Hostile(256 * 1024));
  data.write("radio/inter/zenders/good.txt", "<naam>Good Radio</naam><url>http://good/</url>\r\n");
  DirectoryServerProcess server(data.path().string(), {"--quiet"});  // waits at most ~10 s
  const auto hits = Fetch(server.port(), "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=good");
  EXPECT_EQ(ParseTaggedList(hits.body, {"naam", "url"}),
            (std::vector<std::vector<std::string>>{{"Good Radio"}, {"http://good/"}}));
  EXPECT_NE(server.log().find("skipped"), std::string::npos) << server.log();
  EXPECT_NE(server.log().find("hostile.txt"), std::string::npos);
}

constexpr const char* kList = "/radio/inter/keuze-uk.txt";

// Connections from one client address that each sent the same bytes.
struct Sockets {
  Sockets(int port, const std::string& source, int count, const std::string& bytes) {
    for (int i = 0; i < count; ++i) all.push_back(std::make_unique<OpenConnection>(port, source, bytes));
  }
  // How many got each reply status (0: none) within timeout, and how many
  // of those carried Retry-After.
  std::map<int, int> statuses(std::chrono::milliseconds timeout, int* retryAfter = nullptr) const {
    std::map<int, int> count;
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (const auto& c : all) {
      const std::string head = c->head(std::chrono::duration_cast<std::chrono::milliseconds>(
          std::max(end - std::chrono::steady_clock::now(), {})));
      ++count[StatusOf(head)];
      if (retryAfter && head.find("\r\nRetry-After: ") != std::string::npos) ++*retryAfter;
    }
    return count;
  }
  std::size_t connected() const { return std::count_if(all.begin(), all.end(), [](const auto& c) { return c->sent; }); }
  int closed() const { return std::count_if(all.begin(), all.end(), [](const auto& c) { return c->closed(); }); }
  std::vector<std::unique_ptr<OpenConnection>> all;
};

// Slow heads past the cap, idle sockets and listeners past their share beside 300 eager clients.
TEST(DirectoryLoadFaultTest, SlowAndGreedyClientsLeaveOthersAnswered) {
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &files);
  DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--quiet"});
  const int cap = static_cast<int>(directory::HttpServer::Limits{}.unfinishedPerAddress);
  const int share = static_cast<int>(directory::DirectoryServer::kMaxListenersPerAddress);
  const std::string tone = Get("/stream/tone");
  const Sockets slow(server.port(), "127.0.0.2", cap + 20, "GET /radio");
  const Sockets idle(server.port(), "127.0.0.3", 100, Get(kList));
  const Sockets listenersA(server.port(), "127.0.0.4", 100, tone), listenersB(server.port(), "127.0.0.5", 100, tone),
      listenersC(server.port(), "127.0.0.6", 100, tone);
  ASSERT_EQ(slow.connected(), static_cast<std::size_t>(cap + 20));

  std::atomic<int> ok{0}, failed{0};
  const auto end = std::chrono::steady_clock::now() + 2s;
  std::vector<std::thread> clients;
  for (int c = 0; c < 300; ++c) {
    clients.emplace_back([&, c] {
      KeepAliveClient client("127.0.0.1", server.port());
      while (std::chrono::steady_clock::now() < end) {
        (client.get(c % 2 ? kList : "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=radio") == 200 ? ok : failed)++;
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(failed, 0);
  EXPECT_GT(ok, 300);

  int retryAfter = 0;
  std::map<int, int> listening;
  for (const Sockets* listeners : {&listenersA, &listenersB, &listenersC}) {
    for (const auto& [status, n] : listeners->statuses(3s, &retryAfter)) listening[status] += n;
  }
  EXPECT_EQ(listening, (std::map<int, int>{{200, 3 * share}, {503, 300 - 3 * share}}));
  EXPECT_EQ(retryAfter, 300 - 3 * share);
  EXPECT_EQ(idle.statuses(3s), (std::map<int, int>{{200, 100}}));
  // Past the cap at once; the rest closed, unanswered, when their heads run out of time.
  retryAfter = 0;
  EXPECT_EQ(slow.statuses(8s, &retryAfter), (std::map<int, int>{{0, cap}, {503, 20}}));
  EXPECT_EQ(retryAfter, 20);
  EXPECT_EQ(slow.closed(), cap + 20);

  // SIGTERM ends the server promptly and cleanly under its listeners; --quiet logged nothing.
  const auto stopping = std::chrono::steady_clock::now();
  EXPECT_EQ(server.terminate(10s), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 3s);
  EXPECT_EQ(server.log(), "");
}

}  // namespace
}  // namespace vandrel::test
