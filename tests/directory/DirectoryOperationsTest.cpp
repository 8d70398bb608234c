// The directory's pieces in process and the server for real: behind proxies, at its file limit, behind nginx.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <regex>
#include <thread>

#include "DirectoryTestKit.h"
#include "core/TaggedList.h"
#include "directory/DirectoryImport.h"
#include "directory/DirectoryServer.h"
#include "directory/Search.h"
#include "directory/TaggedListWriter.h"
#include "directory/ToneStream.h"
#include "support/DirectoryServerProcess.h"
#include "support/Nginx.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using directory::DirectoryImport;
using directory::TaggedListWriter;
using directory::ToneStream;

// Every shipped country names a list whose records pair up and whose addresses the player can open.
TEST(ShippedDirectoryDataTest, EveryCountryNamesAWellFormedList) {
  const fs::path inter = fs::path(VANDREL_SHIPPED_DIRECTORY_DATA) / "radio" / "inter";
  const auto countries = ParseTaggedList(ReadFile(inter / "keuze-uk.txt"), {"naam", "bestand"});
  ASSERT_FALSE(countries[1].empty());
  ASSERT_EQ(countries[0].size(), countries[1].size());
  for (const std::string& file : countries[1]) {
    const auto v = ParseTaggedList(ReadFile(inter / "zenders" / file), {"naam", "url", "homepage"});
    EXPECT_TRUE(!v[0].empty() && v[0].size() == v[1].size() && v[0].size() == v[2].size()) << file;
    for (const std::string& url : v[1]) EXPECT_TRUE(std::regex_search(url, std::regex("^(https?://|\\{\\{base\\}\\})"))) << url;
    for (const std::string& homepage : v[2]) EXPECT_EQ(homepage.find("://"), std::string::npos) << file;
  }
}

// Only web radio with a host reaches the lists, its address as given.
constexpr const char* kDump = R"([
  {"name": "Radio </naam><url>http://evil/</url><naam>", "url": "http://x.example/raw",
   "url_resolved": "http://nl.example/one", "homepage": "https://nl.example/", "country": "The Netherlands",
   "countrycode": "NL", "tags": "pop, rock", "lastcheckok": 1, "votes": 12, "geo": {"lat": 1.5, "l": [1, {"a": null}]}},
  {"name": "Same stream again", "url_resolved": "HTTP://NL.EXAMPLE/one", "homepage": "", "countrycode": "NL",
   "tags": "Jazz,POP", "lastcheckok": true},
  {"name": "Gone", "url": "http://de.example/gone", "countrycode": "DE", "lastcheckok": 0},
  {"name": "Gone too", "url": "http://de.example/gone2", "countrycode": "DE", "lastcheckok": false},
  {"name": "No address", "url": "", "url_resolved": "", "countrycode": "DE"},
  {"name": "Not an address", "url": "just text", "countrycode": "DE"}, {"name": "a", "url": "av://lavfi:sine=f=440"},
  {"name": "f", "url": "file:///etc/passwd"}, {"name": "h", "url": "http://"}, {"name": "p", "url": "http://:80/s"},
  {"url": "http://de.example/nameless", "country": "Germany"},
  {"name": 42, "url": "http://de.example/numbered", "countrycode": "de", "lastcheckok": "1"},
  {"name": "Café  Müller\n\tLive", "url": "http://ci.example/", "country": "Côte D'Ivoire",
   "countrycode": "CI", "tags": ["chanson", " café "]},
  {"name": "Rock <3 Radio", "url": "http://gb.example/", "country": "UK", "countrycode": "GB"},
  {"name": "Москва FM", "url": "http://ru.example/", "country": "Россия", "countrycode": ""},
  {"name": "Nowhere", "url": "HTTPS://int.example/A", "country": "", "countrycode": null},
  {"name": "Placeholder {{base}}", "url": "http://int.example/2", "country": "", "countrycode": ""}
])";

