#pragma once

#include <QPixmap>
#include <stdexcept>
#include <string>

namespace vandrel {

struct SkinError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The file a skin of a name ("head.skn") is shown from: "def_" + name in the
// program's folder. Under a dark palette its dark variant beside it
// ("def_head-dark.skn") takes its place, but only while the light file is
// the one the program ships: a skin the user changed stays as it is.
std::string SkinFile(const std::string& programFolder, const std::string& name, bool dark);

// A skin picture, in any format the picture reader recognises from the
// file's content. Throws SkinError when the file is missing or not a picture.
QPixmap LoadSkin(const std::string& file);

}  // namespace vandrel
