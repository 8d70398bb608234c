#include "control/RecordControl.h"

#include <filesystem>
#include <utility>

#include "core/ProgramFolder.h"
#include "stations/Schedule.h"

namespace vandrel {

namespace fs = std::filesystem;

namespace {

// name.ext, else "name (2).ext" and on: nothing recorded before is overwritten.
std::string FreeName(const std::string& folder, const std::string& file) {
  const std::size_t dot = file.rfind('.');
  std::string name = InFolder(folder, file);
  std::error_code ec;
  for (int n = 2; fs::exists(name, ec) && n < 1000; ++n) {
    name = InFolder(folder, file.substr(0, dot) + " (" + std::to_string(n) + ")" + file.substr(dot));
  }
  return name;
}

}  // namespace

RecordControl::RecordControl(Places places, QObject* parent)
    : QObject(parent), controller_(places.controller), places_(std::move(places)) {
  space_.setInterval(10'000);
  connect(&space_, &QTimer::timeout, this, [this] {
    if (!enoughSpace()) stop();
  });
  MediaPlayer& player = controller_.player();
  connect(&player, &MediaPlayer::titleChanged, this, [this](const QString& title) {
    if (recording() && !title.isEmpty()) next(title.toStdString());
  });
  connect(&player, &MediaPlayer::stateChanged, this, [this](const PlayerState& state) {
    if (recording() && (state.activity == PlayState::Stopped || state.activity == PlayState::Error)) stop();
  });
  connect(&controller_, &StationController::stationChanged, this, [this] {
    if (recording()) stop();
  });
}

RecordControl::~RecordControl() { stop(); }

bool RecordControl::enoughSpace() {
  if (places_.freeBytes(folder_) >= kMinFreeRecordingBytes) return true;
  emit diskFull();
  return false;
}

bool RecordControl::start() {
  if (recording()) return true;
  const PlayState activity = controller_.player().state().activity;
  if (activity != PlayState::Playing && activity != PlayState::Buffering) return false;
  folder_ = places_.folder();
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (!fs::is_directory(folder_, ec) || !enoughSpace()) return false;
  // Begun in the middle of a song.
  const std::string title = controller_.player().streamTitle();
  current_ = FreeName(folder_, RecordingFileName(controller_.station().name(), title,
                                                 RecordingExtension(controller_.player().codec()), places_.stamp(), true));
  currentPartial_ = true;
  if (!controller_.player().record(current_)) {
    current_.clear();
    return false;
  }
  space_.start();
  emit changed();
  return true;
}

void RecordControl::next(const std::string& title) {
  if (!enoughSpace()) return stop();
  const std::string file = FreeName(folder_, RecordingFileName(controller_.station().name(), title,
                                                               RecordingExtension(controller_.player().codec()),
                                                               places_.stamp(), false));
  finish(false);
  current_ = file;
  currentPartial_ = false;
  if (!controller_.player().record(current_)) current_.clear();
  emit changed();
}

void RecordControl::stop() {
  if (!recording()) return;
  space_.stop();
  controller_.player().record("");
  finish(true);  // the last song is cut where the recording stops
  emit changed();
}

void RecordControl::finish(bool cut) {
  std::error_code ec;
  std::string file = std::exchange(current_, "");
  if (!fs::exists(file, ec)) return;  // nothing came
  const bool partial = currentPartial_ || cut;
  if (partial && !keepPartial_) {
    fs::remove(file, ec);
    return;
  }
  if (partial && !currentPartial_) {
    // Named as a whole song when it began; it did not end as one.
    const std::size_t dot = file.rfind('.');
    const std::string marked = FreeName(fs::path(file).parent_path().string(),
                                        fs::path(file.substr(0, dot) + " (partial)" + file.substr(dot)).filename().string());
    fs::rename(file, marked, ec);
    if (!ec) file = marked;
  }
  files_.push_back(file);
}

}  // namespace vandrel
