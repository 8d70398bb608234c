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

}  // namespace vandrel
