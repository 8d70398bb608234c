#include "core/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vandrel {

namespace {

struct PathParts {
  std::string folder;  // with its closing '/', or empty for the working folder
  std::string base;
};

PathParts Split(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {std::string(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::string TemporaryPrefix(const std::string& base) { return "." + base + ".tmp-"; }
constexpr std::size_t kTemporarySuffix = 6;  // mkostemp's XXXXXX

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
  const auto [folder, base] = Split(path);
  if (base.empty()) return false;

  std::string tempName = folder + TemporaryPrefix(base) + std::string(kTemporarySuffix, 'X');
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

FolderLock::FolderLock(const std::string& filePath) {
  const std::string folder = Split(filePath).folder;
  fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

namespace {

template <typename Stale>
void RemoveIn(const std::string& folder, Stale stale) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (stale(std::string_view(entry->d_name))) (void)::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
  constexpr std::string_view kMark = ".tmp-";
  if (name.size() < 1 + 1 + kMark.size() + kTemporarySuffix || name.front() != '.') return false;
  return name.substr(name.size() - kTemporarySuffix - kMark.size(), kMark.size()) == kMark;
}

void RemoveStaleTemporaries(const std::string& path) {
  const auto [folder, base] = Split(path);
  const std::string prefix = TemporaryPrefix(base);
  RemoveIn(folder, [&prefix](std::string_view name) {
    return name.size() == prefix.size() + kTemporarySuffix && name.substr(0, prefix.size()) == prefix;
  });
}

void RemoveStaleTemporariesIn(const std::string& folder) {
  const std::string withSlash = (folder.empty() || folder.back() == '/') ? folder : folder + "/";
  const FolderLock lock(withSlash);
  RemoveIn(withSlash, IsTemporaryName);
}

}  // namespace vandrel
