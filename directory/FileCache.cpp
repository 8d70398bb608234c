#include "directory/FileCache.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <mutex>

#include "directory/Gzip.h"
#include "directory/StaticFiles.h"

namespace vandrel::directory {

FileCache::FileCache(std::size_t maxBytes) : maxBytes_(maxBytes) {}

std::string FileCache::ETagFor(std::string_view body, std::string_view suffix) {
  std::uint64_t h = 14695981039346656037ull;
  for (const unsigned char c : body) h = (h ^ c) * 1099511628211ull;
  char buf[32];
  std::snprintf(buf, sizeof buf, "\"%016llx", static_cast<unsigned long long>(h));
  return std::string(buf) + std::string(suffix) + "\"";
}

std::shared_ptr<const FileCache::Entry> FileCache::get(const std::filesystem::path& file,
                                                       std::size_t maxFileBytes) const {
  struct stat st{};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  const Stamp stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
  const std::string key = file.string();
  {
    std::shared_lock lock(mutex_);
    const auto it = slots_.find(key);
    if (it != slots_.end() && it->second.stamp == stamp) return it->second.entry;
  }

  auto data = StaticFiles::Read(file, maxFileBytes);
  if (!data) return nullptr;
  auto entry = std::make_shared<Entry>();
  entry->body = std::move(*data);
  entry->modified = st.st_mtim.tv_sec;
  entry->hasPlaceholder = entry->body.find("{{base}}") != std::string::npos;
  entry->etag = ETagFor(entry->body);
  const std::string type = StaticFiles::ContentTypeFor(file);
  if (Gzip::Suits(type) && entry->body.size() >= Gzip::kMinBytes) entry->gzipped = Gzip::Compress(entry->body, 9);

  // Changed while being read: serve what was read, keep nothing.
  struct stat after{};
  if (::stat(file.c_str(), &after) != 0 ||
      !(Stamp{after.st_dev, after.st_ino, after.st_size, after.st_mtim.tv_sec, after.st_mtim.tv_nsec} == stamp)) {
    return entry;
  }

  std::unique_lock lock(mutex_);
  auto& slot = slots_[key];
  if (slot.entry) bytes_ -= slot.entry->body.size() + slot.entry->gzipped.size();
  const std::size_t size = entry->body.size() + entry->gzipped.size();
  if (bytes_ + size <= maxBytes_) {
    slot = Slot{stamp, entry};
    bytes_ += size;
  } else {
    slots_.erase(key);
  }
  return entry;
}

}  // namespace vandrel::directory
