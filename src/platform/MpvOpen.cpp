#include "platform/MpvPlayer.h"

#include <QMetaObject>
#include <clocale>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/MpvLibrary.h"

namespace vandrel {

namespace {

// What a lavf demuxer may open inside a stream (HLS segments and keys) and
// what the stream itself may become on a redirect: the network, never a file.
constexpr const char* kDemuxerProtocols = "protocol_whitelist=[http,https,tls,tcp,crypto,httpproxy]";
// Load balancers chain more redirects than lavf's 8; 20 is where browsers stop.
constexpr const char* kStreamProtocols = "protocol_whitelist=[http,https,tls,tcp,httpproxy],max_redirects=20";

}  // namespace

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

}  // namespace vandrel
