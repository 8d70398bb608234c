#include "platform/MpvPlayer.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

#include "core/StreamAddress.h"
#include "core/XmlPlaylist.h"
#include "platform/MpvLibrary.h"

namespace vandrel {

namespace {

// The cause an error message of mpv or ffmpeg names, if any.
std::optional<PlayEnd> FailureOfLog(const char* text) {
  const auto has = [text](const char* part) { return std::strstr(text, part) != nullptr; };
  // ffmpeg's TLS layer: "Peer certificate failed verification" and kin.
  if (has("certificate")) return PlayEnd{PlayFailure::CertificateNotTrusted};
  if (has("Failed to resolve hostname")) return PlayEnd{PlayFailure::ServerNotFound};
  if (has("Connection refused")) return PlayEnd{PlayFailure::ConnectionRefused};
  if (has("timed out") || has("Network is unreachable") || has("No route to host")) {
    return PlayEnd{PlayFailure::NoAnswer};
  }
  // "HTTP error 404 Not Found"
  if (const char* http = std::strstr(text, "HTTP error ")) {
    const int status = std::atoi(http + 11);
    if (status >= 100 && status <= 999) return PlayEnd{PlayFailure::HttpStatus, status};
  }
  return std::nullopt;
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
  return lib.text(mpv, "file-format") == "ogg" && lib.text(mpv, "audio-codec-name") == "opus";
}

}  // namespace

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
      reconnect_.opening();
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
      reconnect_.interrupted();
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
          buffered_ = static_cast<int>(*static_cast<std::int64_t*>(prop->data));
          if (state_.activity == PlayState::Buffering) setState(PlayState::Buffering);
          break;
        case kAudioOutput:
          output_ = prop->format == MPV_FORMAT_STRING && **static_cast<char**>(prop->data) != '\0';
          settle();
          break;
        case kMetadata:
          if (!active_) break;
          setTitle(prop->format == MPV_FORMAT_NODE
                       ? StreamTitleOf(tags_.current(StringsOf(*static_cast<mpv_node*>(prop->data)),
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
  const auto name = lib_->text(mpv_, "stream-open-filename");
  if (name && !IsWebRadioAddress(*name)) {
    // Something no stream handler opens: the entry ends in an error.
    lib_->mpv_set_property_string(mpv_, "stream-open-filename", "refused://");
    if (active_) failure_ = {PlayFailure::NotWebRadio};
  }
  lib_->mpv_hook_continue(mpv_, hook.id);
}

void MpvPlayer::readPlaylist(const mpv_event_hook& hook) {
  const std::string address = lib_->text(mpv_, "stream-open-filename").value_or("");
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
  reconnect_.playing();
  setState(PlayState::Playing);
}

}  // namespace vandrel
