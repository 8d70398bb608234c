// Hostile input, slow and greedy clients, and writers that crash, race or are refused, against the real pieces.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <map>
#include <set>
#include <thread>

#include "core/HttpClient.h"
#include "core/ListBox.h"
#include "core/TaggedList.h"
#include "core/TextHolder.h"
#include "directory/DirectoryImport.h"
#include "directory/DirectoryServer.h"
#include "directory/DirectoryTestKit.h"
#include "directory/HttpServer.h"
#include "stations/StationListLoader.h"
#include "stations/TaggedListDownload.h"
#include "support/ChildProcess.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using directory::DirectoryImport;

std::string Hostile() {  // every opening runs to the one closing tag: about 5 GB of values from 256 KB
  std::string text;
  while (text.size() < 256 * 1024) text += "<naam>";
  return text + "</naam><url>http://after/</url>";
}

TEST(ParseBoundFaultTest, PlayerLoadersFailPastTheBoundKeepingWhatCameBefore) {
  struct : HttpClient { std::string OpenURL(const std::string&) override { return Hostile(); } } http;
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

// Said at start: unreadable lists refused as such (never "not found"), over-bound ones skipped; root serves as nobody.
TEST(DirectoryDataFaultTest, UnreadableAndHostileListsAreSaidAtStartAndNotServed) {
  TempFolder tmp("unreadable");
  fs::permissions(tmp.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  tmp.write("data/radio/inter/keuze-uk.txt", "<naam>Open</naam><bestand>open.txt</bestand>\r\n");
  tmp.write("data/radio/inter/zenders/open.txt", "<naam>Open FM</naam><url>http://open/</url>\r\n");
  tmp.write("data/radio/inter/zenders/hostile.txt", Hostile());
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
  EXPECT_EQ(ParseTaggedList(Fetch(server.port(), std::string(kSearch) + "?zoeken=open").body, {"naam", "url"}),
            (std::vector<std::vector<std::string>>{{"Open FM"}, {"http://open/"}}));
  const std::string log = server.log();
  EXPECT_TRUE(Count(log, "warning") == 1 && Count(log, "locked.txt") == 1 &&
              Count(log, "hostile.txt: its values pass") == 1) << log;
  for (const std::string folder : {"empty", "closed"}) {
    DirectoryServerProcess bare((tmp / folder).string(), {"--quiet"}, asNobody);
    EXPECT_NE(bare.log().find("search index is empty"), std::string::npos) << folder << ": " << bare.log();
    EXPECT_EQ(bare.log().find("cannot read the data folder") != std::string::npos, folder == "closed") << bare.log();
  }
}

using Connections = std::vector<std::unique_ptr<OpenConnection>>;

// Connections from one client address that each sent the same bytes.
Connections Open(int port, const std::string& source, int count, const std::string& bytes) {
  Connections all(static_cast<std::size_t>(count));
  for (auto& c : all) c = std::make_unique<OpenConnection>(port, source, bytes);
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

// Asleep on few threads when idle; busy, slow heads past the cap, idle sockets and greedy listeners beside 300 clients.
TEST(DirectoryLoadFaultTest, AnIdleServerSleepsAndSlowAndGreedyClientsLeaveOthersAnswered) {
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files), files.rlim_cur = files.rlim_max, ::setrlimit(RLIMIT_NOFILE, &files);
  DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--quiet"});
  ASSERT_EQ(Fetch(server.port(), kList).status, 200);
  std::this_thread::sleep_for(500ms);
  const long before = ContextSwitches(server.pid());
  std::this_thread::sleep_for(2s);
  const long cores = std::max(1u, std::thread::hardware_concurrency());
  EXPECT_LE(StatusField("/proc/" + std::to_string(server.pid()) + "/status", "Threads:"), 2 * cores + 4);
  EXPECT_LE(ContextSwitches(server.pid()) - before, 5);  // a thread that polled every 100 ms would alone make 20
  const int cap = static_cast<int>(directory::HttpServer::Limits{}.unfinishedPerAddress);
  const int share = static_cast<int>(directory::DirectoryServer::kMaxListenersPerAddress);
  Connections slow = Open(server.port(), "127.0.0.2", cap + 20, "GET /radio");
  Connections idle = Open(server.port(), "127.0.0.3", 100, Get(kList));
  Connections listeners;
  for (const char* source : {"127.0.0.4", "127.0.0.5", "127.0.0.6"})
    std::ranges::move(Open(server.port(), source, 100, Get("/stream/tone")), std::back_inserter(listeners));
  std::atomic<int> ok{0}, failed{0};
  const auto end = std::chrono::steady_clock::now() + 2s;
  std::vector<std::thread> clients;
  for (int c = 0; c < 300; ++c)
    clients.emplace_back([&, c] {
      KeepAliveClient client("127.0.0.1", server.port());
      while (std::chrono::steady_clock::now() < end)
        (client.get(c % 2 ? kList : std::string(kSearch) + "?zoeken=radio") == 200 ? ok : failed)++;
    });
  for (auto& t : clients) t.join();
  EXPECT_EQ(failed, 0);
  EXPECT_GT(ok, 300);
  EXPECT_EQ(Replies(listeners, 3s), (std::map<std::string, int>{{"200", 3 * share}, {"503+", 300 - 3 * share}}));
  EXPECT_EQ(Replies(idle, 3s), (std::map<std::string, int>{{"200", 100}}));
  // Past the cap at once; the rest closed, unanswered, when their heads run out of time.
  EXPECT_EQ(Replies(slow, 8s), (std::map<std::string, int>{{"0", cap}, {"503+", 20}}));
  EXPECT_EQ(std::ranges::count_if(slow, [byte = char()](const auto& c) mutable {
              const ssize_t n = ::recv(c->fd, &byte, 1, MSG_DONTWAIT);
              return n == 0 || (n < 0 && errno == ECONNRESET);
            }), cap + 20);
  // Asleep again once all have gone, the tone's pacer too.
  slow.clear(), idle.clear(), listeners.clear();
  std::this_thread::sleep_for(1s);
  const long after = ContextSwitches(server.pid());
  std::this_thread::sleep_for(2s);
  EXPECT_LE(ContextSwitches(server.pid()) - after, 5);
  // SIGTERM ends the server promptly and cleanly under its listeners; --quiet logged nothing.
  const auto stopping = std::chrono::steady_clock::now();
  EXPECT_EQ(server.terminate(10s), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 3s);
  EXPECT_EQ(server.log(), "");
}

// A refused dump leaves the last import, a good one replaces it; a folder no import wrote is kept.
TEST(ImportFaultTest, RefusedImportsWriteNothing) {
  TempFolder tmp;
  const fs::path out = tmp.path() / "data";
  const auto run = [&](const std::string& dump, const fs::path& to) { return DirectoryImport::Run(tmp.write("dump.json", dump), to); };
  const auto snapshot = [&] {  // every file below out with its content
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(out))
      files.insert(e.path().string() + (e.is_regular_file() ? ReadFile(e.path()) : ""));
    return files;
  };
  run(R"([{"name": "Old", "url": "http://old.example/", "countrycode": "NL"}])", out);
  const auto before = snapshot();
  for (const std::string& bad : std::vector<std::string>{
           R"([{"name": "Cut off", "url": "http://a/")", R"({"name": "not a list"})", R"(["just text"])", "",
           R"([{"name": "x", "url": "http://a/"}] trailing)", "[{\"name\": \"bad \xff\", \"url\": \"http://a/\"}]",
           R"([{"name": "all fail", "url": "http://a/", "lastcheckok": 0}])",
           R"([{"url": "http://a/", "deep": )" + std::string(100000, '[') + std::string(100000, ']') + "}]"}) {
    EXPECT_THROW(run(bad, out), std::runtime_error) << bad.substr(0, 60);
    EXPECT_EQ(snapshot(), before) << bad.substr(0, 60);
  }
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{"data", "dump.json"}));
  run(R"([{"name": "New", "url": "http://new.example/", "countrycode": "BE"}])", out);
  EXPECT_EQ(Names(out / "radio/inter/zenders"), std::vector<std::string>{"belgium.txt"});

  tmp.write("mine/index.html", "mine"), tmp.write("file", "x");
  for (const char* to : {"mine", "file"}) EXPECT_THROW(run(R"([{"url": "http://a/"}])", tmp / to), std::runtime_error);
  EXPECT_THROW(DirectoryImport::Run(tmp / "missing.json", tmp / "new"), std::runtime_error);
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{"data", "dump.json", "file", "mine"}));
  EXPECT_EQ(ReadFile(tmp / "mine/index.html"), "mine");
}

// Temporaries of killed imports go with the next one; a running one keeps its own.
TEST(ImportFaultTest, KilledImportsLeaveNothingPastTheNextImport) {
  TempFolder tmp;
  std::string stations = "[";
  for (int i = 0; i < 20000; ++i) {
    const std::string n = std::to_string(i);
    stations += (i ? R"(,{"name": "S)" : R"({"name": "S)") + n + R"(", "url": "http://s/)" + n +
                R"(", "countrycode": "C)" + std::to_string(i % 97) + R"(", "tags": "a,b"})";
  }
  const std::string dump = tmp.write("dump.json", stations + "]").string();
  const std::vector<std::string> import = {VANDREL_DIRECTORY_EXE, "import", dump, "--out", (tmp / "data").string()};
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ChildProcess(import).Wait(std::chrono::seconds(30)), 0);
  const auto whole = std::chrono::steady_clock::now() - started;
  for (int k = 1; k <= 8; ++k) {
    ChildProcess killed(import);
    std::this_thread::sleep_for(whole * k / 8);
    killed.Signal(SIGKILL);
  }
  // An import still at work, as far as its lock tells.
  const fs::path running = tmp / ".data.import-Live01";
  fs::create_directory(running);
  const int lock = ::open(running.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  EXPECT_EQ(ChildProcess(import).Wait(std::chrono::seconds(30)), 0);
  ::close(lock);
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{".data.import-Live01", "data", "dump.json"}));
  EXPECT_TRUE(fs::exists(tmp / "data" / DirectoryImport::kIndexFile));
}

}  // namespace
}  // namespace vandrel::test
