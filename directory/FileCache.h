#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>

namespace vandrel::directory {

// Files of the data folder held in memory with their validators and, for
// text, a gzip copy made once. Every lookup checks the file's inode, size
// and time, so a changed or replaced file (a new import) is read afresh.
class FileCache {
 public:
  struct Entry {
    std::string body;
    bool hasPlaceholder = false;  // holds "{{base}}"
    std::string gzipped;          // empty when not worth it
    std::string etag;             // quoted, of body
    std::time_t modified = 0;
  };

  // Beyond maxBytes in all, files are still served but not kept.
  explicit FileCache(std::size_t maxBytes = std::size_t{512} << 20);

  // The file's entry, or nullptr when it cannot be read or is larger than
  // maxFileBytes.
  std::shared_ptr<const Entry> get(const std::filesystem::path& file,
                                   std::size_t maxFileBytes = 16 * 1024 * 1024) const;

  // Quoted strong tag of body; suffix marks another coding of it.
  static std::string ETagFor(std::string_view body, std::string_view suffix = "");

 private:
  struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::time_t seconds = 0;
    long nanoseconds = 0;
    bool operator==(const Stamp&) const = default;
  };
  struct Slot {
    Stamp stamp;
    std::shared_ptr<const Entry> entry;
  };

  std::size_t maxBytes_;
  mutable std::shared_mutex mutex_;
  mutable std::map<std::string, Slot> slots_;
  mutable std::size_t bytes_ = 0;
};

}  // namespace vandrel::directory
