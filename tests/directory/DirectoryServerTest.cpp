// The built server as its own process on loopback: routes, caching, search, hostile requests, tone.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <thread>

#include "DirectoryTestKit.h"
#include "core/Gunzip.h"
#include "core/TaggedList.h"
#include "directory/DirectoryImport.h"
#include "directory/ToneStream.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using directory::ToneStream;

constexpr const char* kBig = "/radio/inter/zenders/big.txt";
constexpr const char* kLocal = "/radio/inter/zenders/local.txt";
constexpr const char* kSecret = "TOP-SECRET-OUTSIDE";

std::string Line(const std::string& name, const std::string& url) { return "<naam>" + name + "</naam><url>" + url + "</url>\r\n"; }

std::string ManyStations(const std::string& word) {  // more than one search answer may hold
  std::string list;
  for (int i = 0; i < 250; ++i) list += Line(word + " " + std::to_string(i), "http://s/" + std::to_string(i));
  return list;
}

// No search index (names only), a secret beside the folder and symlinks leading in and out.
class DirectoryRoutesTest : public ::testing::Test {
 protected:
  DirectoryRoutesTest() {
    write("radio/inter/keuze-uk.txt", "<naam>R&B <Land></naam><bestand>big.txt</bestand>\r\n");
    write("radio/inter/zenders/big.txt", ManyStations("Station"));
    write("radio/inter/zenders/local.txt", Line("Tone", "{{base}}stream/tone"));
    const std::string rock = Line("Rock & Roll Radio", "http://one/");  // b before a: name order is not creation order
    write("radio/inter/zenders/b.txt", rock + Line("ROCK & ROLL Classics", "{{base}}classics"));
    write("radio/inter/zenders/a.txt", rock + Line("Jazz+Blues", "http://jazz/") + Line("Zürich Eins", "http://z/") +
                                           rock + "<naam>Rock & Roll Nameless</naam>\r\n");
    write("radio/inter/zenders/notes.md", Line("Rock & Roll Notes", "http://notes/"));
    write("ecards/index.html", "<h1>E-cards</h1>");
    tmp_.write("secret.txt", kSecret);
    fs::create_symlink(tmp_.path() / "secret.txt", data() / "leak.txt");
    fs::create_directory_symlink(tmp_.path(), data() / "outside");
    fs::create_symlink(data() / "radio/inter/keuze-uk.txt", data() / "inside.txt");
    server_.emplace(data().string());
  }

  fs::path data() const { return tmp_.path() / "data"; }
  int port() const { return server_->port(); }
  void write(const std::string& file, const std::string& text) const { tmp_.write("data/" + file, text); }
  httplib::Response get(const std::string& target, const httplib::Headers& headers = {}) { return Fetch(port(), target, headers); }
  std::string raw(const std::string& requestLine, const std::string& headers = "Host: x\r\n") {
    return RawExchange(port(), requestLine + " HTTP/1.1\r\n" + headers + "\r\n");
  }
  bool servesList(const std::string& target) { return get(target).body.ends_with("<bestand>big.txt</bestand>\r\n"); }

  TempFolder tmp_;
  std::optional<DirectoryServerProcess> server_;
};
using DirectorySafetyTest = DirectoryRoutesTest;

TEST_F(DirectoryRoutesTest, RoutesAnswerWithTheirStatus) {
  const std::string site = "/radio/inter/website/index.php";
  for (const auto& [method, target, status, carries] :
       std::vector<std::tuple<std::string, std::string, int, std::string>>{
           {"GET", kList, 200, "Content-Type: text/plain; charset=utf-8\r\n"},
           {"GET", "/ecards/", 200, "Content-Type: text/html; charset=utf-8\r\n"},
           {"GET", "/ecards", 301, "Location: /ecards/\r\n"}, {"GET", "/", 302, "Location: " + site + "?wat=home\r\n"}, {"GET", "/radio/atlantis.txt", 404, "\r\n\r\n404 Not Found"},
           {"GET", site + "?wat=home&lang=nederlands", 200, "Landen"}, {"GET", site + "?wat=nonsense", 400, ""},
           {"GET", site + "?wat=home&lang=klingon", 200, "<li>R&amp;B &lt;Land&gt;</li>"}, {"POST", kList, 405, ""}}) {
    const std::string reply = raw(method + " " + target, "Host: x\r\nContent-Length: 0\r\n");
    EXPECT_TRUE(StatusOf(reply) == status && reply.find(carries) != std::string::npos) << target << ": " << reply;
  }
}