TEST(DirectoryImportTest, WritesOneListPerCountryThatThePlayerReadsBack) {
  TempFolder tmp;
  const fs::path out = tmp.path() / "data";
  const auto summary = DirectoryImport::Run(tmp.write("dump.json", kDump), out);
  EXPECT_EQ(
      (std::vector<std::size_t>{summary.read, summary.failedCheck, summary.noAddress, summary.merged, summary.kept}),
      (std::vector<std::size_t>{17, 2, 6, 1, 8}));
  const auto list = [&](const std::string& file) {
    return ParseTaggedList(ReadFile(out / "radio/inter/zenders" / file), {"naam", "url", "homepage"});
  };
  // Countries by name, accents aside, safe file names; no address from tags in a name, else the address as name.
  const auto countries = ParseTaggedList(ReadFile(out / "radio/inter/keuze-uk.txt"), {"naam", "bestand"});
  EXPECT_EQ(countries[0], (std::vector<std::string>{"Côte d'Ivoire", "Germany", "Holland", "International",
                                                    "United Kingdom", "Россия"}));
  const std::vector<std::vector<std::string>> names = {
      {"Café Müller Live"}, {"http://de.example/nameless", "http://de.example/numbered"},
      {"Radio /naamurlhttp://evil//urlnaam"}, {"Nowhere", "Placeholder base"}, {"Rock <3 Radio"}, {"Москва FM"}};
  ASSERT_EQ(countries[1].size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(countries[1][i].find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), countries[1][i].size() - 4);
    EXPECT_EQ(list(countries[1][i])[0], names[i]) << countries[1][i];
  }
  EXPECT_EQ(list(countries[1][3])[1], (std::vector<std::string>{"HTTPS://int.example/A", "http://int.example/2"}));
  // The duplicate is merged into the tag-laden one.
  EXPECT_EQ(list(countries[1][2])[1], std::vector<std::string>{"http://nl.example/one"});
  EXPECT_EQ(list(countries[1][2])[2], std::vector<std::string>{"https://nl.example/"});
  const auto index = ParseTaggedList(ReadFile(out / DirectoryImport::kIndexFile), {"naam", "url", "tags"});
  ASSERT_EQ(index[2].size(), 8u);
  EXPECT_EQ(index[2][std::ranges::find(index[1], "http://nl.example/one") - index[1].begin()], "pop,rock,Jazz");
}

// Values built from tag fragments come back from the player's parser as the writer cleaned them.
TEST(TaggedListWriterTest, WhatIsWrittenIsWhatThePlayerReads) {
  const std::vector<std::string> pieces = {"<", ">", "/", "naam", "NaAm", "url", "homepage", "x", " ", "\n", "<3",
                                           "\x7F", "\x01"};
  std::mt19937 random(12345);
  TaggedListWriter writer;
  std::vector<std::vector<std::string>> expected(3);
  for (int record = 0; record < 2000; ++record) {
    for (int field = 0; field < 3; ++field) {
      std::string value;
      for (int k = static_cast<int>(random() % 8); k > 0; --k) value += pieces[random() % pieces.size()];
      writer.add(field == 0 ? "naam" : field == 1 ? "url" : "homepage", value);
      expected[field].push_back(TaggedListWriter::Clean(value));
    }
    writer.endRecord();
  }
  EXPECT_EQ(ParseTaggedList(writer.text(), {"naam", "url", "homepage"}), expected);
  EXPECT_EQ(TaggedListWriter::Clean("line\r\nbreak\x01"), "line  break");
  EXPECT_EQ(TaggedListWriter::Clean("<na\x7F" "am>x</na\x01" "am>"), "naamx/naam");
  // Search answers too: a name holding tags cannot smuggle an address in.
  EXPECT_EQ(directory::Search::Format({{"A<url>x</url>", "{{base}}s"}}, "http://h/"),
            "<naam>Aurlx/url</naam><url>http://h/s</url>\r\n");
}

