// What a listener keeps once a station plays: playlists in and out, the song history, the title notifications.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "stations/PlaylistFiles.h"
#include "stations/SongHistory.h"
#include "stations/SongNotifier.h"
#include "support/Files.h"

namespace vandrel {
namespace {

using namespace std::string_literals;
using Stations = std::vector<PlaylistEntry>;

TEST(PlaylistFilesTest, ReadsThePlaylistsOtherPlayersWriteAndSkipsWhatIsNoWebRadio) {
  const struct { const char* what; std::string file; Stations stations; std::size_t skipped; } cases[] = {
      {"VLC m3u", "#EXTM3U\n#EXTINF:-1,Radio One\n#EXTVLCOPT:network-caching=1000\nhttp://a.example/one\n",
       {{"Radio One", "http://a.example/one"}}, 0},
      {"attributes with commas, CRLF",
       "#EXTM3U\r\n#EXTINF:-1 tvg-logo=\"https://x.example/l.png\" group-title=\"Pop, Rock\",Radio Three\r\n"
       "https://c.example/three.mp3\r\n",
       {{"Radio Three", "https://c.example/three.mp3"}}, 0},
      {"plain m3u8, BOM, no names",
       "\xEF\xBB\xBFhttp://user:pw@d.example:8000/live\n\nHTTPS://[::1]:8443/x\n",
       {{"d.example", "http://user:pw@d.example:8000/live"}, {"[::1]", "HTTPS://[::1]:8443/x"}}, 0},
      {"relative and other schemes refused, a name belongs to its own entry",
       "#EXTM3U\n#EXTINF:-1,Local\nmusic/song.mp3\nfile:///home/x.mp3\n/abs.mp3\nrtsp://x.example/y\n"
       "http://e.example/five\n",
       {{"e.example", "http://e.example/five"}}, 4},
      {"UTF-16 from Windows", "\xFF\xFE#\0E\0X\0T\0I\0N\0F\0:\0-\0\x31\0,\0\xE9\0\n\0h\0t\0t\0p\0:\0/\0/\0f\0/\0\n\0"s,
       {{"\xC3\xA9", "http://f/"}}, 0},
      {"pls without NumberOfEntries, any key case, by number",
       "[Playlist]\nfile2=http://g.example/2\ntitle2=Two\nFILE1=http://g.example/1\n",
       {{"g.example", "http://g.example/1"}, {"Two", "http://g.example/2"}}, 0},
      {"pls, CRLF, BOM", "\xEF\xBB\xBF[playlist]\r\nNumberOfEntries=2\r\nFile1=mms://h.example/\r\nTitle1=Old\r\n"
                          "File2=http://h.example/ok\r\nTitle2=A/B: news\r\nLength2=-1\r\nVersion=2\r\n",
       {{"A-B: news", "http://h.example/ok"}}, 1},
      {"VLC xspf, title after location, playlist title not taken",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<playlist xmlns=\"http://xspf.org/ns/0/\" version=\"1\">\n"
       "<title>Playlist</title><trackList><track><location>http://i.example/a</location>"
       "<title>Caf&#233; &amp; Co</title></track><track><location>x.mp3</location></track>"
       "<track><location>http://i.example/b</location></track></trackList></playlist>",
       {{"Caf\xC3\xA9 & Co", "http://i.example/a"}, {"i.example", "http://i.example/b"}}, 1},
      {"names that no file could hold", "#EXTINF:-1,\x1B[31m..\n#EXTINF:-1,..\nhttp://j.example/\n"
                                         "#EXTINF:-1,  a\tb\xE2\x80\xAE  \nhttp://k.example/\n",
       {{"j.example", "http://j.example/"}, {"a b", "http://k.example/"}}, 0},
  };
  for (const auto& c : cases) {
    const ImportedPlaylist read = ReadPlaylist(c.file);
    EXPECT_EQ(read.stations, c.stations) << c.what;
    EXPECT_EQ(read.skipped, c.skipped) << c.what;
  }
  // Past the bound nothing is read; names are cut whole to fit a file name.
  EXPECT_TRUE(ReadPlaylist("http://a.example/\n" + std::string(kMaxPlaylistFileBytes, '\n')).stations.empty());
  EXPECT_EQ(FavouriteNameFrom(std::string(199, 'x') + "\xC3\xA9", ""), std::string(199, 'x'));
}

TEST(PlaylistFilesTest, WhatIsExportedImportsAsTheSameFavourites) {
  const Stations stations = {{"Radio, \"One\" = 1 [x]", "http://a.example/?a=1&b=2"},
                             {"Z\xC3\xBCrich #2", "https://b.example:8443/live.mp3"}};
  EXPECT_EQ(ReadPlaylist(WriteM3u(stations)).stations, stations);
  EXPECT_EQ(ReadPlaylist(WritePls(stations)).stations, stations);
  EXPECT_EQ(WritePls({stations[1]}), "[playlist]\nNumberOfEntries=1\nFile1=https://b.example:8443/live.mp3\n"
                                     "Title1=Z\xC3\xBCrich #2\nLength1=-1\nVersion=2\n");
}

TEST(SongHistoryTest, KeepsTheLastTitlesAcrossStartsInABoundFileReplacedWhole) {
  test::TempFolder folder;
  const std::string file = SongHistoryFile(folder.path().string());
  {
    SongHistory history(file);  // tabs and breaks become blanks; the same title again, or none, is not kept
    EXPECT_TRUE(history.add({10, "One", "Song\tA\n"}));
    EXPECT_TRUE(history.add({11, "One", "Song A "}) && history.add({12, "One", ""}));
    EXPECT_TRUE(history.add({13, "Two", "Song A "}));
  }
  EXPECT_EQ(test::ReadFile(file), "10\tOne\tSong A \n13\tTwo\tSong A \n");
  struct stat st {};
  EXPECT_TRUE(::stat(file.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600);
  // 600 lines written elsewhere: the newest 500 are read, and one more pushes out the oldest.
  std::string lines;
  for (int i = 0; i < 600; ++i) lines += std::to_string(100 + i) + "\tS\tT" + std::to_string(i) + "\n";
  folder.write("history.txt", lines);
  {
    SongHistory history(file);
    EXPECT_EQ(history.songs().size(), SongHistory::kKept);
    EXPECT_EQ(history.songs().front().title, "T100");
    history.add({700, "S", std::string(500, 'x')});
    EXPECT_EQ(history.songs().front().title, "T101");
    EXPECT_EQ(history.songs().back().title.size(), SongHistory::kMaxTextBytes);
  }
  EXPECT_EQ(SongHistory(file).songs().size(), SongHistory::kKept);
  EXPECT_EQ(test::Names(folder.path()), std::vector<std::string>{"history.txt"});  // no temporary left
  // Lines a hand or another program spoiled are passed over.
  folder.write("history.txt", "x\tA\tB\n5\tA\n6\tA\t\n7\t\tAlone\n8\tA\tB");
  EXPECT_EQ(SongHistory(file).songs(), (std::deque<PlayedSong>{{7, "", "Alone"}, {8, "A", "B"}}));
  // A file that cannot be written keeps the song for this run and says so.
  SongHistory lost((folder / "none/history.txt").string());
  EXPECT_TRUE(!lost.add({1, "A", "B"}) && lost.songs().size() == 1);
}

struct FakeBus : NotificationBus {
  struct Shown { std::uint32_t replaces; std::string summary, body; bool operator==(const Shown&) const = default; };
  void notify(std::uint32_t replaces, const std::string& summary, const std::string& body,
              std::function<void(std::uint32_t)> shown) override {
    calls.push_back({replaces, summary, body}), answers.push_back(std::move(shown));
  }
  void answer(std::uint32_t id) { auto shown = std::move(answers.front()); answers.erase(answers.begin()), shown(id); }
  std::vector<Shown> calls;
  std::vector<std::function<void(std::uint32_t)>> answers;
};

TEST(SongNotifierTest, OneNotificationEachTitleReplacesQuietWhereTheTitleShowsOrIsUnwanted) {
  FakeBus bus;
  SongNotifier notifier(bus);
  notifier.titleChanged("One", "A", false, false);
  bus.answer(7);
  notifier.titleChanged("One", "A", false, false);  // the same again
  notifier.titleChanged("One", "", false, false);
  notifier.titleChanged("One", "B", true, false);   // the window is in front
  notifier.titleChanged("Two", "B", false, true);   // off for this station
  notifier.titleChanged("Two", "C", false, false);
  // Titles before the service answers wait, and only the last is said.
  notifier.titleChanged("Two", "D", false, false), notifier.titleChanged("Two", "E", false, false);
  bus.answer(0);  // not shown: the next is a new one, in place of the last shown
  bus.answer(9);
  notifier.setEnabled(false);
  notifier.titleChanged("Two", "F", false, false);
  EXPECT_EQ(bus.calls, (std::vector<FakeBus::Shown>{{0, "A", "One"}, {7, "C", "Two"}, {7, "E", "Two"}}));
  EXPECT_TRUE(bus.answers.empty());
}

}  // namespace
}  // namespace vandrel
