#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vandrel {

namespace {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t put = ::write(fd, data.data(), data.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode, RenameFunction rename) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = (slash == std::string::npos) ? std::string() : path.substr(0, slash + 1);
  const std::string base = (slash == std::string::npos) ? path : path.substr(slash + 1);
  if (base.empty()) return false;

  std::string tempName = folder + "." + base + ".tmp-XXXXXX";
  const int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
  if (fd < 0) return false;

  // Permission bits failing to copy (some file systems refuse) is no reason to
  // lose the write.
  (void)::fchmod(fd, mode);
  const bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (rename == nullptr) rename = &::rename;
  if (!written || !closed || rename(tempName.c_str(), path.c_str()) != 0) {
    ::unlink(tempName.c_str());
    return false;
  }

  // Makes the rename itself durable; the content is already in place.
  const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace vandrel
