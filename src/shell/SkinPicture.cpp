#include "shell/SkinPicture.h"

#include <QImageReader>

namespace vandrel {

QPixmap LoadSkin(const std::string& programFolder, const std::string& name) {
  const std::string path = programFolder + "/def_" + name;
  QImageReader reader(QString::fromStdString(path));
  reader.setDecideFormatFromContent(true);
  const QImage image = reader.read();
  if (image.isNull()) throw SkinError(path + ": " + reader.errorString().toStdString());
  return QPixmap::fromImage(image);
}

}  // namespace vandrel
