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

constexpr const char* kList = "/radio/inter/keuze-uk.txt";
constexpr const char* kBig = "/radio/inter/zenders/big.txt";
constexpr const char* kLocal = "/radio/inter/zenders/local.txt";
constexpr const char* kSearch = "/radio/inter/zenders/radio-lijst-zoek.php";
constexpr const char* kSecret = "TOP-SECRET-OUTSIDE";

std::string Line(const std::string& name, const std::string& url) {
  return "<naam>" + name + "</naam><url>" + url + "</url>\r\n";
}

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
  httplib::Response get(const std::string& target, const httplib::Headers& headers = {}) {
    return Fetch(port(), target, headers);
  }
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
           {"GET", "/radio/inter/keuze-uk.txt", 200, "Content-Type: text/plain; charset=utf-8\r\n"},
           {"GET", "/ecards/", 200, "Content-Type: text/html; charset=utf-8\r\n"},
           {"GET", "/ecards", 301, "Location: /ecards/\r\n"},
           {"GET", "/radio/inter/zenders/atlantis.txt", 404, "\r\n\r\n404 Not Found"},
           {"GET", site + "?wat=home&lang=nederlands", 200, "Landen"},
           {"GET", site + "?wat=home&lang=klingon", 200, "<li>R&amp;B &lt;Land&gt;</li>"},
           {"GET", site + "?wat=nonsense", 400, ""},
           {"POST", "/radio/inter/keuze-uk.txt", 405, ""}}) {
    const std::string reply = raw(method + " " + target, "Host: x\r\nContent-Length: 0\r\n");
    EXPECT_EQ(StatusOf(reply), status) << method << " " << target;
    EXPECT_NE(reply.find(carries), std::string::npos) << method << " " << target;
  }
}

// Lists naming this server carry the client's address for it when safe, and a tag of their own.
TEST_F(DirectoryRoutesTest, ListsNameTheServerByAValidHostHeaderOnly) {
  const auto urlFor = [&](const std::string& host) {
    const std::string reply = raw(std::string("GET ") + kLocal, "Host: " + host + "\r\n");
    const auto start = reply.find("<url>") + 5;
    return reply.substr(start, reply.find("stream/tone</url>") - start);
  };
  EXPECT_EQ(urlFor("radio.example:9000"), "http://radio.example:9000/");
  EXPECT_EQ(urlFor("[::1]:8470"), "http://[::1]:8470/");
  for (const char* hostile : {"evil.example/x", "x:99999999", "[::1]x"}) {
    EXPECT_EQ(urlFor(hostile), server_->baseAddress()) << hostile;
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
           {"If-None-Match", "\"other\", " + etag, 304},
           {"If-None-Match", "\"other\"", 200},
           {"If-Modified-Since", modified, 304},
           {"If-Modified-Since", "Thu, 01 Jan 1998 00:00:00 GMT", 200},
           {"If-Modified-Since", "yesterday", 200}}) {
    const auto reply = get(kBig, {{header, value}});
    EXPECT_EQ(reply.status, status) << header << ": " << value;
    EXPECT_EQ(reply.body.empty(), status == 304) << header << ": " << value;
  }

  // A changed file of the same size is read afresh: the old tag no longer matches.
  std::this_thread::sleep_for(20ms);
  write("radio/inter/zenders/big.txt", ManyStations("Changed"));
  const auto changed = get(kBig, {{"If-None-Match", etag}});
  EXPECT_EQ(changed.body, ManyStations("Changed"));
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
    EXPECT_FALSE(plain.has_header("Content-Encoding")) << refuses;
    EXPECT_EQ(plain.body, ManyStations("Station")) << refuses;
  }
  // HEAD tells the length GET sends, packed or not.
  for (const std::string accepts : {"identity", "gzip"}) {
    const std::string head = raw(std::string("HEAD ") + kBig, "Host: x\r\nAccept-Encoding: " + accepts + "\r\n");
    const std::string length = std::to_string(get(kBig, {{"Accept-Encoding", accepts}}).body.size());
    EXPECT_TRUE(head.ends_with("\r\n\r\n") && head.find("Content-Length: " + length + "\r") != std::string::npos) << head;
  }
  const auto search = get(std::string(kSearch) + "?zoeken=station", {{"Accept-Encoding", "gzip"}});
  EXPECT_EQ(search.get_header_value("Content-Encoding"), "gzip");
  EXPECT_EQ(Gunzip(search.body, 1 << 20), get(std::string(kSearch) + "?zoeken=station").body);
}

