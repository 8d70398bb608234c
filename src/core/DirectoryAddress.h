#pragma once

#include <string>

namespace vandrel {

// Base address of the station directory server (scheme, host, closing "/").
// An installation may override the built-in default in "directory.ini"
// beside the program: section [Directory], key base.
std::string DirectoryBaseAddress(const std::string& programFolder);

// "host[:port]" of a base address, as the homepage label shows it.
std::string DirectoryHostName(const std::string& baseAddress);

}  // namespace vandrel