// Lists naming this server carry the client's address for it when safe, and a tag of their own.
TEST_F(DirectoryRoutesTest, ListsNameTheServerByAValidHostHeaderOnly) {
  for (const auto& [host, named] : std::vector<std::pair<std::string, std::string>>{
           {"radio.example:9000", "http://radio.example:9000/"}, {"[::1]:8470", "http://[::1]:8470/"},
           {"evil.example/x", ""}, {"x:99999999", ""}, {"[::1]x", ""}}) {  // hostile ones: its own address
    const std::string reply = raw(std::string("GET ") + kLocal, "Host: " + host + "\r\n");
    const auto start = reply.find("<url>") + 5;
    EXPECT_EQ(reply.substr(start, reply.find("stream/tone</url>") - start), named.empty() ? server_->baseAddress() : named);
  }
  const std::string etag = get(kLocal, {{"Host", "one.example"}}).get_header_value("ETag");
  EXPECT_EQ(get(kLocal, {{"Host", "one.example"}, {"If-None-Match", etag}}).status, 304);
  EXPECT_EQ(get(kLocal, {{"Host", "two.example"}, {"If-None-Match", etag}}).status, 200);
}

TEST_F(DirectoryRoutesTest, ListsCarryValidatorsAndAnswerConditionalRequests) {
  const auto plain = get(kBig);
  const std::string etag = plain.get_header_value("ETag"), modified = plain.get_header_value("Last-Modified");
  EXPECT_TRUE(modified.ends_with(" GMT")) << modified;
  for (const auto& [header, value, status] : std::vector<std::tuple<std::string, std::string, int>>{
           {"If-None-Match", "\"other\", " + etag, 304}, {"If-None-Match", "\"other\"", 200},
           {"If-Modified-Since", modified, 304}, {"If-Modified-Since", "Thu, 01 Jan 1998 00:00:00 GMT", 200},
           {"If-Modified-Since", "yesterday", 200}}) {
    const auto reply = get(kBig, {{header, value}});
    EXPECT_TRUE(reply.status == status && reply.body.empty() == (status == 304)) << header << ": " << value;
  }
  // A changed file of the same size is read afresh: the old tag no longer matches.
  std::this_thread::sleep_for(20ms);
  write("radio/inter/zenders/big.txt", ManyStations("Changed"));
  EXPECT_EQ(get(kBig, {{"If-None-Match", etag}}).body, ManyStations("Changed"));
  fs::remove(data() / "radio/inter/zenders/big.txt");
  EXPECT_EQ(get(kBig).status, 404);
}

TEST_F(DirectoryRoutesTest, GzipOnlyWhenTheClientTakesIt) {
  for (const char* accepts : {"gzip", "deflate, gzip;q=0.5", "*", "br, GZIP"}) {
    const auto zipped = get(kBig, {{"Accept-Encoding", accepts}});
    EXPECT_EQ(zipped.get_header_value("Content-Encoding") + zipped.get_header_value("Vary"), "gzipAccept-Encoding");
    EXPECT_EQ(Gunzip(zipped.body, 1 << 20), ManyStations("Station")) << accepts;  // the player's own unpacker
  }
  for (const char* refuses : {"", "*;q=0", "gzip; q=0.000"}) {
    const auto plain = get(kBig, {{"Accept-Encoding", refuses}});
    EXPECT_TRUE(!plain.has_header("Content-Encoding") && plain.body == ManyStations("Station")) << refuses;
  }
  // HEAD tells the length GET sends, packed or not.
  for (const std::string accepts : {"identity", "gzip"}) {
    const std::string head = raw(std::string("HEAD ") + kBig, "Host: x\r\nAccept-Encoding: " + accepts + "\r\n");
    const std::string length = std::to_string(get(kBig, {{"Accept-Encoding", accepts}}).body.size());
    EXPECT_TRUE(head.ends_with("\r\n\r\n") && head.find("Content-Length: " + length + "\r") != std::string::npos) << head;
  }
  const auto search = get(std::string(kSearch) + "?zoeken=station", {{"Accept-Encoding", "gzip"}});
  EXPECT_EQ(Gunzip(search.body, 1 << 20), get(std::string(kSearch) + "?zoeken=station").body);
}

// Names only, each station once, lists in name order, at most 200 hits.
TEST_F(DirectoryRoutesTest, SearchFindsNamesInFileOrderOnce) {
  const std::string rock = Line("Rock & Roll Radio", "http://one/"), jazz = Line("Jazz+Blues", "http://jazz/");
  const std::string classics = Line("ROCK & ROLL Classics", server_->baseAddress() + "classics");
  for (const auto& [query, hits] : std::vector<std::pair<std::string, std::string>>{
           {"?zoeken=rock%20%26%20roll", rock + classics}, {"?zoeken=jazz%2Bblues", jazz}})
    EXPECT_EQ(get(kSearch + query).body, hits) << query;
  const std::string all = get(std::string(kSearch) + "?zoeken=").body, zurich = Line("Zürich Eins", "http://z/");
  EXPECT_TRUE(all.starts_with(rock + jazz + zurich + classics + Line("Station 0", "http://s/0"))) << all.substr(0, 400);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 200);
}

