#include "platform/MpvPlayer.h"

#include <QMetaObject>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/StreamAddress.h"
#include "platform/MpvLibrary.h"

namespace vandrel {

namespace {

// An address as one line of a terminal: it came from the network.
std::string PrintableAddress(const std::string& address) {
  std::string line = address.substr(0, 300);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return line;
}

}  // namespace

MpvPlayer::MpvPlayer(std::map<std::string, std::string> options, QObject* parent)
    : MediaPlayer(parent), options_(std::move(options)) {
  const auto timeout = options_.find("network-timeout");
  const int seconds =
      timeout != options_.end() ? std::max(1, std::atoi(timeout->second.c_str())) : kNetworkTimeoutSeconds;
  reconnect_ = ReconnectPolicy({.networkTimeout = std::chrono::seconds(seconds)});
  retry_.setSingleShot(true);
  connect(&retry_, &QTimer::timeout, this, [this] { load(); });
  decide_.setSingleShot(true);
  decide_.setInterval(std::chrono::milliseconds(200));
  connect(&decide_, &QTimer::timeout, this, [this] {
    if (!ending_) return;
    ending_ = false;
    ended();
  });
  // The countdown of a pause before the next try; it ends with the pause.
  countdown_.setInterval(std::chrono::seconds(1));
  connect(&countdown_, &QTimer::timeout, this, [this] {
    if (!retry_.isActive()) return countdown_.stop();
    // The ticks fall on whole seconds of the pause, give or take a little.
    PlayerState next = state_;
    next.reconnectInSeconds = std::max(1, (retry_.remainingTime() + 500) / 1000);
    setState(next);
  });
  slowTry_.setSingleShot(true);
  connect(&slowTry_, &QTimer::timeout, this, [this] {
    if (comeback_.slowTry(sounding())) comeBack();
    armSlowTry();
  });
}

void MpvPlayer::setReconnectPauses(ReconnectPolicy::Pauses pauses, std::chrono::milliseconds steady) {
  reconnect_ = ReconnectPolicy({std::move(pauses), steady, reconnect_.timing().networkTimeout});
}

void MpvPlayer::setURL(const std::string& address) {
  comeback_.forget();
  url_ = address;
  forgetTitles();
  retry_.stop();
  reconnect_.begin();
  if (address.empty()) {
    // Nothing to play: whatever played stops, and that is no error.
    stopStream();
    setState(PlayState::Stopped);
    return;
  }
  load();
}

void MpvPlayer::load() {
  playlists_.cancel();  // the entry it held lets mpv go on to ours
  // mpv keeps the option from file to file: another station is never written into this one's file.
  if (mpv_) record("");
  active_ = false;
  ending_ = false;
  restarted_ = false;
  waiting_ = false;
  failure_ = {};
  buffered_ = 0;
  if (!IsWebRadioAddress(url_)) {
    stopStream();
    failed(PlayFailure::NotWebRadio);
    return;
  }
  if (!lib_) {
    openLibrary();
    setState(PlayState::Connecting);
    return;
  }
  if (!start()) {
    failed(PlayFailure::Unplayable);
    return;
  }
  const char* command[] = {"loadfile", url_.c_str(), "replace", nullptr};
  mpv_node result{};
  if (lib_->mpv_command_ret(mpv_, command, &result) < 0) {
    failed(PlayFailure::Unplayable);
    return;
  }
  firstEntry_ = std::numeric_limits<std::int64_t>::max();
  if (result.format == MPV_FORMAT_NODE_MAP) {
    for (int i = 0; i < result.u.list->num; ++i) {
      if (std::strcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
          result.u.list->values[i].format == MPV_FORMAT_INT64) {
        firstEntry_ = result.u.list->values[i].u.int64;
      }
    }
  }
  lib_->mpv_free_node_contents(&result);
  active_ = true;
  setState(PlayState::Connecting);
}

void MpvPlayer::stopStream() {
  active_ = false;
  ending_ = false;
  if (!mpv_) return;
  record("");
  const char* stop[] = {"stop", nullptr};
  lib_->mpv_command(mpv_, stop);
}

void MpvPlayer::failed(PlayFailure failure, int httpStatus) {
  active_ = false;
  retry_.stop();
  PlayerState error = state_;
  error.activity = PlayState::Error;
  error.failure = failure;
  error.httpStatus = httpStatus;
  setState(error);
  setTitle("");
  const std::string cause = FailureText(state_);
  std::fprintf(stderr, "vandrel-radio: cannot play %s: %s\n", PrintableAddress(url_).c_str(),
               cause.empty() ? "unplayable" : cause.c_str());
  if (!comeback_.report()) return;  // a try to bring a lost station back
  // Reported from the event loop, never inside a call to the player nor
  // while mpv's events are being read: a box opened by a listener must not
  // hold the player.
  QMetaObject::invokeMethod(
      this, [this, text = QString::fromStdString(cause)] { emit errorOccurred(text); }, Qt::QueuedConnection);
}

void MpvPlayer::ended() {
  PlayEnd end = failure_;
  end.outputFailed = endError_ == MPV_ERROR_AO_INIT_FAILED;
  end.unknownFormat = endError_ == MPV_ERROR_UNKNOWN_FORMAT;
  const Reconnect next = reconnect_.ended(end);
  if (next.retry) return retry(next);
  if (next.lost) lose();
  failed(next.failure, next.httpStatus);
}

void MpvPlayer::retry(const Reconnect& next) {
  PlayerState waiting = state_;
  waiting.activity = PlayState::Reconnecting;
  waiting.reconnectTry = next.attempt;
  waiting.reconnectTries = next.attempts;
  waiting.reconnectInSeconds = static_cast<int>((next.pause.count() + 999) / 1000);
  setState(waiting);
  retry_.start(next.pause);
  countdown_.start();
}

void MpvPlayer::lose() {
  comeback_.lost();
  armSlowTry();
}

void MpvPlayer::armSlowTry() {
  if (const auto pause = comeback_.nextSlowTry()) {
    slowTry_.start(*pause);
  } else {
    slowTry_.stop();
  }
}

void MpvPlayer::comeBack() {
  retry_.stop();
  load();
}

void MpvPlayer::networkBack() {
  if (comeback_.networkBack(sounding())) comeBack();
}

void MpvPlayer::suspending() {
  comeback_.suspending(IsActive(state_.activity));
  armSlowTry();
}

void MpvPlayer::close() {
  comeback_.forget();
  stopStream();
  forgetTitles();
  retry_.stop();
  reconnect_.begin();
  setState(PlayState::Stopped);
}

void MpvPlayer::pause() {
  comeback_.forget();
  if (!IsActive(state_.activity)) return;
  // A live stream cannot wait: it is let go, and play opens it afresh.
  stopStream();
  retry_.stop();
  reconnect_.interrupted();
  setState(PlayState::Paused);
}

void MpvPlayer::play() {
  comeback_.forget();
  // While it waits to try again, play tries at once.
  if (url_.empty() || (IsActive(state_.activity) && state_.activity != PlayState::Reconnecting)) return;
  if (state_.activity != PlayState::Reconnecting) reconnect_.begin();
  retry_.stop();
  load();
}

void MpvPlayer::setVolume(int volume) {
  const int value = volume < 0 ? 0 : (volume > 100 ? 100 : volume);
  if (value != volume_) {
    volume_ = value;
    emit volumeChanged(volume_);
  }
  if (!mpv_) return;  // applied when mpv starts
  double level = volume_;
  lib_->mpv_set_property_async(mpv_, 0, "volume", MPV_FORMAT_DOUBLE, &level);
}

void MpvPlayer::setState(PlayState activity) {
  PlayerState next = state_;
  next.activity = activity;
  setState(next);
}

void MpvPlayer::setState(PlayerState next) {
  // The cache's fill is part of the state only while it is shown.
  next.bufferPercent = next.activity == PlayState::Buffering ? buffered_ : 0;
  if (next == state_) return;
  state_ = next;
  emit stateChanged(state_);
}

void MpvPlayer::forgetTitles() {
  setTitle("");
  charset_.reset();
  tags_.reset();
}

void MpvPlayer::setTitle(std::string title) {
  if (title == title_) return;
  title_ = std::move(title);
  if (mpv_) {
    // "$>" ends mpv's property expansion: the title is shown as it stands.
    const std::string name = "$>" + (title_.empty() ? std::string(kStreamName) : title_);
    const char* value = name.c_str();
    lib_->mpv_set_property_async(mpv_, 0, "title", MPV_FORMAT_STRING, &value);
  }
  emit titleChanged(QString::fromStdString(title_));
}

}  // namespace vandrel

namespace vandrel {

bool MpvPlayer::record(const std::string& path) {
  if (!mpv_ || (!path.empty() && !sounding())) return false;
  if (path.empty() && !recording_) return true;
  recording_ = !path.empty();
  return lib_->mpv_set_property_string(mpv_, "stream-record", path.c_str()) >= 0;
}

std::string MpvPlayer::codec() const {
  if (!mpv_) return "";
  return lib_->text(mpv_, "audio-codec-name").value_or("");
}

}  // namespace vandrel
