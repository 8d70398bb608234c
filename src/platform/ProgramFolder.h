#pragma once

#include <string>

namespace vandrel {

// The folder of the running executable, without a closing "/".
std::string ProgramFolder();

// folder + "/" + name.
std::string InFolder(const std::string& folder, const std::string& name);

}  // namespace vandrel
