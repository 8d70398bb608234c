#pragma once

#include <string>
#include <vector>

namespace vandrel {

// Names of the regular files in a folder, as a file list box shows them:
// no subfolders, no temporaries of a replace under way (names starting with
// "." are shown, as other systems have no such hidden files), ordered without regard to
// ASCII letter case. Throws std::filesystem::filesystem_error when the
// folder cannot be read.
std::vector<std::string> ListFolderFiles(const std::string& folder);

// The order of ListFolderFiles: ASCII case folded first, bytes break ties.
bool FileNameBefore(const std::string& a, const std::string& b);

}  // namespace vandrel
