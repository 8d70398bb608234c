#pragma once

#include <map>
#include <memory>

#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/Loopback.h"

namespace vandrel::test {

// A real Icecast 2 on loopback, mounts fed by ffmpeg, a web root for playlists and HLS; drops root itself.
class Icecast {
 public:
  enum class Feed { Mp3, OggVorbis, OggOpus };  // OggOpus in 2.5 ms frames: 400 packets a second
  struct Song { std::string artist, title; };

  explicit Icecast(int burstBytes = 16384);  // Icecast's own burst is 64 KiB; less shows titles sooner
  // The whole start in one call: the mounts fed, the MP3 ones titled (when given), listeners get them; else throws.
  explicit Icecast(const std::vector<std::pair<std::string, Feed>>& mounts, const std::string& title = "");

  // Starts ffmpeg on the mount and waits (bounded) until listeners get it.
  bool FeedMount(const std::string& mount, Feed feed);
  // An Ogg mount fed a chained stream at about its pace, a tagged link a song, the last a minute; waits as FeedMount.
  bool FeedChained(const std::string& mount, Feed feed, const std::vector<Song>& songs);
  // Starts ffmpeg writing live HLS into the web root; waits for its playlist.
  bool FeedHls(const std::string& playlist);
  // Sets an MP3 mount's stream title; the bytes go out as they stand.
  bool SetTitle(const std::string& mount, const std::string& bytes);
  void Publish(const std::string& name, const std::string& content);
  std::string Address(const std::string& path) const;  // Publish's files and the mounts

 private:
  void FeedSine(const std::string& name, std::vector<std::string> encoding);

  TempFolder dir_{"icecast"};
  const std::filesystem::path& folder_ = dir_.path();
  int port_ = 0;
  std::unique_ptr<ChildProcess> server_;
  std::map<std::string, std::unique_ptr<ChildProcess>> feeds_;
};

}  // namespace vandrel::test
