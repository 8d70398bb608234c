#include "stations/Schedule.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "core/TextDecoding.h"

namespace vandrel {

void SleepTimer::start(Millis now, std::chrono::minutes after) {
  mode_ = Mode::Time;
  end_ = now + after;
}

void SleepTimer::startUntilSongEnds() { mode_ = Mode::SongEnd; }

std::chrono::seconds SleepTimer::remaining(Millis now) const {
  if (mode_ != Mode::Time || now >= end_) return std::chrono::seconds(0);
  return std::chrono::ceil<std::chrono::seconds>(end_ - now);
}

SleepTimer::Step SleepTimer::at(Millis now) {
  if (mode_ != Mode::Time) return {};
  if (now >= end_) {
    mode_ = Mode::Off;
    return {0.0, true};
  }
  const Millis left = end_ - now;
  return {left >= kFade ? 1.0 : static_cast<double>(left.count()) / static_cast<double>(kFade.count()), false};
}

SleepTimer::Step SleepTimer::titleChanged() {
  if (mode_ != Mode::SongEnd) return {};
  mode_ = Mode::Off;
  return {0.0, true};
}

std::string AlarmSetting::saved() const {
  return std::string(on ? "1" : "0") + "," + std::to_string(hour) + "," + std::to_string(minute) + "," +
         std::to_string(weekdays) + "," + favourite;
}

AlarmSetting AlarmSetting::Read(const std::string& saved) {
  AlarmSetting alarm;
  int fields[4] = {};
  std::size_t at = 0;
  for (int& field : fields) {
    const std::size_t comma = saved.find(',', at);
    if (comma == std::string::npos) return {};
    const auto [end, error] = std::from_chars(saved.data() + at, saved.data() + comma, field);
    if (error != std::errc() || end != saved.data() + comma) return {};
    at = comma + 1;
  }
  if (fields[1] < 0 || fields[1] > 23 || fields[2] < 0 || fields[2] > 59 || fields[3] < 0 || fields[3] > 0x7F) return {};
  alarm.on = fields[0] == 1;
  alarm.hour = fields[1];
  alarm.minute = fields[2];
  alarm.weekdays = static_cast<unsigned>(fields[3]);
  alarm.favourite = saved.substr(at);
  return alarm;
}

bool AlarmDue(const AlarmSetting& alarm, const LocalMoment& before, const LocalMoment& now) {
  if (!alarm.on || (alarm.weekdays & (1u << now.weekday)) == 0) return false;
  const std::int64_t today = now.epochSeconds - now.secondOfDay;
  const std::int64_t ring = today + alarm.hour * 3600 + alarm.minute * 60;
  return before.epochSeconds < ring && ring <= now.epochSeconds && now.epochSeconds - ring <= kAlarmLate.count();
}

double AlarmVolumeShare(Millis sinceStart) {
  constexpr double kLow = 0.1;
  constexpr Millis kRise{60'000};
  if (sinceStart >= kRise) return 1.0;
  return kLow + (1.0 - kLow) * static_cast<double>(std::max<Millis::rep>(0, sinceStart.count())) /
                    static_cast<double>(kRise.count());
}

std::vector<std::string> AlarmStations(const std::string& chosen, const std::vector<std::string>& favourites) {
  std::vector<std::string> order;
  if (std::find(favourites.begin(), favourites.end(), chosen) != favourites.end()) order.push_back(chosen);
  for (const std::string& name : favourites) {
    if (name != chosen) order.push_back(name);
  }
  return order;
}

namespace {

std::string FileNamePart(const std::string& text) {
  std::string part = ScreenText(text);
  for (char& c : part) {
    if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) c = '_';
  }
  // Blanks around it go; a leading dot would hide the file.
  const auto first = part.find_first_not_of(" .");
  const auto last = part.find_last_not_of(' ');
  return first == std::string::npos ? "" : part.substr(first, last - first + 1);
}

}  // namespace

std::string RecordingFileName(const std::string& station, const std::string& title, const std::string& extension,
                              const std::string& stamp, bool partial) {
  // Within a file name's 255 bytes, with room for " (2)" and the extension.
  constexpr std::size_t kMaxBytes = 200;
  std::string name = FileNamePart(station);
  const std::string song = FileNamePart(title);
  name = (name.empty() ? "Radio" : name) + " - " + (song.empty() ? FileNamePart(stamp) : song);
  return CutUtf8(std::move(name), kMaxBytes) + (partial ? " (partial)" : "") + "." + extension;
}

std::string RecordingExtension(const std::string& codec) {
  static constexpr std::pair<std::string_view, std::string_view> kKnown[] = {
      {"mp3", "mp3"}, {"aac", "aac"}, {"aac_latm", "aac"}, {"vorbis", "ogg"}, {"opus", "opus"}, {"flac", "flac"},
      {"mp2", "mp2"}};
  for (const auto& [name, extension] : kKnown) {
    if (codec == name) return std::string(extension);
  }
  return "mka";  // Matroska holds any codec as it is
}

}  // namespace vandrel
