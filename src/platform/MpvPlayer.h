#pragma once

#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/ChainedTags.h"
#include "core/Comeback.h"
#include "core/ReconnectPolicy.h"
#include "core/TitleCharset.h"
#include "platform/MediaPlayer.h"
#include "platform/XmlPlaylistFetch.h"

struct mpv_handle;
struct mpv_event;
struct mpv_event_hook;

namespace vandrel {

struct MpvLibrary;

// Audio-only stream player on libmpv, opened (on another thread, the state
// Connecting meanwhile) and created at the first play or when one is near,
// so that a program that only sits in the notification area or an idle window
// never loads it. mpv's events are collected on the user-interface thread:
// its wakeup callback only posts a call to this object.
//
// Playlists (.pls, .m3u, .asx, .xspf, HLS) and redirects are followed: the
// state is that of the entry mpv actually plays. When an entry ends by itself,
// ReconnectPolicy decides whether it is opened again; the timers here only
// carry that out.
class MpvPlayer : public MediaPlayer {
  Q_OBJECT

 public:
  // Extra mpv options, for example {"ao", "null"} in tests.
  explicit MpvPlayer(std::map<std::string, std::string> options = {}, QObject* parent = nullptr);
  ~MpvPlayer() override;

  void setURL(const std::string& address) override;
  std::string URL() const override { return url_; }
  void close() override;
  void setVolume(int volume) override;
  int volume() const override { return volume_; }
  void pause() override;
  void play() override;
  PlayerState state() const override { return state_; }
  std::string streamTitle() const override { return title_; }
  void prepare() override { openLibrary(); }
  void networkBack() override;
  void suspending() override;
  bool record(const std::string& path) override;
  std::string codec() const override;

  // For tests: shorter pauses between tries, and a shorter steady play.
  void setReconnectPauses(ReconnectPolicy::Pauses pauses, std::chrono::milliseconds steady = std::chrono::seconds(10));
  // For tests: the slow tries of a lost station.
  void setSlowTries(Comeback::SlowTries slow) { comeback_ = Comeback(slow); }

 private:
  void openLibrary();
  void libraryOpened();
  bool start();
  void load();
  void stopStream();
  // The player is in Error; its listeners hear of it from the event loop.
  void failed(PlayFailure failure, int httpStatus = 0);
  // The current entry ended by itself: the policy says whether to try again.
  void ended();
  void retry(const Reconnect& next);
  // The station was lost after it had played: it comes back by itself.
  void lose();
  void comeBack();
  void armSlowTry();
  bool sounding() const { return state_.activity == PlayState::Playing || state_.activity == PlayState::Buffering; }
  Q_INVOKABLE void drainEvents();
  void handle(const mpv_event& event);
  // Lets mpv open an entry only when it is web radio.
  void vet(const mpv_event_hook& hook);
  // An entry mpv could not open may be an ASX or XSPF playlist: its streams
  // are handed to mpv as an M3U.
  void readPlaylist(const mpv_event_hook& hook);
  // Playing once audio is output and the cache is not waiting.
  void settle();
  bool hasEntryAfter(std::int64_t entry);
  void setState(PlayState state);
  // Heard by the listeners only when it differs from the state before.
  void setState(PlayerState state);
  void setTitle(std::string title);
  // A new address or a stop: no title, and no code page or tags learnt.
  void forgetTitles();
  static void wakeup(void* self);

  enum Reply : std::uint64_t {
    kPausedForCache = 1, kBufferingState, kMetadata, kAudioOutput, kLoadHook, kLoadFailHook
  };
  // The sound server names our stream by mpv's title: the stream's own title
  // as we clean it, never mpv's raw one.
  static constexpr const char* kStreamName = "Vandrel Internet Radio";
  // A server that answers nothing is given up on after this.
  static constexpr int kNetworkTimeoutSeconds = 15;

  struct Opening;
  std::map<std::string, std::string> options_;
  std::shared_ptr<Opening> opening_;  // while libmpv opens on another thread
  std::atomic<bool> drainPosted_{false};  // a call to drainEvents is on its way
  const MpvLibrary* lib_ = nullptr;
  mpv_handle* mpv_ = nullptr;
  std::string url_;
  std::string title_;
  TitleCharset charset_;  // of the station's titles
  ChainedTags tags_;
  PlayerState state_;
  int volume_ = 100;
  // Entries of the current load have ids from here on; playlists and
  // redirects add higher ones. Older ids are streams replaced or closed.
  std::int64_t firstEntry_ = -1;
  bool active_ = false;      // a load is under way or playing
  bool recording_ = false;   // stream-record is set
  bool restarted_ = false;   // mpv has begun playback of the current entry
  bool output_ = false;      // an audio output is open
  bool waiting_ = false;     // paused for the cache
  int buffered_ = 0;         // the cache's fill, in percent
  PlayEnd failure_;          // what the current entry met
  int endError_ = 0;         // mpv's error code for it
  bool ending_ = false;      // ended, decided once mpv has said why
  ReconnectPolicy reconnect_;
  QTimer retry_;
  QTimer countdown_;
  QTimer decide_;
  Comeback comeback_;  // a station lost with the network
  QTimer slowTry_;
  XmlPlaylistFetch playlists_;  // while an entry waits in mpv's on_load_fail hook
};

}  // namespace vandrel
