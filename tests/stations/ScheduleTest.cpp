// The sleep timer, the wake-up alarm and the recording's file names, on a fake clock.
#include <gtest/gtest.h>

#include "stations/Schedule.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
using Step = SleepTimer::Step;

TEST(SleepTimerTest, FadesOverTheLastHalfMinuteThenStopsOnceAndCancelsOrWaitsForTheSong) {
  SleepTimer timer;
  EXPECT_EQ(timer.at(0ms), Step{});
  timer.start(1000ms, 15min);
  const struct { Millis now; Step step; long remaining; } steps[] = {
      {1000ms + 14min + 29s, {1.0, false}, 31}, {1000ms + 14min + 30s, {1.0, false}, 30},
      {1000ms + 14min + 45s, {0.5, false}, 15}, {1000ms + 15min - 1ms, {1.0 / 30000, false}, 1},
      {1000ms + 15min, {0.0, true}, 0},         {1000ms + 16min, {1.0, false}, 0},  // stopped once, then off
  };
  for (const auto& s : steps) {
    EXPECT_EQ(timer.remaining(s.now).count(), s.remaining) << s.now.count();
    EXPECT_EQ(timer.at(s.now), s.step) << s.now.count();
  }
  EXPECT_FALSE(timer.running());
  timer.start(0ms, 30min);
  timer.cancel();
  EXPECT_EQ(timer.at(31min), Step{});
  timer.startUntilSongEnds();
  EXPECT_EQ(timer.at(90min), Step{});  // no clock for the song's end
  EXPECT_EQ(timer.titleChanged(), (Step{0.0, true}));
  EXPECT_EQ(timer.titleChanged(), Step{});
}

TEST(AlarmTest, SoundsOnItsWeekdaysWithinTwoMinutesOfItsTimeNeverLateAndKeepsItsSetting) {
  // Seven o'clock on a Wednesday (weekday 2).
  const std::int64_t seven = 1796799600;
  const auto at = [&](std::int64_t delta, int weekday = 2) {
    return LocalMoment{seven + delta, weekday, static_cast<int>(7 * 3600 + delta)};
  };
  AlarmSetting alarm = AlarmSetting::Read("1,7,0,31,Radio 1, het nieuws");
  EXPECT_EQ(alarm.favourite, "Radio 1, het nieuws");
  EXPECT_EQ(AlarmSetting::Read(alarm.saved()).saved(), alarm.saved());
  const struct { LocalMoment before, now; bool due; } cases[] = {
      {at(-20), at(10), true},    {at(0), at(10), false},  // its time was seen before
      {at(-20), at(-1), false},   {at(-20), at(120), true},
      {at(-200), at(121), false},  // the program was not running: not played late
      {at(-20, 5), at(10, 5), false},  // Saturday
  };
  for (const auto& c : cases) EXPECT_EQ(AlarmDue(alarm, c.before, c.now), c.due) << c.now.epochSeconds - seven;
  alarm.on = false;
  EXPECT_FALSE(AlarmDue(alarm, at(-20), at(10)));
  for (const char* bad : {"1,24,0,31,x", "1,7,60,31,x", "1,7,0,128,x", "1,7,0", "1,a,0,31,x"})
    EXPECT_FALSE(AlarmSetting::Read(bad).on) << bad;
  for (const auto& [since, share] : {std::pair<Millis, double>{0ms, 0.1}, {30s, 0.55}, {2min, 1.0}})
    EXPECT_DOUBLE_EQ(AlarmVolumeShare(since), share) << since.count();
  EXPECT_EQ(AlarmStations("B", {"A", "B", "C"}), (std::vector<std::string>{"B", "A", "C"}));
  EXPECT_EQ(AlarmStations("gone", {"A"}), (std::vector<std::string>{"A"}));
}

TEST(RecordingNameTest, NamesTheSongAndKeepsTheCodecInNamesEveryDiskCanHold) {
  const struct { const char* station; const char* title; bool partial; const char* name; } cases[] = {
      {"Radio 1", "Artist - Song", false, "Radio 1 - Artist - Song.mp3"},
      {"AC/DC FM", "Who? \"Me\" <a|b> c:\\d*", true, "AC_DC FM - Who_ _Me_ _a_b_ c__d_ (partial).mp3"},
      {"..hidden", "", false, "hidden - 2026-12-08 07.00.mp3"},
      {"", "line\nbreak\x1B[31m", false, "Radio - line break[31m.mp3"},
  };
  for (const auto& [station, title, partial, name] : cases)
    EXPECT_EQ(RecordingFileName(station, title, "mp3", "2026-12-08 07.00", partial), name);
  EXPECT_EQ(RecordingFileName(std::string(300, 'x'), "t", "ogg", "", false), std::string(200, 'x') + ".ogg");
  for (const auto& [codec, extension] : {std::pair("vorbis", "ogg"), {"aac_latm", "aac"}, {"pcm_s16le", "mka"}})
    EXPECT_EQ(RecordingExtension(codec), extension);
}

}  // namespace
}  // namespace vandrel
