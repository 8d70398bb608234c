#include "support/DirectoryServerProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace vandrel::test {

DirectoryServerProcess::DirectoryServerProcess(std::string dataDir, std::vector<std::string> extraArgs) {
  std::vector<std::string> args{VANDREL_DIRECTORY_EXE, "serve", dataDir, "--host", "127.0.0.1", "--port", "0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  child_ = std::make_unique<ChildProcess>(args, (folder_ / "out").string(), (folder_ / "log").string());
  const std::string prefix = "listening on http://127.0.0.1:";
  for (int waited = 0; port_ <= 0 && waited < 10000 && child_->Running(); waited += 10) {
    const std::string text = ReadFile(folder_ / "out");
    const auto at = text.find(prefix);
    if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
      port_ = std::atoi(text.c_str() + at + prefix.size());
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (port_ <= 0) throw std::runtime_error("vandrel-directory did not start: " + log());
}

int DirectoryServerProcess::terminate(std::chrono::milliseconds limit) {
  child_->Signal(SIGTERM);
  return child_->Wait(limit);
}

}  // namespace vandrel::test