TEST(ToneStreamTest, AnEndlessMonoPcmSineWithMetadataEvery16000Bytes) {
  ToneStream tone(true, std::nullopt);
  std::mt19937 random(3);
  std::string icy, stream;
  while (icy.size() < 200000) icy += tone.next(1 + random() % 9000);  // stretches straddle block borders
  std::size_t blocks = 0;
  for (std::size_t at = 0; at < icy.size(); ++blocks) {
    stream.append(icy, at, ToneStream::kMetaInterval);
    if ((at += ToneStream::kMetaInterval) >= icy.size()) break;
    const std::string block = icy.substr(at + 1, static_cast<unsigned char>(icy[at]) * 16u);
    EXPECT_EQ(std::string(block.c_str()), "StreamTitle='Vandrel test tone - 440 Hz';");
    at += 1 + block.size();
  }
  ASSERT_GE(blocks, 10u);
  // Endless sizes; PCM, mono, 22050 Hz, 44100 bytes a second, 16 bits.
  EXPECT_EQ(stream.substr(0, 44), std::string("RIFF\xFF\xFF\xFF\xFFWAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0"
                                              "\x44\xAC\0\0\x02\0\x10\0data\xFF\xFF\xFF\xFF", 44));
  for (std::size_t n = 0; 44 + 2 * n + 1 < stream.size(); n += 997) {
    const double expected = 0.3 * 32767.0 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(n) / 22050.0);
    std::int16_t sample = 0;
    std::memcpy(&sample, stream.data() + 44 + 2 * n, 2);  // little-endian, as the machine
    EXPECT_NEAR(sample, expected, 1.0) << "sample " << n;
  }
}

// A trusted proxy's word names the client, anyone else's is ignored; the tone's share counts them apart.
TEST(DirectoryClientAddressTest, OnlyATrustedProxyNamesTheClient) {
  DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--trusted-proxy", "127.0.0.2"});
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"127.0.0.2", "X-Forwarded-For: 203.0.113.9, 10.1.2.3\r\n", "10.1.2.3"}, {"127.0.0.2", "", "127.0.0.2"},
      {"127.0.0.2", "X-Real-IP: 10.9.8.7\r\n", "10.9.8.7"}, {"127.0.0.2", "X-Forwarded-For: <b>me</b>\r\n", "127.0.0.2"},
      {"127.0.0.2", "X-Forwarded-For: ::ffff:10.4.4.4\r\n", "10.4.4.4"},
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
  for (std::size_t i = 0; i < directory::DirectoryServer::kMaxListenersPerAddress + 4; ++i)
    listeners.push_back(std::make_unique<OpenConnection>(
        server.port(), "127.0.0.2", Get("/stream/tone", "X-Forwarded-For: 10.0.0." + std::to_string(i + 1) + "\r\n")));
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
    client->send(Get(std::string(kSearch) + "?zoeken=radio"));
    EXPECT_EQ(client->status(5s), 200);
  }
  clients.erase(clients.begin() + 1);  // one descriptor comes free
  EXPECT_EQ(waiting->status(5s), 200);
  EXPECT_EQ(Count(server.log(), warning), 1) << server.log();
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
             {"listen 80;", "listen 127.0.0.1:" + std::to_string(port) + ";"}, {"/srv/vandrel", data},
             {"127.0.0.1:8470", "127.0.0.1:" + std::to_string(first.port())},
             {"127.0.0.1:8471", "127.0.0.1:" + std::to_string(second.port())}}) {
      config.replace(config.find(from), from.size(), to);
    }
    return config;
  });
  ASSERT_GT(nginx.port(), 0) << nginx.log();
  std::atomic<int> ok{0};
  const std::string search = std::string(kSearch) + "?zoeken=radio";
  std::vector<std::thread> clients;
  for (int c = 0; c < 300; ++c)
    clients.emplace_back([&, c] {
      KeepAliveClient client("127.0.0.1", nginx.port());
      for (int i = 0; i < 10; ++i) ok += client.get((c + i) % 2 ? kList : search) == 200;
    });
  for (auto& t : clients) t.join();
  EXPECT_EQ(ok, 3000) << nginx.log();
  for (const DirectoryServerProcess* server : {&first, &second})
    EXPECT_GT(Count(server->log(), "127.0.0.1 GET " + search), 100);
}

}  // namespace
}  // namespace vandrel::test
