#pragma once

#include <QPixmap>
#include <stdexcept>
#include <string>

namespace vandrel {

struct SkinError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The skin picture of a name ("head.skn"): the file "def_" + name in the
// program's folder, in any format the picture reader recognises from its
// content. Throws SkinError when the file is missing or not a picture.
QPixmap LoadSkin(const std::string& programFolder, const std::string& name);

}  // namespace vandrel
