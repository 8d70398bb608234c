#include "core/PlayerState.h"

#include <algorithm>
#include <cctype>

#include "core/TextDecoding.h"

namespace vandrel {

std::string StatusText(const PlayerState& s, const std::string& streamTitle) {
  switch (s.activity) {
    case PlayState::Stopped: return "Stopped";
    case PlayState::Connecting: return "Connecting";
    case PlayState::Buffering: return "Buffering " + std::to_string(s.bufferPercent) + "%";
    case PlayState::Playing: return streamTitle.empty() ? "Playing" : "Playing: " + streamTitle;
    case PlayState::Paused: return "Paused";
    case PlayState::Reconnecting:
      return "Reconnecting in " + std::to_string(s.reconnectInSeconds) + " s (" + std::to_string(s.reconnectTry) + "/" +
             std::to_string(s.reconnectTries) + ")";
    case PlayState::Error: {
      const std::string cause = FailureText(s);
      return cause.empty() ? "Error" : "Error: " + cause;
    }
  }
  return "";
}

std::string FailureText(const PlayerState& s) {
  switch (s.failure) {
    case PlayFailure::Unplayable: return "";
    case PlayFailure::NotWebRadio: return "not a web radio address";
    case PlayFailure::CertificateNotTrusted: return "certificate not trusted";
    case PlayFailure::ServerNotFound: return "server not found";
    case PlayFailure::ConnectionRefused: return "connection refused";
    case PlayFailure::NoAnswer: return "no answer";
    case PlayFailure::HttpStatus: return "HTTP " + std::to_string(s.httpStatus);
    case PlayFailure::NotAudio: return "not an audio stream";
    case PlayFailure::SoundOutputFailed: return "sound output failed";
  }
  return "";
}

bool IsActive(PlayState state) {
  return state == PlayState::Connecting || state == PlayState::Buffering || state == PlayState::Playing ||
         state == PlayState::Reconnecting;
}

namespace {

// Keys compare without case: mpv passes tag names as the stream spells them.
std::string Find(const std::map<std::string, std::string>& metadata, const std::string& key, TitleCharset& charset) {
  for (const auto& [name, value] : metadata) {
    if (std::equal(name.begin(), name.end(), key.begin(), key.end(),
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; })) {
      return charset.decode(value);
    }
  }
  return "";
}

std::string Trimmed(std::string text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
  text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
  return text;
}

}  // namespace

std::string StreamTitleOf(const std::map<std::string, std::string>& metadata, TitleCharset& charset) {
  if (std::string icy = Trimmed(ScreenText(Find(metadata, "icy-title", charset))); !icy.empty()) return icy;
  const std::string title = Trimmed(ScreenText(Find(metadata, "title", charset)));
  const std::string artist = Trimmed(ScreenText(Find(metadata, "artist", charset)));
  if (!artist.empty() && !title.empty()) return artist + " - " + title;
  return title.empty() ? artist : title;
}

}  // namespace vandrel
