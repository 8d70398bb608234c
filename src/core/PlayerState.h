#pragma once

#include <map>
#include <string>

#include "core/TitleCharset.h"

namespace vandrel {

enum class PlayState { Stopped, Connecting, Buffering, Playing, Paused, Reconnecting, Error };

// Why the player is in Error, where it can tell.
enum class PlayFailure {
  Unplayable,
  NotWebRadio,
  CertificateNotTrusted,
  ServerNotFound,
  ConnectionRefused,
  NoAnswer,
  HttpStatus,  // the server answered with PlayerState::httpStatus
  NotAudio,
  SoundOutputFailed,
};

// What the media player is doing, as its listeners see it.
struct PlayerState {
  PlayState activity = PlayState::Stopped;
  int bufferPercent = 0;      // while buffering
  int reconnectTry = 0;       // while reconnecting: this try of reconnectTries
  int reconnectTries = 0;
  int reconnectInSeconds = 0;
  PlayFailure failure = PlayFailure::Unplayable;  // while in Error
  int httpStatus = 0;                             // with PlayFailure::HttpStatus

  bool operator==(const PlayerState&) const = default;
};

// The status line's text: the one place a state becomes words.
std::string StatusText(const PlayerState& state, const std::string& streamTitle);

// The cause of an error in a few words ("HTTP 404"), empty when unknown.
std::string FailureText(const PlayerState& state);

// True while the player holds a stream it is playing or working to play.
bool IsActive(PlayState state);

// The title a stream announces, from the metadata mpv reports: the ICY title
// of Shoutcast/Icecast streams, else "artist - title" of Vorbis/Opus comments
// or ID3 tags. Bytes that are not UTF-8 are read in the station's code page.
std::string StreamTitleOf(const std::map<std::string, std::string>& metadata, TitleCharset& charset);

}  // namespace vandrel
