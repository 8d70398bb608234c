#include "platform/MpvPlayer.h"

#include "platform/MpvLibrary.h"
#include "platform/StreamAddress.h"

#include <QMetaObject>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

namespace vandrel {

namespace {

enum ReplyId : std::uint64_t { kPausedForCache = 1, kBufferingState, kMetadata, kAudioOutput, kLoadHook };

// What a lavf demuxer may open inside a stream (HLS segments and keys) and
// what the stream itself may become on a redirect: the network, never a file.
constexpr const char* kDemuxerProtocols = "protocol_whitelist=[http,https,tls,tcp,crypto,httpproxy]";
constexpr const char* kStreamProtocols = "protocol_whitelist=[http,https,tls,tcp,httpproxy]";

// The sound server names our stream by mpv's title: the stream's own title
// as we clean it, never mpv's raw one.
constexpr const char* kStreamName = "Vandrel Internet Radio";

std::map<std::string, std::string> StringsOf(const mpv_node& node) {
  std::map<std::string, std::string> values;
  if (node.format != MPV_FORMAT_NODE_MAP) return values;
  for (int i = 0; i < node.u.list->num; ++i) {
    if (node.u.list->values[i].format == MPV_FORMAT_STRING) {
      values[node.u.list->keys[i]] = node.u.list->values[i].u.string;
    }
  }
  return values;
}

}  // namespace

MpvPlayer::MpvPlayer(std::map<std::string, std::string> options, QObject* parent)
    : MediaPlayer(parent), options_(std::move(options)) {
  retry_.setSingleShot(true);
  connect(&retry_, &QTimer::timeout, this, [this] { load(); });
  steady_.setSingleShot(true);
  steady_.setInterval(std::chrono::seconds(10));
  connect(&steady_, &QTimer::timeout, this, [this] { reconnect_.Reset(); });
}

// Shared with the thread that opens libmpv, which may outlive the player.
struct MpvPlayer::Opening {
  std::mutex mutex;
  MpvPlayer* player = nullptr;  // null once the player is gone
};

MpvPlayer::~MpvPlayer() {
  if (opening_) {
    std::lock_guard lock(opening_->mutex);
    opening_->player = nullptr;
  }
  if (!mpv_) return;
  lib_->mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
  lib_->mpv_terminate_destroy(mpv_);
}

void MpvPlayer::setReconnectPauses(ReconnectPolicy::Pauses pauses, std::chrono::milliseconds steady) {
  reconnect_ = ReconnectPolicy(std::move(pauses));
  steady_.setInterval(steady);
}

void MpvPlayer::openLibrary() {
  if (lib_ || opening_) return;
  opening_ = std::make_shared<Opening>();
  opening_->player = this;
  // Loading and binding libmpv's libraries takes a while; the window goes on
  // painting meanwhile.
  std::thread([opening = opening_] {
    std::string ignored;
    OpenMpvLibrary(ignored);
    std::lock_guard lock(opening->mutex);
    // Posted while the player surely lives; Qt drops it if the player goes first.
    if (MpvPlayer* player = opening->player) {
      QMetaObject::invokeMethod(player, [player] { player->libraryOpened(); }, Qt::QueuedConnection);
    }
  }).detach();
}

void MpvPlayer::libraryOpened() {
  opening_.reset();
  std::string why;
  lib_ = OpenMpvLibrary(why);
  const bool asked = state_.state == PlayState::Connecting && !active_ && !url_.empty();
  if (!lib_) {
    std::fprintf(stderr, "vandrel-radio: no playback: %s\n", why.c_str());
    if (asked) failed(PlayFailure::Unplayable);
    return;
  }
  // A play asked for while the library opened, not undone since.
  if (asked) load();
}

bool MpvPlayer::start() {
  if (mpv_) return true;
  if (!lib_) return false;
  // libmpv refuses to start unless numbers are formatted the C way.
  std::setlocale(LC_NUMERIC, "C");
  // The sound server's mixer shows our name and icon.
  ::setenv("PULSE_PROP_application.icon_name", "org.vandrel.Radio", 0);
  mpv_ = lib_->mpv_create();
  if (!mpv_) return false;

  for (const auto& [name, value] : std::map<std::string, std::string>{
           {"vid", "no"}, {"vo", "null"}, {"audio-display", "no"}, {"terminal", "no"},
           {"input-default-bindings", "no"}, {"input-vo-keyboard", "no"}, {"osc", "no"}, {"ytdl", "no"},
           {"load-scripts", "no"}, {"config", "no"}, {"load-unsafe-playlists", "no"},
           {"demuxer-lavf-o", kDemuxerProtocols}, {"stream-lavf-o", kStreamProtocols}, {"tls-verify", "yes"},
           {"idle", "yes"}, {"network-timeout", "15"},
           {"user-agent", "Vandrel Internet Radio"}, {"audio-client-name", "Vandrel Internet Radio"},
           {"title", kStreamName},
           {"volume-max", "100"}, {"cache", "yes"},
           // A live stream is never sought back: a small back buffer (mpv
           // keeps 50 MiB by default, growing with every packet played; with
           // none, stream titles are lost), and a few seconds ahead ride out
           // a stall.
           {"demuxer-max-back-bytes", "1MiB"}, {"demuxer-donate-buffer", "no"}, {"demuxer-max-bytes", "4MiB"},
           {"demuxer-readahead-secs", "5"}, {"cache-secs", "5"},
           // lavf's default probe waits for seconds of a live stream before
           // the first sound; 64 KiB tells MP3, AAC, Ogg and HLS apart.
           {"demuxer-lavf-probesize", "65536"}}) {
    lib_->mpv_set_option_string(mpv_, name.c_str(), value.c_str());
  }
  lib_->mpv_set_option_string(mpv_, "volume", std::to_string(volume_).c_str());
  for (const auto& [name, value] : options_) lib_->mpv_set_option_string(mpv_, name.c_str(), value.c_str());

  if (lib_->mpv_initialize(mpv_) < 0) {
    lib_->mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    return false;
  }
  lib_->mpv_observe_property(mpv_, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
  lib_->mpv_observe_property(mpv_, kBufferingState, "cache-buffering-state", MPV_FORMAT_INT64);
  lib_->mpv_observe_property(mpv_, kMetadata, "metadata", MPV_FORMAT_NODE);
  lib_->mpv_observe_property(mpv_, kAudioOutput, "current-ao", MPV_FORMAT_STRING);
  // Every entry mpv is about to open, a playlist's or a redirect's too,
  // passes here first and waits for our answer.
  lib_->mpv_hook_add(mpv_, kLoadHook, "on_load", 0);
  // Errors only: they tell an untrusted certificate from other failures.
  lib_->mpv_request_log_messages(mpv_, "error");
  lib_->mpv_set_wakeup_callback(mpv_, &MpvPlayer::wakeup, this);
  return true;
}

void MpvPlayer::wakeup(void* self) {
  // Called on one of mpv's threads: only post, never touch Qt objects here.
  QMetaObject::invokeMethod(static_cast<MpvPlayer*>(self), "drainEvents", Qt::QueuedConnection);
}

void MpvPlayer::setURL(const std::string& address) {
  url_ = address;
  setTitle("");
  retry_.stop();
  steady_.stop();
  reconnect_.Reset();
  played_ = false;
  if (address.empty()) {
    // Nothing to play: whatever played stops, and that is no error.
    stopStream();
    setState(PlayState::Stopped);
    return;
  }
  load();
}

void MpvPlayer::load() {
  active_ = false;
  restarted_ = false;
  waiting_ = false;
  failure_ = PlayFailure::Unplayable;
  state_.bufferPercent = 0;
  ++loads_;
  if (!IsWebRadioAddress(url_)) {
    stopStream();
    failLater(PlayFailure::NotWebRadio);
    return;
  }
  if (!lib_) {
    openLibrary();
    setState(PlayState::Connecting);
    return;
  }
  if (!start()) {
    failLater(PlayFailure::Unplayable);
    return;
  }
  const char* command[] = {"loadfile", url_.c_str(), "replace", nullptr};
  mpv_node result{};
  if (lib_->mpv_command_ret(mpv_, command, &result) < 0) {
    failLater(PlayFailure::Unplayable);
    setState(PlayState::Connecting);
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
  if (!mpv_) return;
  const char* stop[] = {"stop", nullptr};
  lib_->mpv_command(mpv_, stop);
}

void MpvPlayer::failLater(PlayFailure why) {
  // Reported later, like every player error, never inside the caller's call,
  // and only while no other load has begun since.
  QMetaObject::invokeMethod(
      this, [this, why, load = loads_] { if (load == loads_) failed(why); }, Qt::QueuedConnection);
}

void MpvPlayer::failed(PlayFailure why) {
  active_ = false;
  const bool newCause = state_.failure != why;
  state_.failure = why;
  if (newCause && state_.state == PlayState::Error) {
    emit stateChanged();
  } else {
    setState(PlayState::Error);
  }
  emit errorOccurred();
}

void MpvPlayer::retry() {
  steady_.stop();
  if (const auto pause = reconnect_.NextPause()) {
    state_.reconnectTry = reconnect_.Tries();
    state_.reconnectTries = reconnect_.MaxTries();
    state_.reconnectInSeconds = static_cast<int>((pause->count() + 999) / 1000);
    setState(PlayState::Reconnecting);
    retry_.start(*pause);
    return;
  }
  giveUp();
}

void MpvPlayer::giveUp() {
  played_ = false;
  reconnect_.Reset();
  failed(PlayFailure::Unplayable);
}

void MpvPlayer::close() {
  ++loads_;
  stopStream();
  setTitle("");
  retry_.stop();
  steady_.stop();
  reconnect_.Reset();
  played_ = false;
  setState(PlayState::Stopped);
}

void MpvPlayer::pause() {
  if (!IsActive(state_.state)) return;
  // A live stream cannot wait: it is let go, and play opens it afresh.
  stopStream();
  retry_.stop();
  steady_.stop();
  setState(PlayState::Paused);
}

void MpvPlayer::play() {
  if (url_.empty() || IsActive(state_.state)) return;
  retry_.stop();
  reconnect_.Reset();
  played_ = false;
  load();
}

void MpvPlayer::setVolume(int volume) {
  const int value = volume < 0 ? 0 : (volume > 100 ? 100 : volume);
  if (value != volume_) {
    volume_ = value;
    emit volumeChanged();
  }
  if (!mpv_) return;  // applied when mpv starts
  double level = volume_;
  lib_->mpv_set_property_async(mpv_, 0, "volume", MPV_FORMAT_DOUBLE, &level);
}

void MpvPlayer::drainEvents() {
  while (mpv_) {
    mpv_event* event = lib_->mpv_wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) break;
    handle(*event);
  }
  if (ending_) {
    ending_ = false;
    failed(failure_);
  }
}

void MpvPlayer::handle(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_START_FILE: {
      const auto* start = static_cast<const mpv_event_start_file*>(event.data);
      if (!active_ || start->playlist_entry_id < firstEntry_) break;
      // The first entry, or the next one of a playlist or redirect.
      restarted_ = false;
      setState(PlayState::Connecting);
      break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
      if (!active_) break;
      restarted_ = true;
      settle();
      break;
    case MPV_EVENT_END_FILE: {
      const auto* end = static_cast<const mpv_event_end_file*>(event.data);
      if (!active_ || end->playlist_entry_id < firstEntry_) break;
      // A playlist or redirect goes on with the entries it added; a stop or
      // replace is our own doing.
      if (end->reason != MPV_END_FILE_REASON_EOF && end->reason != MPV_END_FILE_REASON_ERROR) break;
      restarted_ = false;
      steady_.stop();
      // A playlist of several streams goes on with its next entry.
      if (hasEntryAfter(end->playlist_entry_id)) break;
      active_ = false;
      if (failure_ == PlayFailure::Unplayable &&
          (played_ || (end->reason == MPV_END_FILE_REASON_ERROR && end->error == MPV_ERROR_AO_INIT_FAILED))) {
        retry();
      } else {
        // mpv hands out log messages only once its events are out: the
        // cause is known when the queue is empty.
        ending_ = true;
      }
      break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
      const auto* prop = static_cast<const mpv_event_property*>(event.data);
      switch (event.reply_userdata) {
        case kPausedForCache:
          waiting_ = prop->format == MPV_FORMAT_FLAG && *static_cast<int*>(prop->data) != 0;
          settle();
          break;
        case kBufferingState:
          if (prop->format != MPV_FORMAT_INT64) break;
          state_.bufferPercent = static_cast<int>(*static_cast<std::int64_t*>(prop->data));
          if (state_.state == PlayState::Buffering) emit stateChanged();
          break;
        case kAudioOutput:
          output_ = prop->format == MPV_FORMAT_STRING && **static_cast<char**>(prop->data) != '\0';
          settle();
          break;
        case kMetadata:
          if (!active_) break;
          setTitle(prop->format == MPV_FORMAT_NODE ? StreamTitleOf(StringsOf(*static_cast<mpv_node*>(prop->data)))
                                                   : std::string());
          break;
        default:
          break;
      }
      break;
    }
    case MPV_EVENT_HOOK:
      vet(*static_cast<const mpv_event_hook*>(event.data));
      break;
    case MPV_EVENT_LOG_MESSAGE: {
      const auto* log = static_cast<const mpv_event_log_message*>(event.data);
      // ffmpeg's TLS layer: "Peer certificate failed verification" and kin.
      if ((active_ || ending_) && std::strstr(log->text, "certificate") != nullptr) {
        failure_ = PlayFailure::CertificateNotTrusted;
      }
      break;
    }
    default:
      break;
  }
}

void MpvPlayer::vet(const mpv_event_hook& hook) {
  char* name = lib_->mpv_get_property_string(mpv_, "stream-open-filename");
  if (name != nullptr && !IsWebRadioAddress(name)) {
    // Something no stream handler opens: the entry ends in an error.
    lib_->mpv_set_property_string(mpv_, "stream-open-filename", "refused://");
    if (active_) failure_ = PlayFailure::NotWebRadio;
  }
  lib_->mpv_free(name);
  lib_->mpv_hook_continue(mpv_, hook.id);
}

bool MpvPlayer::hasEntryAfter(std::int64_t entry) {
  mpv_node playlist{};
  if (lib_->mpv_get_property(mpv_, "playlist", MPV_FORMAT_NODE, &playlist) < 0) return false;
  bool found = false;
  if (playlist.format == MPV_FORMAT_NODE_ARRAY) {
    for (int i = 0; i < playlist.u.list->num && !found; ++i) {
      const mpv_node& item = playlist.u.list->values[i];
      if (item.format != MPV_FORMAT_NODE_MAP) continue;
      for (int k = 0; k < item.u.list->num; ++k) {
        if (std::strcmp(item.u.list->keys[k], "id") == 0 && item.u.list->values[k].format == MPV_FORMAT_INT64 &&
            item.u.list->values[k].u.int64 > entry) {
          found = true;
        }
      }
    }
  }
  lib_->mpv_free_node_contents(&playlist);
  return found;
}

void MpvPlayer::settle() {
  if (!active_ || !restarted_ || !output_) return;
  if (waiting_) {
    setState(PlayState::Buffering);
    return;
  }
  played_ = true;
  if (state_.state != PlayState::Playing && !steady_.isActive()) steady_.start();
  setState(PlayState::Playing);
}

void MpvPlayer::setState(PlayState state) {
  if (state == state_.state && state != PlayState::Reconnecting) return;
  state_.state = state;
  emit stateChanged();
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
  emit titleChanged();
}

}  // namespace vandrel
