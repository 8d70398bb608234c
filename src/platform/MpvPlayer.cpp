#include "platform/MpvPlayer.h"

#include <QMetaObject>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

#include "core/StreamAddress.h"
#include "core/XmlPlaylist.h"
#include "platform/MpvLibrary.h"

namespace vandrel {

namespace {

enum ReplyId : std::uint64_t { kPausedForCache = 1, kBufferingState, kMetadata, kAudioOutput, kLoadHook, kLoadFailHook };

// What a lavf demuxer may open inside a stream (HLS segments and keys) and
// what the stream itself may become on a redirect: the network, never a file.
constexpr const char* kDemuxerProtocols = "protocol_whitelist=[http,https,tls,tcp,crypto,httpproxy]";
// Load balancers chain more redirects than lavf's 8; 20 is where browsers stop.
constexpr const char* kStreamProtocols = "protocol_whitelist=[http,https,tls,tcp,httpproxy],max_redirects=20";

// The sound server names our stream by mpv's title: the stream's own title
// as we clean it, never mpv's raw one.
constexpr const char* kStreamName = "Vandrel Internet Radio";

// A server that answers nothing is given up on after this.
constexpr int kNetworkTimeoutSeconds = 15;

// The cause an error message of mpv or ffmpeg names, if any.
std::optional<MpvPlayer::Failure> FailureOfLog(const char* text) {
  const auto has = [text](const char* part) { return std::strstr(text, part) != nullptr; };
  // ffmpeg's TLS layer: "Peer certificate failed verification" and kin.
  if (has("certificate")) return MpvPlayer::Failure{PlayFailure::CertificateNotTrusted};
  if (has("Failed to resolve hostname")) return MpvPlayer::Failure{PlayFailure::ServerNotFound};
  if (has("Connection refused")) return MpvPlayer::Failure{PlayFailure::ConnectionRefused};
  if (has("timed out") || has("Network is unreachable") || has("No route to host")) {
    return MpvPlayer::Failure{PlayFailure::NoAnswer};
  }
  // "HTTP error 404 Not Found"
  if (const char* http = std::strstr(text, "HTTP error ")) {
    const int status = std::atoi(http + 11);
    if (status >= 100 && status <= 999) return MpvPlayer::Failure{PlayFailure::HttpStatus, status};
  }
  return std::nullopt;
}

// An address as one line of a terminal: it came from the network.
std::string PrintableAddress(const std::string& address) {
  std::string line = address.substr(0, 300);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return line;
}

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

// Chained Ogg Opus: ffmpeg appends each song's tags to the last one's.
bool AppendsTags(const MpvLibrary& lib, mpv_handle* mpv) {
  char* format = lib.mpv_get_property_string(mpv, "file-format");
  char* codec = lib.mpv_get_property_string(mpv, "audio-codec-name");
  const bool appends = format && codec && std::strcmp(format, "ogg") == 0 && std::strcmp(codec, "opus") == 0;
  lib.mpv_free(format);
  lib.mpv_free(codec);
  return appends;
}

}  // namespace

MpvPlayer::MpvPlayer(std::map<std::string, std::string> options, QObject* parent)
    : MediaPlayer(parent), options_(std::move(options)) {
  const auto timeout = options_.find("network-timeout");
  networkTimeout_ = timeout != options_.end() ? std::max(1, std::atoi(timeout->second.c_str())) : kNetworkTimeoutSeconds;
  retry_.setSingleShot(true);
  connect(&retry_, &QTimer::timeout, this, [this] { load(); });
  steady_.setSingleShot(true);
  steady_.setInterval(std::chrono::seconds(10));
  connect(&steady_, &QTimer::timeout, this, [this] { reconnect_.Reset(); });
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
    state_.reconnectInSeconds = std::max(1, (retry_.remainingTime() + 500) / 1000);
    emit stateChanged(state_);
  });
  slowTry_.setSingleShot(true);
  connect(&slowTry_, &QTimer::timeout, this, [this] {
    if (comeback_.SlowTry(sounding())) comeBack();
    armSlowTry();
  });
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
  playlists_.cancel();  // mpv waits for a hook's answer even while it quits
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
  const bool asked = state_.activity == PlayState::Connecting && !active_ && !url_.empty();
  if (!lib_) {
    std::fprintf(stderr, "vandrel-radio: no playback: %s\n", why.c_str());
    if (asked) failed({PlayFailure::Unplayable});
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
  // PipeWire's client library logs its warnings to the terminal at every
  // play; its errors still show, unless the user asks for more.
  ::setenv("PIPEWIRE_DEBUG", "1", 0);
  mpv_ = lib_->mpv_create();
  if (!mpv_) return false;

  for (const auto& [name, value] : std::map<std::string, std::string>{
           {"vid", "no"}, {"vo", "null"}, {"audio-display", "no"}, {"terminal", "no"},
           {"input-default-bindings", "no"}, {"input-vo-keyboard", "no"}, {"osc", "no"}, {"ytdl", "no"},
           {"load-scripts", "no"}, {"config", "no"}, {"load-unsafe-playlists", "no"},
           {"demuxer-lavf-o", kDemuxerProtocols}, {"stream-lavf-o", kStreamProtocols}, {"tls-verify", "yes"},
           {"idle", "yes"}, {"network-timeout", std::to_string(kNetworkTimeoutSeconds)},
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
  lib_->mpv_hook_add(mpv_, kLoadFailHook, "on_load_fail", 0);
  // Warnings and errors: ffmpeg names an HTTP status or a lost connection
  // only as a warning.
  lib_->mpv_request_log_messages(mpv_, "warn");
  lib_->mpv_set_wakeup_callback(mpv_, &MpvPlayer::wakeup, this);
  return true;
}

void MpvPlayer::wakeup(void* self) {
  // Called on one of mpv's threads: only post, never touch Qt objects here.
  // One call waiting is enough; a call per event would flood the window's queue.
  auto* player = static_cast<MpvPlayer*>(self);
  if (player->drainPosted_.exchange(true)) return;
  QMetaObject::invokeMethod(player, "drainEvents", Qt::QueuedConnection);
}

void MpvPlayer::setURL(const std::string& address) {
  comeback_.Forget();
  url_ = address;
  forgetTitles();
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
  playlists_.cancel();  // the entry it held lets mpv go on to ours
  active_ = false;
  ending_ = false;
  restarted_ = false;
  waiting_ = false;
  failure_ = {};
  state_.bufferPercent = 0;
  if (!IsWebRadioAddress(url_)) {
    stopStream();
    failed({PlayFailure::NotWebRadio});
    return;
  }
  if (!lib_) {
    openLibrary();
    setState(PlayState::Connecting);
    return;
  }
  if (!start()) {
    failed({PlayFailure::Unplayable});
    return;
  }
  const char* command[] = {"loadfile", url_.c_str(), "replace", nullptr};
  mpv_node result{};
  if (lib_->mpv_command_ret(mpv_, command, &result) < 0) {
    failed({PlayFailure::Unplayable});
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
  const char* stop[] = {"stop", nullptr};
  lib_->mpv_command(mpv_, stop);
}

void MpvPlayer::failed(Failure why) {
  active_ = false;
  retry_.stop();
  PlayerState error = state_;
  error.activity = PlayState::Error;
  error.failure = why.failure;
  error.httpStatus = why.httpStatus;
  const bool changed = !(error == state_);
  state_ = error;
  if (changed) emit stateChanged(state_);
  setTitle("");
  const std::string cause = FailureText(state_);
  std::fprintf(stderr, "vandrel-radio: cannot play %s: %s\n", PrintableAddress(url_).c_str(),
               cause.empty() ? "unplayable" : cause.c_str());
  if (!comeback_.Report()) return;  // a try to bring a lost station back
  // Reported from the event loop, never inside a call to the player nor
  // while mpv's events are being read: a box opened by a listener must not
  // hold the player.
  QMetaObject::invokeMethod(
      this, [this, text = QString::fromStdString(cause)] { emit errorOccurred(text); }, Qt::QueuedConnection);
}

bool MpvPlayer::retry() {
  steady_.stop();
  const auto pause = reconnect_.NextPause();
  if (!pause) return false;
  state_.reconnectTry = reconnect_.Tries();
  state_.reconnectTries = reconnect_.MaxTries();
  state_.reconnectInSeconds = static_cast<int>((pause->count() + 999) / 1000);
  setState(PlayState::Reconnecting);
  retry_.start(*pause);
  countdown_.start();
  return true;
}

void MpvPlayer::ended() {
  Failure why = failure_;
  if (endError_ == MPV_ERROR_AO_INIT_FAILED) {
    why = {PlayFailure::SoundOutputFailed};
  } else if (why.failure == PlayFailure::Unplayable) {
    // mpv names no cause: a server that accepts and then says nothing ends
    // at the network time-out.
    if (std::chrono::steady_clock::now() - entryStarted_ >= std::chrono::seconds(networkTimeout_ - 1)) {
      why.failure = PlayFailure::NoAnswer;
    } else if (endError_ == MPV_ERROR_UNKNOWN_FORMAT) {
      why.failure = PlayFailure::NotAudio;
    }
  }
  // A station that played, or whose output failed, is tried again; an
  // address or certificate we refuse is not.
  const bool refused = why.failure == PlayFailure::NotWebRadio || why.failure == PlayFailure::CertificateNotTrusted;
  if (!refused && (played_ || why.failure == PlayFailure::SoundOutputFailed) && retry()) return;
  if (played_ && !refused) lose();
  played_ = false;
  reconnect_.Reset();
  failed(why);
}

void MpvPlayer::lose() {
  comeback_.Lost();
  armSlowTry();
}

void MpvPlayer::armSlowTry() {
  if (const auto pause = comeback_.NextSlowTry()) {
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
  if (comeback_.NetworkBack(sounding())) comeBack();
}

void MpvPlayer::suspending() {
  comeback_.Suspending(IsActive(state_.activity));
  armSlowTry();
}

void MpvPlayer::close() {
  comeback_.Forget();
  stopStream();
  forgetTitles();
  retry_.stop();
  steady_.stop();
  reconnect_.Reset();
  played_ = false;
  setState(PlayState::Stopped);
}

void MpvPlayer::pause() {
  comeback_.Forget();
  if (!IsActive(state_.activity)) return;
  // A live stream cannot wait: it is let go, and play opens it afresh.
  stopStream();
  retry_.stop();
  steady_.stop();
  setState(PlayState::Paused);
}

void MpvPlayer::play() {
  comeback_.Forget();
  // While it waits to try again, play tries at once.
  if (url_.empty() || (IsActive(state_.activity) && state_.activity != PlayState::Reconnecting)) return;
  if (state_.activity != PlayState::Reconnecting) {
    reconnect_.Reset();
    played_ = false;
  }
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

void MpvPlayer::drainEvents() {
  drainPosted_ = false;
  // A batch at a time: answered hooks let mpv refill the queue as fast as it
  // is read, through a playlist of dead entries, and the window must answer.
  for (int handled = 0; mpv_; ++handled) {
    if (handled == 100) {
      wakeup(this);
      return;
    }
    mpv_event* event = lib_->mpv_wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) break;
    handle(*event);
  }
}

void MpvPlayer::handle(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_START_FILE: {
      const auto* start = static_cast<const mpv_event_start_file*>(event.data);
      if (!active_ || start->playlist_entry_id < firstEntry_) break;
      // The first entry, or the next one of a playlist or redirect.
      restarted_ = false;
      failure_ = {};
      entryStarted_ = std::chrono::steady_clock::now();
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
      endError_ = end->reason == MPV_END_FILE_REASON_ERROR ? end->error : 0;
      // mpv hands out the messages that name the cause after the end, and
      // not always in the same wakeup.
      ending_ = true;
      decide_.start();
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
          if (state_.activity == PlayState::Buffering) emit stateChanged(state_);
          break;
        case kAudioOutput:
          output_ = prop->format == MPV_FORMAT_STRING && **static_cast<char**>(prop->data) != '\0';
          settle();
          break;
        case kMetadata:
          if (!active_) break;
          setTitle(prop->format == MPV_FORMAT_NODE
                       ? StreamTitleOf(tags_.Current(StringsOf(*static_cast<mpv_node*>(prop->data)),
                                                     AppendsTags(*lib_, mpv_)),
                                       charset_)
                       : std::string());
          break;
        default:
          break;
      }
      break;
    }
    case MPV_EVENT_HOOK:
      if (event.reply_userdata == kLoadFailHook) {
        readPlaylist(*static_cast<const mpv_event_hook*>(event.data));
      } else {
        vet(*static_cast<const mpv_event_hook*>(event.data));
      }
      break;
    case MPV_EVENT_LOG_MESSAGE: {
      const auto* log = static_cast<const mpv_event_log_message*>(event.data);
      if (!active_ && !ending_) break;
      // The first cause named wins: a redirect's or playlist's later
      // messages only repeat that the entry failed. ffmpeg's messages go to
      // one mpv instance of the process: a program has one player.
      if (failure_.failure == PlayFailure::Unplayable && std::strncmp(log->prefix, "ao", 2) != 0) {
        if (const auto cause = FailureOfLog(log->text)) failure_ = *cause;
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
    if (active_) failure_ = {PlayFailure::NotWebRadio};
  }
  lib_->mpv_free(name);
  lib_->mpv_hook_continue(mpv_, hook.id);
}

void MpvPlayer::readPlaylist(const mpv_event_hook& hook) {
  char* name = lib_->mpv_get_property_string(mpv_, "stream-open-filename");
  const std::string address = name != nullptr ? name : "";
  lib_->mpv_free(name);
  const std::uint64_t id = hook.id;
  // Only a name that says so is fetched again: a dead entry of a long
  // playlist costs no second try.
  if (!MayBeXmlPlaylist(address)) {
    lib_->mpv_hook_continue(mpv_, id);
    return;
  }
  playlists_.start(address, [this, id](const std::string& m3u) {
    if (!m3u.empty()) lib_->mpv_set_property_string(mpv_, "stream-open-filename", ("memory://" + m3u).c_str());
    lib_->mpv_hook_continue(mpv_, id);
  });
}

bool MpvPlayer::hasEntryAfter(std::int64_t entry) {
  // Three numbers, never the list itself: copying a playlist of thousands at
  // every failed entry took time quadratic in its length.
  std::int64_t pos = -1, count = 0, current = -1;
  if (lib_->mpv_get_property(mpv_, "playlist-pos", MPV_FORMAT_INT64, &pos) < 0 || pos < 0) return false;
  const std::string id = "playlist/" + std::to_string(pos) + "/id";
  if (lib_->mpv_get_property(mpv_, "playlist-count", MPV_FORMAT_INT64, &count) < 0 ||
      lib_->mpv_get_property(mpv_, id.c_str(), MPV_FORMAT_INT64, &current) < 0) {
    return false;
  }
  // mpv may already have gone on to the next entry; at the end it has none.
  return current == entry ? pos + 1 < count : current >= firstEntry_;
}

void MpvPlayer::settle() {
  if (!active_ || !restarted_ || !output_) return;
  if (waiting_) {
    setState(PlayState::Buffering);
    return;
  }
  played_ = true;
  if (state_.activity != PlayState::Playing && !steady_.isActive()) steady_.start();
  setState(PlayState::Playing);
}

void MpvPlayer::setState(PlayState state) {
  if (state == state_.activity && state != PlayState::Reconnecting) return;
  state_.activity = state;
  emit stateChanged(state_);
}

void MpvPlayer::forgetTitles() {
  setTitle("");
  charset_.Reset();
  tags_.Reset();
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