// Names only, each station once, lists in name order, at most 200 hits.
TEST_F(DirectoryRoutesTest, SearchFindsNamesInFileOrderOnce) {
  const std::string rock = Line("Rock & Roll Radio", "http://one/"), jazz = Line("Jazz+Blues", "http://jazz/");
  const std::string classics = Line("ROCK & ROLL Classics", server_->baseAddress() + "classics");
  for (const auto& [query, hits] : std::vector<std::pair<std::string, std::string>>{
           {"?zoeken=rock%20%26%20roll", rock + classics}, {"?zoeken=jazz%2Bblues", jazz}}) {
    EXPECT_EQ(get(kSearch + query).body, hits) << query;
  }
  const std::string all = get(std::string(kSearch) + "?zoeken=").body;
  const std::string zurich = Line("Zürich Eins", "http://z/");
  EXPECT_TRUE(all.starts_with(rock + jazz + zurich + classics + Line("Station 0", "http://s/0"))) << all.substr(0, 400);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 200);
}

TEST_F(DirectorySafetyTest, NothingOutsideTheFolderIsServed) {
  for (const char* target :
       {"/../secret.txt", "/radio/../../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E/secret.txt",
        "/radio/%2e%2e%2f%2e%2e%2fsecret.txt", "/radio%2f..%2f..%2fsecret.txt", "/..%5csecret.txt",
        "/radio\\..\\..\\secret.txt", "//etc/passwd", "/%2fetc/passwd", "/leak.txt", "/outside/secret.txt",
        "/leak.txt%00.html", "/%u002e%u002e/secret.txt", "http://127.0.0.1/../secret.txt"}) {
    const std::string reply = raw("GET " + std::string(target));
    EXPECT_TRUE(StatusOf(reply) == 400 || StatusOf(reply) == 404) << target << " gave " << StatusOf(reply);
    EXPECT_TRUE(reply.find(kSecret) == std::string::npos && reply.find("root:") == std::string::npos) << target;
  }
  EXPECT_TRUE(servesList("/inside.txt"));  // symlinks are followed as long as they stay inside
}

