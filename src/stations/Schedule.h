#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vandrel {

using Millis = std::chrono::milliseconds;

// Stops playback after a while, or when the song ends, fading the volume
// out over the last kFade. Times are on a steady clock, from the caller.
class SleepTimer {
 public:
  static constexpr Millis kFade{30'000};

  struct Step {
    double volumeShare = 1.0;  // of the volume the user set
    bool stop = false;
    bool operator==(const Step&) const = default;
  };

  void start(Millis now, std::chrono::minutes after);
  void startUntilSongEnds();
  void cancel() { mode_ = Mode::Off; }
  bool running() const { return mode_ != Mode::Off; }
  bool untilSongEnds() const { return mode_ == Mode::SongEnd; }
  // Rounded up to whole seconds; zero when not running or until the song ends.
  std::chrono::seconds remaining(Millis now) const;

  // What to do at this moment; a stop ends the timer.
  Step at(Millis now);
  // A new title: the song that played has ended.
  Step titleChanged();

 private:
  enum class Mode { Off, Time, SongEnd } mode_ = Mode::Off;
  Millis end_{0};
};

// A moment of the local clock, as the alarm sees it.
struct LocalMoment {
  std::int64_t epochSeconds = 0;
  int weekday = 0;       // 0 Monday .. 6 Sunday
  int secondOfDay = 0;   // 0 .. 86399
};

struct AlarmSetting {
  bool on = false;
  int hour = 7;
  int minute = 0;
  unsigned weekdays = 0x1F;  // bit 0 Monday .. bit 6 Sunday; Monday to Friday
  std::string favourite;

  // "on,hour,minute,weekdays,favourite" as kept in the settings.
  std::string saved() const;
  static AlarmSetting Read(const std::string& saved);
};

// Whether the alarm sounds between two looks at the clock: its time came
// after `before` and no longer than kLate ago, on one of its weekdays. A
// program that was not running, or a machine that slept, does not wake
// anyone late.
inline constexpr std::chrono::seconds kAlarmLate{120};
bool AlarmDue(const AlarmSetting& alarm, const LocalMoment& before, const LocalMoment& now);

// The volume share of a waking alarm: from low to the set volume over a minute.
double AlarmVolumeShare(Millis sinceStart);

// What the alarm tries, in order: the chosen favourite, then the others.
std::vector<std::string> AlarmStations(const std::string& chosen, const std::vector<std::string>& favourites);

// "Station - Title.ext" for a recording; the stamp (date and time, as
// "2026-12-08 07.00") stands in for a missing title; "(partial)" marks a song not recorded from its start or to
// its end. Characters that a file name, or a music player's FAT stick, cannot
// hold become "_".
std::string RecordingFileName(const std::string& station, const std::string& title, const std::string& extension,
                              const std::string& stamp, bool partial);

// The file extension that keeps a stream's codec as it is (mpv's codec names).
std::string RecordingExtension(const std::string& codec);

// Recording stops below this much free space.
inline constexpr std::uint64_t kMinFreeRecordingBytes = 500ull * 1000 * 1000;

}  // namespace vandrel
