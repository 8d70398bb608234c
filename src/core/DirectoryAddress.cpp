#include "core/DirectoryAddress.h"

#include "core/Ini.h"
#include "core/ProgramFolder.h"

namespace vandrel {

std::string DirectoryBaseAddress(const std::string& programFolder) {
  std::string base = ReadIni(InFolder(programFolder, "directory.ini"), "Directory", "base");
  const bool usable = base.rfind("http://", 0) == 0 || base.rfind("https://", 0) == 0;
  if (!usable) base = VANDREL_DEFAULT_BASE_ADDRESS;
  // Every server address is the base followed by a path, so it must end in "/".
  if (base.back() != '/') base += '/';
  return base;
}

std::string DirectoryHostName(const std::string& baseAddress) {
  std::string rest = baseAddress;
  const auto scheme = rest.find("://");
  if (scheme != std::string::npos) rest.erase(0, scheme + 3);
  const auto slash = rest.find('/');
  if (slash != std::string::npos) rest.erase(slash);
  return rest;
}

}  // namespace vandrel
