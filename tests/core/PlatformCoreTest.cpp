// The Qt-free reading of what comes from the network: text, titles, playlists, station lists, pages.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "core/BrowserLinks.h"
#include "core/ChainedTags.h"
#include "core/Gunzip.h"
#include "core/ListCache.h"
#include "core/PageColours.h"
#include "core/PageShape.h"
#include "core/ParsedPage.h"
#include "core/StreamAddress.h"
#include "core/TaggedList.h"
#include "core/TaggedListReference.h"
#include "core/TextDecoding.h"
#include "core/TitleCharset.h"
#include "core/XmlPlaylist.h"
#include "support/Files.h"
#include "support/GzipText.h"

namespace vandrel {
namespace {

TEST(TextDecoding, KeepsUtf8SequencesReadsOtherBytesAsWindows1252AndConvertsUtf16) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> cases[] = {
      {"\xEF\xBB\xBF<naam>x</naam>", "<naam>x</naam>"},               // byte order mark dropped
      {"caf\xC3", "caf\xC3\x83"},                                      // cut sequence is not UTF-8
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                // surrogate is not UTF-8
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                // overlong form is not UTF-8
      {"\xF0\x9F\x93\xBB radio", "\xF0\x9F\x93\xBB radio"},            // four-byte sequence
      {"Z\xC3\xBCrich \xE9t\xE9", "Z\xC3\xBCrich \xC3\xA9t\xC3\xA9"},     // one stray byte spoils no UTF-8
      {"\x80 \x93x\x94 \x81", "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xC2\x81"},  // Windows-1252
      {"\xFF\xFE<\0n\0>\0\xE9\0"s, "<n>\xC3\xA9"},                         // UTF-16LE
      {"\xFE\xFF\xD8\x3D\xDC\xFB\0a"s, "\xF0\x9F\x93\xBB" "a"},             // UTF-16BE, surrogate pair
      {"\xFF\xFE\x00\xD8x\0y"s, "\xEF\xBF\xBDx\xEF\xBF\xBD"},             // lone surrogate, odd byte
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(DecodeBodyText(in), out) << in;
}

// UTF-8 text in a legacy code page, as an old source sends it.
std::string Encoded(const std::string& utf8, const char* charset) {
  gsize written = 0;
  g_autofree gchar* out = g_convert(utf8.data(), utf8.size(), charset, "UTF-8", nullptr, &written, nullptr);
  if (out == nullptr) throw std::runtime_error(utf8 + " is not in " + charset);
  return std::string(out, written);
}

// What a listener reads once a station has sent a few titles; one through a real Icecast: MpvPlayerTest.
TEST(TitleCharsetTest, AStationsTitlesSoFarNameItsCodePage) {
  const std::vector<std::pair<const char*, std::vector<std::string>>> stations = {  // code page, titles in UTF-8
      {"WINDOWS-1251", {"Кино - Группа крови", "Алла Пугачёва - Миллион алых роз", "Земфира - Искала"}},
      {"KOI8-R", {"Ария - Беспечный ангел", "Сплин - Выхода нет", "Кино - Звезда по имени Солнце"}},
      {"WINDOWS-1253", {"Άννα Βίσση - Δώδεκα", "Σάκης Ρουβάς - Άντεξα", "Χάρις Αλεξίου - Η Θεσσαλονίκη"}},
      {"WINDOWS-1250", {"Maryla Rodowicz - Małgośka", "Dżem - Wehikuł czasu", "Čechomor - Proměny"}},
      // Western titles the detector alone takes for ISO-8859-2 ("Seńorita").
      {"ISO-8859-1", {"Café Zürich", "Édith Piaf - Non, je ne regrette rien", "Café del Mar - Señorita"}},
      {"ISO-8859-2", {"Věra Špinarová - Jednoho dne se vrátíš", "Marta Kubišová - Modlitba pro Martu",
                      "Olympic - Želví blues"}},
      {"ISO-8859-9", {"Tarkan - Şımarık", "Barış Manço - Dönence", "Sezen Aksu - Gülümse"}}};
  const auto shown = [](const std::vector<std::string>& sent) {  // the titles sent as bytes, the last one as shown
    TitleCharset charset;
    for (std::size_t i = 0; i + 1 < sent.size(); ++i) charset.decode(sent[i]);
    return charset.decode(sent.back());
  };
  EXPECT_EQ(shown({Encoded("Кино - Группа крови", "WINDOWS-1251"), "Caf\xC3\xA9"}), "Café");  // UTF-8 among Cyrillic
  EXPECT_EQ(shown({"\x81\x8D\x8F"}), DecodeBodyText("\x81\x8D\x8F"));                      // nothing to go by
  for (const auto& [charset, titles] : stations) {
    std::vector<std::string> sent;
    for (const auto& title : titles) sent.push_back(Encoded(title, charset));
    EXPECT_EQ(shown(sent), titles.back()) << charset;
  }
  TitleCharset another;  // station: what the one before sent says nothing
  for (const auto& title : stations[0].second) another.decode(Encoded(title, stations[0].first));
  another.reset();
  EXPECT_EQ(another.decode("Caf\xE9 Z\xFCrich"), "Café Zürich");
}

// Chained Ogg Opus end to end: MpvPlayerTest.
TEST(ChainedTagsTest, AnAppendingStreamShowsWhatItsLastSongAdded) {
  using Tags = ChainedTags::Tags;
  const std::tuple<const char*, bool, std::vector<Tags>, Tags> cases[] = {  // what, appended, reported, shown
      {"songs appended", true, {{{"title", "One"}}, {{"title", "One;Two"}}, {{"title", "One;Two;Three; Four"}}},
       {{"title", "Three; Four"}}},
      {"a ';' of the first song's own", true, {{{"title", "Love; Death"}}}, {{"title", "Love; Death"}}},
      {"a tag the new song left out", true,
       {{{"title", "A"}, {"artist", "X"}}, {{"title", "A;B"}, {"artist", "X"}}}, {{"title", "B"}, {"artist", "X"}}},
      {"opened anew", true, {{{"title", "One"}}, {{"title", "One;Two"}}, {{"title", "Two"}}}, {{"title", "Two"}}},
      {"a stream that replaces its tags", false, {{{"title", "One"}}, {{"title", "One;Two"}}},
       {{"title", "One;Two"}}},
  };
  for (const auto& [what, appended, reported, shown] : cases) {
    ChainedTags tags;
    Tags last;
    for (const Tags& each : reported) last = tags.current(each, appended);
    EXPECT_EQ(last, shown) << what;
  }
}

TEST(BrowserLinksTest, HomepagesGetTheirSchemeOnceAndOnlyWebAddressesPass) {
  const std::tuple<const char*, const char*, bool> cases[] = {  // the homepage, the address, whether it passes
      {"een.example/", "http://een.example/", true}, {"localhost:8000", "http://localhost:8000", true},
      {"radio.example:8000/live", "http://radio.example:8000/live", true},
      {"", "http://", true},  // the browser says what is wrong with it
      {"HTTPS://een.example/", "HTTPS://een.example/", true},
      {"file:///etc/passwd", "file:///etc/passwd", false},  // one of the other schemes; the window tries another
      {"een.example/ --new-window", "http://een.example/ --new-window", false},
      {"een.example/\nx", "http://een.example/\nx", false},
  };
  for (const auto& [homepage, address, passes] : cases) {
    EXPECT_EQ(HomepageAddress(homepage), address);
    EXPECT_EQ(IsWebAddress(HomepageAddress(homepage)), passes) << homepage;
  }
}

using Lists = std::vector<std::vector<std::string>>;
const std::vector<std::string> kNaamUrl = {"naam", "url"};

// The rule itself, pinned for the reference too; the random comparison below covers the rest.
TEST(TaggedListTest, EdgeCasesMatchExpectedValuesAndReference) {
  const std::tuple<const char*, std::string, std::vector<std::string>, Lists> cases[] = {
      {"mixed case", "<naam>A</NAAM><NAAM>b</naam><NaAm>C c</nAaM>", kNaamUrl, {{"A", "b", "C c"}, {}}},
      {"bytes and blanks kept", "<naam>  Z\xC3\xBCrich\r\n \xFF\n</naam>", kNaamUrl,
       {{"  Z\xC3\xBCrich\r\n \xFF\n"}, {}}},
      {"pair inside value", "<naam>a<url>u</url>b</naam>", kNaamUrl, {{"a<url>u</url>b"}, {"u"}}},
      {"opening inside value", "<naam>a<naam>b</naam>", kNaamUrl, {{"a<naam>b", "b"}, {}}},
      {"unclosed tag falls to next", "<x>y>val</x>", {"x>y", "x"}, {{}, {"y>val"}}},
      {"first tag wins at a position", "<x>y>val</x>y>", {"x>y", "x"}, {{"val"}, {}}},
      {"closing overlaps opening", "<></></>", {"></"}, {{""}}},  // random texts never hit it
  };
  for (const auto& [what, text, tags, expected] : cases) {
    EXPECT_EQ(ParseTaggedList(text, tags), expected) << what;
    EXPECT_EQ(reference::ParseTaggedListNaive(text, tags), expected) << what;
  }
}

// On odd rounds the tags are random too, brackets and all, so openings and closings overlap.
TEST(TaggedListTest, MatchesReferenceOnRandomTexts) {
  const std::vector<std::string> pieces = {"<naam>", "</NAAM>", "<NaAm>", "</naam>", "<url>", "</url>",
                                           "<URL>", "</Url>", "<", ">", "/", "x", "\n", "<homepage>",
                                           "</homepage>", "naam", "<na", "am>"};
  const std::vector<std::string> brackets = {"<", ">", "/", "a", "A"};
  const std::vector<std::vector<std::string>> tables = {
      {"naam", "url", "homepage"}, {"URL", "NaAm"}, {"naam"}, {"naam", "naam"}};
  std::mt19937 rng(20240611);
  const auto random = [&](const std::vector<std::string>& fragments, int maxParts) {
    std::string text;
    for (auto p = rng() % (maxParts + 1); p > 0; --p) text += fragments[rng() % fragments.size()];
    return text;
  };
  for (int iteration = 0; iteration < 10000; ++iteration) {
    const bool odd = iteration % 2 == 1;
    std::vector<std::string> tags = tables[iteration / 2 % tables.size()];
    if (odd) tags = {random(brackets, 3), random(brackets, 3)};
    const std::string text = odd ? random(brackets, 30) : random(pieces, 40);
    const Lists expected = reference::ParseTaggedListNaive(text, tags);
    ASSERT_EQ(ParseTaggedList(text, tags), expected) << text << " tags " << tags[0];

    // Under a bound each list is a prefix of the reference's, within it in all; only a total over it is incomplete.
    const std::size_t bound = static_cast<std::size_t>(iteration % 40);
    const TaggedListValues cut = ParseTaggedListUpTo(text, tags, bound);
    std::size_t kept = 0, all = 0;
    for (std::size_t t = 0; t < tags.size(); ++t) {
      ASSERT_TRUE(cut.lists[t].size() <= expected[t].size() &&
                  std::equal(cut.lists[t].begin(), cut.lists[t].end(), expected[t].begin())) << text;
      for (const auto& v : cut.lists[t]) kept += v.size();
      for (const auto& v : expected[t]) all += v.size();
    }
    ASSERT_LE(kept, bound) << text;
    ASSERT_EQ(cut.complete, all <= bound) << text;
    ASSERT_TRUE(!cut.complete || cut.lists == expected) << text;
  }
}

// What the window tries through every door is Form1Test's; here the edges of the rule.
TEST(StreamAddressTest, OnlyHttpAndHttpsWithAHostAreWebRadio) {
  for (const auto& [address, is] : std::initializer_list<std::pair<const char*, bool>>{
           {"http://radio.example/live", true}, {"HTTPS://Radio.Example", true}, {"hTTp://127.0.0.1:8000/;", true},
           {"", false}, {"http://", false}, {"https:///etc/passwd", false}, {"http:?x", false},
           {"httpx://radio.example", false}, {"file://radio.example/x", false}, {" http://radio.example/", false}}) {
    EXPECT_EQ(IsWebRadioAddress(address), is) << address;
  }
}

// Whether they play from a real server is MpvPlayerTest's; here what is read.
TEST(XmlPlaylistTest, AsxRefsAndXspfTrackLocationsInOrderWebRadioOnly) {
  using Streams = std::vector<std::string>;
  std::string many = "<asx>";
  Streams bounded;
  for (std::size_t i = 0; i < 1500; ++i) {
    many += "<ref href='http://r.example/" + std::to_string(i) + "'/>";
    if (i < kMaxXmlPlaylistEntries) bounded.push_back("http://r.example/" + std::to_string(i));
  }
  const std::tuple<const char*, std::string, Streams> cases[] = {  // what, the text, the streams read
      {"ASX, any letter case, both quotes, entities",
       "<ASX version=\"3.0\"><Entry><REF HREF = \"http://a.example/x?a=1&amp;b=2\" /></Entry>\n"
       "<entry><ref href='https://b.example/&#x6C;ive'/><ref href=\" http://c.example/ \"/></entry></asx>",
       {"http://a.example/x?a=1&b=2", "https://b.example/live", "http://c.example/"}},
      {"ASX, no web radio and no other tags",
       "<asx><entry><ref href=\"file:///etc/passwd\"/><ref href=\"mms://m.example/\"/><reference href=\"http://x/\"/>"
       "<entryref href=\"http://d.example/more.asx\"/><ref href=\"http://a.example/one&#10;#EXTINF\"/>"
       "<ref nohref=\"http://n.example/\" href=\"http://e.example/\"/></entry></asx>",
       {"http://e.example/"}},
      {"XSPF, tracks only",
       "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
       "<location>http://self.example/list.xspf</location><trackList>"
       "<track><title>A</title><location> http://a.example/a.mp3 </location>"
       "<location>http://a.example/backup</location></track>"
       "<track><location>smb://x/</location></track><track><location>http://b.example/b</location></track>"
       "</trackList></playlist>",
       {"http://a.example/a.mp3", "http://a.example/backup", "http://b.example/b"}},
      {"neither", "<html><body><a href=\"http://a.example/\">ref</a></body></html>", {}},
      {"cut short", "<asx><entry><ref href=\"http://a.example/", {}},
      {"entries bounded", many, bounded},
  };
  for (const auto& [what, text, streams] : cases) EXPECT_EQ(XmlPlaylistStreams(text), streams) << what;
  for (const auto& [address, may] : {std::pair{"http://r.example/radio.ASX", true}, {"http://r/listen?type=xspf", true},
                                     {"http://r/s.wax", true}, {"http://r.example/stream.mp3", false}}) {
    EXPECT_EQ(MayBeXmlPlaylist(address), may) << address;
  }
}

TEST(ListFetchTest, AsksForGzipUnpacksEveryMemberAndKeepsNoHeaderBreakingValidator) {
  const test::TempFolder folder("lists");
  const ListCache cache((folder / ".listcache").string());
  const std::string list = "http://d.example/radio/inter/zenders/holland.txt";
  constexpr std::size_t kCap = 1 << 20;

  EXPECT_EQ(ListFetch(&cache, list).requestHeaders(),
            (std::vector<std::pair<std::string, std::string>>{{"Accept-Encoding", "gzip"}}));
  // Members one after another make one body.
  const std::string packed = test::GzipText("<naam>Een</naam>") + test::GzipText("<naam>Twee</naam>");
  EXPECT_EQ(ListFetch(&cache, list).Body(200, "gzip", "", "", packed, kCap), "<naam>Een</naam><naam>Twee</naam>");

  // An unpacked size over the cap is refused, not cut.
  EXPECT_THROW(ListFetch(&cache, list).Body(200, "gzip", "", "", test::GzipText(std::string(5000, 'x')), 4000),
               GunzipError);
  // A validator that would break the request's header lines is not kept.
  ListFetch(&cache, list).Body(200, "", "\"v2\"\r\nX-Injected: 1", "", "<naam>Land</naam>", kCap);
  EXPECT_EQ(ListFetch(&cache, list).requestHeaders().size(), 1u);
}

std::string Repeat(const std::string& part, int times) { return times > 0 ? part + Repeat(part, times - 1) : ""; }

// The estimate never falls short of the parser's tree, nor counts sloppy markup deeper than it is.
TEST(PageShapeTest, DepthAndElementsFollowTheParsersTree) {
  const std::pair<std::string, int> cases[] = {  // page, how much deeper the estimate may be
      {Repeat("<p>a", 300) + "<dl>" + Repeat("<dt>c<dd>d", 300) + "<ul>" + Repeat("<li>x", 300), 0},
      {"<select>" + Repeat("<option>o", 300) + "</select><h1>a<h2>b" + Repeat("<p>x</p>", 2), 0},
      {"<!DOCTYPE html><!-- " + Repeat("<div>", 600) + " -->" + Repeat("<br><img src=x><hr/>", 300), 0},
      {"<script>" + Repeat("<div>", 600) + "</script><style>p{}</style><title><b></title>", 0},
      {Repeat("<a title=\"<div>\" href='>'>x</a>", 300) + "<textarea>" + Repeat("<i>", 600), 0},
      {Repeat("<table><tr><td>x<td>y", 3) + Repeat("<tr><td>a<th>b", 300), 0},
      {"<svg>" + Repeat("<g/>", 600) + "</svg><math><mi/></math>", 0},
      {Repeat("<li>b<dd>d", 200), 0},                            // an item closes none inside another
      {Repeat("<div/>", 200) + Repeat("<span/>", 200), 0},       // "/>" closes no HTML element
      {Repeat("<x><div></x>", 200), 0},                          // an end tag stops at a div
      {Repeat("<b><div></b>", 150), 150},                        // a misnested b is copied into the div
      {"<p>" + Repeat("<i id=1>", 100) + "</p>" + Repeat("<p>x</p>", 50), 0},  // reopened after each p
      {"<svg><title>" + Repeat("<div>", 300), 0},                // no raw text inside svg
  };
  for (const auto& [page, slack] : cases) {
    const auto parsed = ParsedPageShape(page);
    const PageShape shape = MeasurePage(page);
    EXPECT_TRUE(parsed && shape.depth >= parsed->depth && shape.depth <= parsed->depth + slack &&
                shape.elements >= parsed->elements) << page.substr(0, 60);
  }
}

// Colours in the markup keep a page light; words in its text do not.
TEST(PageColoursTest, OnlyColoursInTheMarkupCount) {
  for (const auto& [page, sets] : {std::pair{"<p style='COLOR:red'>a", true}, {"<style>p{margin:0}\nbody{background:#fff}", true},
                                   {"<table bgcolor=white>", true}, {"<p>The color of the background</p>", false},
                                   {"<style>p{margin:0}</style><p>color</p>", false}}) {
    EXPECT_EQ(PageSetsColours(page), sets) << page;
  }
}

// Found by fuzzing: 48 KB, small to the estimate, that makes the parser build gigabytes.
TEST(PageShapeTest, AParseThatWouldRunAwayIsGivenUp) {
  const std::string runaway = Repeat(
      "<template><table><template><table><button><table><template><b><div><tbody></div><caption><nobr><option>"
      "<body><li><table><html><nobr><i><template></select></a><col></td><a><textarea></table><caption><nobr>"
      "<optgroup><select></p><div></svg></td>",
      200);
  EXPECT_TRUE(MeasurePage(runaway).fits());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ParsedPageShape(runaway));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));  // not the minutes it would take
}

}  // namespace
}  // namespace vandrel