TEST_F(DirectorySafetyTest, NothingOutsideTheFolderIsServed) {
  for (const char* target :
       {"/../secret.txt", "/radio/../../secret.txt", "/%2E%2E/secret.txt", "/radio/%2e%2e%2f%2e%2e%2fsecret.txt",
        "/radio%2f..%2f..%2fsecret.txt", "/..%5csecret.txt",
        "/radio\\..\\..\\secret.txt", "//etc/passwd", "/%2fetc/passwd", "/leak.txt", "/outside/secret.txt",
        "/leak.txt%00.html", "/%u002e%u002e/secret.txt", "http://127.0.0.1/../secret.txt"}) {
    const std::string reply = raw("GET " + std::string(target));
    EXPECT_TRUE(StatusOf(reply) == 400 || StatusOf(reply) == 404) << target << " gave " << StatusOf(reply);
    EXPECT_TRUE(reply.find(kSecret) == std::string::npos && reply.find("root:") == std::string::npos) << target;
  }
  EXPECT_TRUE(servesList("/inside.txt"));  // symlinks are followed as long as they stay inside
}

// Over-long heads are answered before the connection closes; garbage is refused or dropped (status 0).
TEST_F(DirectorySafetyTest, OversizedGarbageAndMalformedRequestsAreRefusedAndTheServerGoesOn) {
  std::string manyHeaders, noise(64 * 1024, '\0');
  for (int i = 0; i < 20000; ++i) manyHeaders += "X-H" + std::to_string(i) + ": v\r\n";
  std::mt19937 random(7);
  for (char& c : noise) c = static_cast<char>(random());
  const std::string list = std::string("GET ") + kList + " HTTP/1.1\r\nHost: x\r\n";
  const std::string search = kSearch;
  for (const auto& [request, status] : std::vector<std::pair<std::string, int>>{
           {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n", 414}, {"GET /" + std::string(100000, 'a'), 414},
           {"GET / HTTP/1.1\r\nX-Big: " + std::string(20000, 'b') + "\r\n\r\n", 431},
           {"GET / HTTP/1.1\r\n" + manyHeaders + "\r\n", 431},
           {list + "Content-Length: 10000000\r\n\r\n" + std::string(100000, 'c'), 413},
           {noise, 0}, {"\r\n\r\n\r\n", 0}, {"GET /", 0}, {"GET / HTTP/9.9\r\n\r\n", 0}, {"BREW / HTTP/1.1\r\n\r\n", 0},
           {"GET /a?b?c HTTP/1.1\r\n\r\n", 0},
           {"GET /ecards/ HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 0},
           {Get(search + "?zoeken=%zz"), 400}, {Get(search + "?zoeken=%u0041"), 400}, {Get(search + "?zoeken=%4"), 400},
           {Get(search), 400}}) {
    const std::string reply = RawExchange(port(), request, 3s);
    EXPECT_TRUE(status ? StatusOf(reply) == status : reply.empty() || StatusOf(reply) >= 400)
        << request.substr(0, 40) << " gave " << StatusOf(reply);
  }
  // The unread body must not be mistaken for a second request.
  const std::string smuggled = RawExchange(port(), list + "Content-Length: 30\r\n\r\nGET /leak.txt HTTP/1.1\r\n\r\n\r\n");
  EXPECT_TRUE(StatusOf(smuggled) == 200 && smuggled.find("HTTP/1.1", 8) == std::string::npos) << smuggled;
  EXPECT_TRUE(servesList(kList));
}

// Its metadata, when asked for, reaches a real player in MpvPlayerTest.
TEST_F(DirectoryRoutesTest, ToneStreamsInRealTimeUntilTheListenerLeaves) {
  const std::size_t kSecond = ToneStream::kBytesPerSecond;
  httplib::Client client("127.0.0.1", port());
  client.set_read_timeout(20, 0);
  const auto start = std::chrono::steady_clock::now();
  auto reply = client.Get("/stream/tone?seconds=4");
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(reply);
  EXPECT_TRUE(reply->get_header_value("Content-Type") == "audio/wav" && !reply->has_header("icy-metaint"));
  EXPECT_EQ(reply->body.size(), ToneStream::kHeaderBytes + 4 * kSecond);
  EXPECT_TRUE(took.count() > 1.5 && took.count() < 15.0) << took.count();  // two seconds at once, two as they play
  EXPECT_EQ(get("/stream/tone?seconds=soon").status, 400);
  std::size_t received = 0;  // an endless stream ends with its listener, and the server goes on
  client.Get("/stream/tone", [&](const char*, std::size_t n) { return (received += n) < 2 * kSecond; });
  EXPECT_GE(received, 2 * kSecond);
  EXPECT_TRUE(servesList(kList));
}

// Each fails before it serves, telling why.
TEST(DirectoryCommandLineTest, BadCommandLinesMissingFoldersAndTakenPortsAreErrors) {
  const std::string dir = VANDREL_SHIPPED_DIRECTORY_DATA, usage = "usage: vandrel-directory serve DIR";
  DirectoryServerProcess first;  // a second server on its port must fail instead of sharing it
  const TempFolder tmp;
  for (const auto& [args, exitCode, says] : std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
           {{}, 2, usage}, {{"serve"}, 2, usage}, {{"serve", dir, "--port", "http"}, 2, usage},
           {{"serve", dir, "--port", "70000"}, 2, usage}, {{"serve", dir, "--host"}, 2, usage},
           {{"serve", dir, "--loud"}, 2, usage}, {{"import", "dump.json"}, 2, usage},
           {{"serve", "/nonexistent/vandrel-data"}, 1, "/nonexistent/vandrel-data"},
           {{"serve", dir, "--port", std::to_string(first.port())}, 1, ""},
           {{"import", tmp.write("bad.json", "[{]").string(), "--out", (tmp / "data").string()}, 1,
            "bad.json: not valid JSON at byte"}}) {
    const TempFolder io;
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), VANDREL_DIRECTORY_EXE);
    ChildProcess child(argv, (io / "out").string(), (io / "err").string());
    EXPECT_EQ(child.Wait(10s), exitCode) << ::testing::PrintToString(args);
    EXPECT_NE(ReadFile(io / "err").find(says), std::string::npos) << ReadFile(io / "err");
    EXPECT_EQ(ReadFile(io / "out"), "");
  }
}

