#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace vandrel {

using RenameFunction = int (*)(const char* from, const char* to);

// Replaces a file through a hidden temporary beside it ("." + name +
// ".tmp-XXXXXX"), flushed and then renamed over the file, so a reader or a
// crash sees either the old or the new content. Listing code that skips
// hidden names never sees the temporary. False when nothing was replaced.
bool ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode,
                           RenameFunction rename = nullptr);

// Holds an advisory lock (flock) on a file's folder while it lives, so
// writers in other processes take turns at read-modify-replace. The folder,
// not the file, is locked because a replace swaps the file's inode.
class FolderLock {
 public:
  explicit FolderLock(const std::string& filePath);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// Removes the temporaries of path that a writer killed mid-replace left
// behind. Only safe while holding the FolderLock that every writer takes.
void RemoveStaleTemporaries(const std::string& path);

// Whether a file name has the form of such a temporary.
bool IsTemporaryName(std::string_view name);

// Removes every temporary a killed writer left in folder, holding the
// folder's lock as the writers do.
void RemoveStaleTemporariesIn(const std::string& folder);

}  // namespace vandrel
