#include "support/Icecast.h"

#include <httplib.h>

#include <cstdlib>

#include "support/CannedServer.h"

namespace vandrel::test {

namespace fs = std::filesystem;

namespace {

constexpr char kPassword[] = "vandrel";  // the sources' and the admin's

// The status of a loopback GET (0 when no answer), without waiting for an endless body.
int HttpStatus(int port, const std::string& target, bool admin = false) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(2);
  if (admin) client.set_basic_auth("admin", kPassword);
  int status = 0;
  client.Get(target, [&](const httplib::Response& head) { status = head.status; return false; },
             [](const char*, std::size_t) { return false; });
  return status;
}

}  // namespace

Icecast::Icecast(int burstBytes) {
  // Readable by the user Icecast drops to; its logs writable.
  fs::permissions(folder_, fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
  for (const char* open : {"web", "log"}) fs::create_directories(folder_ / open), fs::permissions(folder_ / open, fs::perms::all);
  port_ = ClosedPort();
  std::ofstream(folder_ / "icecast.xml")
      << "<icecast><limits><clients>50</clients><sources>8</sources><source-timeout>5</source-timeout>"
         "<burst-size>" << burstBytes << "</burst-size></limits>"
         "<authentication><source-password>" << kPassword << "</source-password>"
         "<admin-user>admin</admin-user><admin-password>" << kPassword << "</admin-password></authentication>"
         "<hostname>127.0.0.1</hostname><location>loopback</location><admin>test@localhost</admin>"
         "<listen-socket><port>" << port_ << "</port><bind-address>127.0.0.1</bind-address></listen-socket>"
         "<fileserve>1</fileserve><paths><basedir>/usr/share/icecast2</basedir>"
         "<logdir>" << (folder_ / "log").string() << "</logdir><webroot>" << (folder_ / "web").string()
      << "</webroot><adminroot>/usr/share/icecast2/admin</adminroot></paths>"
         "<logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>2</loglevel></logging>"
         "<security><chroot>0</chroot>"
      << (::geteuid() == 0 ? "<changeowner><user>nobody</user><group>nogroup</group></changeowner>" : "")
      << "</security></icecast>";
  server_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"icecast2", "-c", (folder_ / "icecast.xml").string()}, (folder_ / "server.log").string());
  if (!WaitForListener(port_, 10000)) throw std::runtime_error("icecast2 did not start");
}

Icecast::Icecast(const std::vector<std::pair<std::string, Feed>>& mounts, const std::string& title) : Icecast() {
  for (const auto& [mount, feed] : mounts)
    if (!FeedMount(mount, feed) || (feed == Feed::Mp3 && !title.empty() && !SetTitle(mount, title)))
      throw std::runtime_error("icecast mount " + mount + " did not start");
}

void Icecast::FeedSine(const std::string& name, std::vector<std::string> encoding) {
  std::vector<std::string> argv{"ffmpeg", "-nostdin", "-loglevel", "error", "-re", "-f", "lavfi", "-i",
                                "sine=frequency=440:sample_rate=44100"};
  argv.insert(argv.end(), encoding.begin(), encoding.end());
  feeds_[name] = std::make_unique<ChildProcess>(argv, (folder_ / "ffmpeg.log").string());
}

bool Icecast::FeedMount(const std::string& mount, Feed feed) {
  using Args = std::vector<std::string>;
  Args argv = feed == Feed::Mp3 ? Args{"-c:a", "libmp3lame", "-b:a", "128k", "-content_type", "audio/mpeg", "-f", "mp3"}
              : feed == Feed::OggOpus ? Args{"-ar", "48000", "-c:a", "libopus", "-b:a", "64k", "-frame_duration", "2.5",
                                             "-content_type", "audio/ogg", "-f", "ogg"}
              : Args{"-c:a", "libvorbis", "-metadata", "title=Ogg Title", "-metadata", "artist=Ogg Artist",
                     "-content_type", "application/ogg", "-f", "ogg"};
  argv.push_back("icecast://source:" + std::string(kPassword) + "@127.0.0.1:" + std::to_string(port_) + mount);
  FeedSine(mount, argv);
  return PollUntil([&] { return HttpStatus(port_, mount) == 200; }, 10000);
}

bool Icecast::FeedChained(const std::string& mount, Feed feed, const std::vector<Song>& songs) {
  // Each song one Ogg link made apart and the bytes sent as they stand: ffmpeg would remux them into one link.
  const bool opus = feed == Feed::OggOpus;
  const fs::path chained = folder_ / ("chained" + std::to_string(feeds_.size()) + ".ogg"), link = folder_ / "link.ogg";
  std::ofstream out(chained, std::ios::binary);
  constexpr int kSongSeconds = 6, kLastSeconds = 60;
  for (std::size_t i = 0; i < songs.size(); ++i) {
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=440:sample_rate=48000:d=" +
        std::to_string(i + 1 < songs.size() ? kSongSeconds : kLastSeconds) +
        (opus ? " -c:a libopus -b:a 192k" : " -c:a libvorbis -q:a 8") + " -metadata 'title=" + songs[i].title +
        "' -metadata 'artist=" + songs[i].artist + "' -f ogg '" + link.string() + "'";
    if (std::system(command.c_str()) != 0) return false;
    out << std::ifstream(link, std::ios::binary).rdbuf();
  }
  out.close();
  // A little faster than it plays, so the listener never runs dry.
  const auto rate = fs::file_size(chained) * 5 / 4 / (kSongSeconds * (songs.size() - 1) + kLastSeconds) + 1;
  feeds_[mount] = std::make_unique<ChildProcess>(
      std::vector<std::string>{"curl", "-sS", "-T", chained.string(), "--limit-rate", std::to_string(rate), "-H",
                               std::string("Content-Type: ") + (opus ? "audio/ogg" : "application/ogg"), "-H", "Expect:",
                               "-u", std::string("source:") + kPassword, Address(mount)},
      (folder_ / "curl.log").string());
  return PollUntil([&] { return HttpStatus(port_, mount) == 200; }, 10000);
}

bool Icecast::FeedHls(const std::string& playlist) {
  const fs::path file = folder_ / "web" / playlist;
  fs::create_directories(file.parent_path()), fs::permissions(file.parent_path(), fs::perms::all);
  FeedSine(playlist, {"-c:a", "aac", "-b:a", "64k", "-f", "hls", "-hls_time", "1", "-hls_list_size", "6", "-hls_flags",
                      "delete_segments", file.string()});
  return PollUntil([&] { return fs::exists(file); }, 10000);
}

bool Icecast::SetTitle(const std::string& mount, const std::string& bytes) {
  // Latin-1, the mount's own charset: Icecast converts nothing.
  const httplib::Params query{{"mount", mount}, {"mode", "updinfo"}, {"charset", "ISO-8859-1"}, {"song", bytes}};
  return HttpStatus(port_, httplib::append_query_params("/admin/metadata", query), true) == 200;
}

void Icecast::Publish(const std::string& name, const std::string& content) { std::ofstream(folder_ / "web" / name) << content; }

std::string Icecast::Address(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + (path.starts_with("/") ? path.substr(1) : path);
}

}  // namespace vandrel::test
