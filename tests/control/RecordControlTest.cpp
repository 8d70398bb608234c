// Recording a real Icecast mount whose title changes through its admin interface.
#include "control/RecordControl.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/MpvPlayer.h"
#include "support/Files.h"
#include "support/Icecast.h"
#include "support/QtWait.h"
#include "support/TmpfsMount.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Seconds of sound ffprobe reads in a file; 0 when it reads none.
double Duration(const std::string& file) {
  const std::string command = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'";
  char line[64] = {};
  if (FILE* pipe = ::popen(command.c_str(), "r")) { if (!std::fgets(line, sizeof line, pipe)) line[0] = 0; ::pclose(pipe); }
  return std::atof(line);
}

// Whether this process holds a file under the folder open.
bool HoldsOpen(const fs::path& folder) {
  return std::ranges::any_of(fs::directory_iterator("/proc/self/fd"), [&](const fs::directory_entry& fd) {
    std::error_code ec;
    return fs::read_symlink(fd.path(), ec).string().starts_with(folder.string());
  });
}

TEST(RecordControlTest, OneFilePerTitleEachPlayableNoneLeftOpenAndAFullDiskStops) {
  int argc = 0; QCoreApplication app(argc, nullptr);
  test::Icecast icecast({{"/radio.mp3", test::Icecast::Feed::Mp3}}, "First song");
  MpvPlayer player(std::map<std::string, std::string>{{"ao", "null"}});
  StringListBox names, urls, homepages;
  StationController controller({player, "", "", {names, urls, homepages}});
  test::TempFolder music("music");
  std::string folder = (music / "Vandrel").string();
  RecordControl recorder({controller, [&] { return folder; }, [] { return std::string("2026-12-08 07.00"); },
                          [](const std::string& at) { return std::filesystem::space(at).available; }});
  const auto play = [&] {
    controller.station().playNamed("Test FM", icecast.Address("radio.mp3"));
    return test::WaitUntil([&] { return !player.streamTitle().empty(); }, 15s);
  };
  EXPECT_FALSE(recorder.start());  // nothing plays
  ASSERT_TRUE(play());
  ASSERT_TRUE(recorder.start());
  for (const char* title : {"Second: AC/DC", "Third"}) {
    test::Pump(1500ms);
    ASSERT_TRUE(icecast.SetTitle("/radio.mp3", title));
    ASSERT_TRUE(test::WaitUntil([&] { return player.streamTitle() == title; }, 10s));
  }
  test::Pump(1500ms);
  controller.station().stop();
  EXPECT_FALSE(recorder.recording());
  EXPECT_EQ(test::Names(folder), (std::vector<std::string>{"Test FM - First song (partial).mp3",
                                                          "Test FM - Second_ AC_DC.mp3", "Test FM - Third (partial).mp3"}));
  for (const std::string& file : recorder.files()) EXPECT_GT(Duration(file), 0.5) << file;
  EXPECT_TRUE(test::WaitUntil([&] { return !HoldsOpen(folder); }, 3s));

  // Less than 500 MB free: it stops and says so; what was not recorded whole goes when so chosen.
  test::TmpfsMount small(music / "small", "520m");
  if (!small.mounted()) GTEST_SKIP() << "no right to mount a tmpfs";
  folder = (music / "small").string();
  int full = 0;
  QObject::connect(&recorder, &RecordControl::diskFull, [&] { ++full; });
  recorder.setKeepPartial(false);
  ASSERT_TRUE(play() && recorder.start());
  std::ofstream(music / "small/filler", std::ios::binary) << std::string(60 << 20, 'x');
  ASSERT_TRUE(icecast.SetTitle("/radio.mp3", "Fourth"));
  ASSERT_TRUE(test::WaitUntil([&] { return !recorder.recording(); }, 15s));
  EXPECT_EQ(full, 1);
  EXPECT_EQ(test::Names(folder), std::vector<std::string>{"filler"});
  EXPECT_TRUE(test::WaitUntil([&] { return !HoldsOpen(folder); }, 3s));  // mpv closes it on its own thread
}

// Recording keeps no memory per packet, whatever libmpv version leaks it.
TEST(RecordControlTest, SixThousandRecordedPacketsLeaveNoHeapBehind) {
  int argc = 0; QCoreApplication app(argc, nullptr);
  test::Icecast icecast({{"/opus.ogg", test::Icecast::Feed::OggOpus}});
  MpvPlayer player(std::map<std::string, std::string>{  // small buffers: what the heap gains is what the recording keeps
      {"ao", "null"}, {"demuxer-max-back-bytes", "0"}, {"demuxer-max-bytes", "64KiB"}});
  QTemporaryDir folder;
  player.setURL(icecast.Address("opus.ogg"));
  ASSERT_TRUE(test::WaitUntil([&] { return player.state().activity == PlayState::Playing; }, 15s));
  ASSERT_TRUE(player.record(folder.filePath("song.opus").toStdString()));
  test::Pump(3s);
  const size_t before = mallinfo2().uordblks;
  test::Pump(15s);  // 400 packets a second; the leak was a hundred bytes each
  const size_t after = mallinfo2().uordblks;
  player.record("");
  EXPECT_LT(after, before + 400 * 1024) << "before " << before << ", after " << after;
}

}  // namespace
}  // namespace vandrel