// Ranked search over an import's index of names and tags.
TEST(SearchRankingTest, BestMatchesComeFirstAndCaseAndAccentsDoNotMatter) {
  TempFolder tmp;
  std::string dump;
  for (const auto& [name, country, tags] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"Smooth Jazz Lounge", "NL", ""}, {"Jazz", "NL", ""}, {"Jazzy Beats", "NL", ""}, {"Radio Uno", "IT", "jazz,news"},
           {"Jazz FM", "BE", ""}, {"Café Müller", "DE", "Chansons Françaises"}, {"ÉCOLE RADIO", "FR", ""},
           {"A Radio", "FR", ""}, {"Rock Antenne", "DE", ""}})
    dump += std::string(dump.empty() ? "[" : ",") + R"({"name": ")" + name + R"(", "url": "http://s/)" + std::to_string(dump.size()) +
            R"(", "countrycode": ")" + country + R"(", "tags": ")" + tags + "\"}";
  directory::DirectoryImport::Run(tmp.write("dump.json", dump + "]"), tmp / "data");
  DirectoryServerProcess server((tmp / "data").string());
  for (const auto& [query, hits] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           // Whole name, then names starting with it, then name words, then prefixes, then tags.
           {"jazz", {"Jazz", "Jazz FM", "Jazzy Beats", "Smooth Jazz Lounge", "Radio Uno"}},
           {"jazz news", {"Radio Uno"}},               // every word must match somewhere, in name or tags
           {"radio a", {"A Radio"}}, {"radio e", {}},  // a one-letter word matches whole words only
           // The query anywhere inside a name still counts, after every word match.
           {"a", {"A Radio", "Jazz FM", "ÉCOLE RADIO", "Café Müller", "Rock Antenne", "Jazz", "Jazzy Beats",
                  "Smooth Jazz Lounge", "Radio Uno"}},
           {"cafe muller", {"Café Müller"}}, {"MÜLLER", {"Café Müller"}}, {"francaises", {"Café Müller"}},
           {"chanson", {"Café Müller"}}, {"ecole", {"ÉCOLE RADIO"}}}) {
    const auto reply = Fetch(server.port(), std::string(kSearch) + "?zoeken=" + query);  // httplib encodes it
    EXPECT_EQ(ParseTaggedList(reply.body, {"naam"})[0], hits) << query;
  }
}

}  // namespace
}  // namespace vandrel::test
