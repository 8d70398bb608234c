#pragma once

#include <map>
#include <string>

namespace vandrel {

// The tags of the song now playing on a chained stream. ffmpeg appends each
// Ogg Opus song's comments to those before it, joined by ';' ("A;B - 1;2"),
// where it replaces them for Vorbis; this keeps what the last song added.
class ChainedTags {
 public:
  using Tags = std::map<std::string, std::string>;

  // `appended`: the stream is one whose tags grow so (chained Ogg Opus).
  // Elsewhere tags are taken as they stand, a ';' of a real title kept.
  Tags current(const Tags& reported, bool appended);
  // Another stream: nothing it reported before counts.
  void reset();

 private:
  Tags reported_;  // as last reported
  Tags current_;
};

}  // namespace vandrel