TEST_F(DirectorySafetyTest, OversizedRequestsAreRefusedAndTheServerGoesOn) {
  std::string manyHeaders;  // each over-long head is answered before the connection closes
  for (int i = 0; i < 20000; ++i) manyHeaders += "X-H" + std::to_string(i) + ": v\r\n";
  const std::string get = std::string("GET ") + kList + " HTTP/1.1\r\nHost: x\r\n";
  for (const auto& [request, status] : std::vector<std::pair<std::string, int>>{
           {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n", 414},
           {"GET /" + std::string(100000, 'a'), 414},
           {"GET / HTTP/1.1\r\nX-Big: " + std::string(20000, 'b') + "\r\n\r\n", 431},
           {"GET / HTTP/1.1\r\n" + manyHeaders + "\r\n", 431},
           {get + "Content-Length: 10000000\r\n\r\n" + std::string(100000, 'c'), 413}}) {
    EXPECT_EQ(StatusOf(RawExchange(port(), request)), status) << request.substr(0, 30);
  }
  // The unread body must not be mistaken for a second request.
  const std::string smuggled =
      RawExchange(port(), get + "Content-Length: 30\r\n\r\nGET /leak.txt HTTP/1.1\r\n\r\n\r\n");
  EXPECT_TRUE(StatusOf(smuggled) == 200 && smuggled.find("HTTP/1.1", 8) == std::string::npos) << smuggled;
  EXPECT_TRUE(servesList(kList));
}

TEST_F(DirectorySafetyTest, GarbageAndMalformedRequestsNeverStopIt) {
  std::mt19937 random(7);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  for (const std::string& bytes :
       {noise, std::string("\r\n\r\n\r\n"), std::string("GET /"), std::string("GET / HTTP/9.9\r\n\r\n"),
        std::string("BREW / HTTP/1.1\r\n\r\n"), std::string("GET /a?b?c HTTP/1.1\r\n\r\n"),
        std::string("GET / HTTP/1.1\r\nRange: bytes=x\r\n\r\n"),
        std::string("GET /ecards/ HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n")}) {
    const std::string reply = RawExchange(port(), bytes, 3s);
    EXPECT_TRUE(reply.empty() || StatusOf(reply) >= 400) << bytes.substr(0, 40) << " gave " << StatusOf(reply);
  }
  for (const char* query : {"?zoeken=%zz", "?zoeken=%u0041", "?zoeken=%4", ""}) {
    EXPECT_EQ(StatusOf(raw("GET " + std::string(kSearch) + query)), 400) << query;
  }
  EXPECT_TRUE(servesList(kList));
}

// Its metadata, when asked for, reaches a real player in MpvPlayerTest.
TEST_F(DirectoryRoutesTest, ToneStreamsInRealTimeUntilTheListenerLeaves) {
  httplib::Client client("127.0.0.1", port());
  client.set_read_timeout(20, 0);
  const auto start = std::chrono::steady_clock::now();
  auto reply = client.Get("/stream/tone?seconds=4");
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(reply);
  EXPECT_TRUE(reply->get_header_value("Content-Type") == "audio/wav" && !reply->has_header("icy-metaint"));
  EXPECT_EQ(reply->body.size(), ToneStream::kHeaderBytes + 4 * ToneStream::kBytesPerSecond);
  EXPECT_TRUE(took.count() > 1.5 && took.count() < 15.0) << took.count();  // two seconds at once, two as they play
  EXPECT_EQ(get("/stream/tone?seconds=soon").status, 400);

  std::size_t received = 0;  // an endless stream ends with its listener, and the server goes on
  client.Get("/stream/tone",
             [&](const char*, std::size_t n) { return (received += n) < 2 * ToneStream::kBytesPerSecond; });
  EXPECT_GE(received, 2 * ToneStream::kBytesPerSecond);
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
           {{"import", tmp.write("bad.json", "[{]").string(), "--out", (tmp / "data").string()},
            1,
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
  directory::DirectoryImport::Run(tmp.write("dump.json", R"([
    {"name": "Smooth Jazz Lounge", "url": "http://s/1", "countrycode": "NL"},
    {"name": "Jazz", "url": "http://s/2", "countrycode": "NL"},
    {"name": "Jazzy Beats", "url": "http://s/3", "countrycode": "NL"},
    {"name": "Radio Uno", "url": "http://s/4", "countrycode": "IT", "tags": "jazz,news"},
    {"name": "Jazz FM", "url": "http://s/5", "countrycode": "BE"},
    {"name": "Café Müller", "url": "http://s/6", "countrycode": "DE", "tags": "Chansons Françaises"},
    {"name": "ÉCOLE RADIO", "url": "http://s/7", "countrycode": "FR"},
    {"name": "A Radio", "url": "http://s/8", "countrycode": "FR"},
    {"name": "Rock Antenne", "url": "http://s/9", "countrycode": "DE"}])"),
                                  tmp.path() / "data");
  DirectoryServerProcess server((tmp.path() / "data").string());
  // httplib percent-encodes the blanks and accents.
  const auto find = [&](const std::string& words) {
    return ParseTaggedList(Fetch(server.port(), std::string(kSearch) + "?zoeken=" + words).body, {"naam"})[0];
  };

  // Whole name, then names starting with it, then name words, then prefixes, then tags.
  EXPECT_EQ(find("jazz"),
            (std::vector<std::string>{"Jazz", "Jazz FM", "Jazzy Beats", "Smooth Jazz Lounge", "Radio Uno"}));
  // Every word must match somewhere, in name or tags.
  EXPECT_EQ(find("jazz news"), std::vector<std::string>{"Radio Uno"});
  // A one-letter word matches whole words only, so it cannot match nearly everything.
  EXPECT_EQ(find("radio a"), std::vector<std::string>{"A Radio"});
  EXPECT_EQ(find("radio e"), std::vector<std::string>{});
  // The query anywhere inside a name still counts, after every word match.
  EXPECT_EQ(find("a"), (std::vector<std::string>{"A Radio", "Jazz FM", "ÉCOLE RADIO", "Café Müller", "Rock Antenne",
                                                 "Jazz", "Jazzy Beats", "Smooth Jazz Lounge", "Radio Uno"}));

  for (const char* query : {"cafe muller", "MÜLLER", "francaises", "chanson"}) {
    EXPECT_EQ(find(query), std::vector<std::string>{"Café Müller"}) << query;
  }
  EXPECT_EQ(find("ecole"), std::vector<std::string>{"ÉCOLE RADIO"});
}

}  // namespace
}  // namespace vandrel::test
