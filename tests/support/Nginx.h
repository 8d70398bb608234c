#pragma once

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "support/CannedServer.h"
#include "support/ChildProcess.h"
#include "support/Files.h"

namespace vandrel::test {

// Debian's nginx in the foreground, never as a service; `http` gives the http block for the port.
class NginxProcess {
 public:
  static constexpr const char* kExecutable = "/usr/sbin/nginx";

  static bool Installed() { return ::access(kExecutable, X_OK) == 0; }

  explicit NginxProcess(const std::function<std::string(int port)>& http) {
    for (int attempt = 0; attempt < 5 && port_ <= 0; ++attempt) {  // a port free a moment ago, taken by nginx at once
      const int port = ClosedPort();
      std::filesystem::create_directories(folder_ / "temp");
      // Workers as root only where nginx itself runs as root, so they can read the test's private folders.
      std::string conf = std::string(::geteuid() == 0 ? "user root;\n" : "") + "daemon off;\nworker_processes 2;\npid " +
                         Quoted(folder_ / "nginx.pid") + ";\nerror_log " + Quoted(folder_ / "error.log") +
                         " warn;\nevents { worker_connections 4096; }\nhttp {\n  access_log off;\n";
      for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        conf += std::string("  ") + temp + "_temp_path " + Quoted(folder_ / "temp" / temp) + ";\n";
      folder_.write("nginx.conf", conf + http(port) + "\n}\n");
      child_ = std::make_unique<ChildProcess>(
          std::vector<std::string>{kExecutable, "-e", (folder_ / "error.log").string(), "-p", folder_.path().string(),
                                   "-c", (folder_ / "nginx.conf").string()},
          (folder_ / "out").string());
      const bool up = PollUntil([&] { return !child_->Running() || WaitForListener(port, 0); }, 5000);
      if (up && child_->Running()) port_ = port;
    }
  }

  // A path as one nginx argument (test folders hold blanks).
  static std::string Quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

  int port() const { return port_; }  // 0 when it did not start
  std::string log() const { return ReadFile(folder_ / "error.log"); }

 private:
  TempFolder folder_{"nginx"};
  std::unique_ptr<ChildProcess> child_;
  int port_ = 0;
};

}  // namespace vandrel::test
