#include "platform/MpvPlayer.h"

#include <mpv/client.h>

#include <QMetaObject>
#include <clocale>
#include <cstring>

namespace vandrel {

namespace {

enum ReplyId : std::uint64_t { kPausedForCache = 1, kBufferingState, kIcyTitle };

void SetOption(mpv_handle* mpv, const char* name, const char* value) { mpv_set_option_string(mpv, name, value); }

}  // namespace

MpvPlayer::MpvPlayer(const std::map<std::string, std::string>& options, QObject* parent) : QObject(parent) {
  // libmpv refuses to start unless numbers are formatted the C way.
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  if (!mpv_) return;  // then nothing ever plays; every call stays harmless

  SetOption(mpv_, "vid", "no");
  SetOption(mpv_, "vo", "null");
  SetOption(mpv_, "audio-display", "no");
  SetOption(mpv_, "terminal", "no");
  SetOption(mpv_, "input-default-bindings", "no");
  SetOption(mpv_, "input-vo-keyboard", "no");
  SetOption(mpv_, "osc", "no");
  SetOption(mpv_, "ytdl", "no");
  SetOption(mpv_, "load-scripts", "no");
  SetOption(mpv_, "idle", "yes");
  SetOption(mpv_, "network-timeout", "15");
  SetOption(mpv_, "user-agent", "Vandrel Internet Radio");
  SetOption(mpv_, "audio-client-name", "vandrel-radio");
  SetOption(mpv_, "volume-max", "100");
  SetOption(mpv_, "volume", "100");
  SetOption(mpv_, "cache", "yes");
  for (const auto& [name, value] : options) SetOption(mpv_, name.c_str(), value.c_str());

  if (mpv_initialize(mpv_) < 0) {
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    return;
  }
  mpv_observe_property(mpv_, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
  mpv_observe_property(mpv_, kBufferingState, "cache-buffering-state", MPV_FORMAT_INT64);
  mpv_observe_property(mpv_, kIcyTitle, "metadata/by-key/icy-title", MPV_FORMAT_STRING);
  mpv_set_wakeup_callback(mpv_, &MpvPlayer::wakeup, this);
  retry_.setSingleShot(true);
  connect(&retry_, &QTimer::timeout, this, [this] { load(); });
}

MpvPlayer::~MpvPlayer() {
  if (!mpv_) return;
  mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
  mpv_terminate_destroy(mpv_);
}

void MpvPlayer::wakeup(void* self) {
  // Called on one of mpv's threads: only post, never touch Qt objects here.
  QMetaObject::invokeMethod(static_cast<MpvPlayer*>(self), "drainEvents", Qt::QueuedConnection);
}

void MpvPlayer::setURL(const std::string& address) {
  url_ = address;
  title_.clear();
  retry_.stop();
  reconnect_.Reset();
  played_ = false;
  if (!mpv_) return;
  if (address.empty()) {
    // Nothing to play: whatever played stops, and that is no error.
    const char* stop[] = {"stop", nullptr};
    mpv_command(mpv_, stop);
    currentEntry_ = -1;
    setState(State::Stopped);
    return;
  }
  load();
}

void MpvPlayer::load() {
  const char* load[] = {"loadfile", url_.c_str(), "replace", nullptr};
  mpv_node result{};
  if (mpv_command_ret(mpv_, load, &result) < 0) {
    currentEntry_ = -1;
    // Reported later, like every player error, never inside the caller's call.
    QMetaObject::invokeMethod(this, [this] { failed(); }, Qt::QueuedConnection);
    setState(State::Error);
    return;
  }
  currentEntry_ = -1;
  if (result.format == MPV_FORMAT_NODE_MAP) {
    for (int i = 0; i < result.u.list->num; ++i) {
      if (std::strcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
          result.u.list->values[i].format == MPV_FORMAT_INT64) {
        currentEntry_ = result.u.list->values[i].u.int64;
      }
    }
  }
  mpv_free_node_contents(&result);
  bufferPercent_ = 0;
  setState(State::Connecting);
}

void MpvPlayer::failed() {
  if (played_) {
    dropped();
    return;
  }
  setState(State::Error);
  if (onError) onError();
}

void MpvPlayer::dropped() {
  if (const auto pause = reconnect_.NextPause()) {
    retryInSeconds_ = static_cast<int>((pause->count() + 999) / 1000);
    setState(State::Reconnecting);
    retry_.start(*pause);
    return;
  }
  played_ = false;
  reconnect_.Reset();
  setState(State::Error);
  if (onError) onError();
}

void MpvPlayer::close() {
  if (mpv_) {
    const char* stop[] = {"stop", nullptr};
    mpv_command(mpv_, stop);
  }
  currentEntry_ = -1;
  title_.clear();
  retry_.stop();
  reconnect_.Reset();
  played_ = false;
  setState(State::Stopped);
}

void MpvPlayer::setVolume(int volume) {
  volume_ = volume < 0 ? 0 : (volume > 100 ? 100 : volume);
  if (!mpv_) return;
  double value = volume_;
  mpv_set_property_async(mpv_, 0, "volume", MPV_FORMAT_DOUBLE, &value);
}

void MpvPlayer::drainEvents() {
  while (mpv_) {
    mpv_event* event = mpv_wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) break;
    handle(*event);
  }
}

void MpvPlayer::handle(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_START_FILE: {
      const auto* start = static_cast<const mpv_event_start_file*>(event.data);
      if (start->playlist_entry_id == currentEntry_) setState(State::Connecting);
      break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
      if (currentEntry_ >= 0 && state_ != State::Buffering) {
        played_ = true;
        reconnect_.Reset();
        setState(State::Playing);
      }
      break;
    case MPV_EVENT_END_FILE: {
      const auto* end = static_cast<const mpv_event_end_file*>(event.data);
      // Ends of streams that were replaced or closed are old news.
      if (end->playlist_entry_id != currentEntry_) break;
      currentEntry_ = -1;
      if (played_ && (end->reason == MPV_END_FILE_REASON_ERROR || end->reason == MPV_END_FILE_REASON_EOF)) {
        dropped();
      } else if (end->reason == MPV_END_FILE_REASON_ERROR) {
        failed();
      } else {
        setState(State::Stopped);
      }
      break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
      const auto* prop = static_cast<const mpv_event_property*>(event.data);
      if (event.reply_userdata == kPausedForCache && prop->format == MPV_FORMAT_FLAG) {
        const bool waiting = *static_cast<int*>(prop->data) != 0;
        if (waiting && (state_ == State::Playing || state_ == State::Connecting)) setState(State::Buffering);
        if (!waiting && state_ == State::Buffering) setState(State::Playing);
      } else if (event.reply_userdata == kBufferingState && prop->format == MPV_FORMAT_INT64) {
        bufferPercent_ = static_cast<int>(*static_cast<std::int64_t*>(prop->data));
        updateStatus();
      } else if (event.reply_userdata == kIcyTitle) {
        title_ = prop->format == MPV_FORMAT_STRING ? *static_cast<char**>(prop->data) : "";
        updateStatus();
      }
      break;
    }
    default:
      break;
  }
}

void MpvPlayer::setState(State state) {
  state_ = state;
  updateStatus();
}

void MpvPlayer::updateStatus() {
  std::string text;
  switch (state_) {
    case State::Stopped: text = "Stopped"; break;
    case State::Connecting: text = "Connecting"; break;
    case State::Buffering: text = "Buffering " + std::to_string(bufferPercent_) + "%"; break;
    case State::Playing: text = title_.empty() ? "Playing" : "Playing: " + title_; break;
    case State::Reconnecting:
      text = "Reconnecting in " + std::to_string(retryInSeconds_) + " s (" + std::to_string(reconnect_.Tries()) +
             "/" + std::to_string(reconnect_.MaxTries()) + ")";
      break;
    case State::Error: text = "Error"; break;
  }
  if (text == status_) return;
  status_ = text;
  if (onStatusChange) onStatusChange();
}

}  // namespace vandrel
