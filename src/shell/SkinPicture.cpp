#include "shell/SkinPicture.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <filesystem>

#include "shell/ShippedSkins.h"

namespace vandrel {

namespace {

bool IsShipped(const std::string& name, const std::string& file) {
  QFile skin(QString::fromStdString(file));
  if (!skin.open(QIODevice::ReadOnly)) return false;
  const QByteArray digest = QCryptographicHash::hash(skin.readAll(), QCryptographicHash::Sha256).toHex();
  for (const auto& [shippedName, shippedDigest] : kShippedSkins)
    if (name == shippedName && digest == shippedDigest) return true;
  return false;
}

}  // namespace

std::string SkinFile(const std::string& programFolder, const std::string& name, bool dark) {
  const std::string light = programFolder + "/def_" + name;
  if (!dark || !name.ends_with(".skn")) return light;
  const std::string night = programFolder + "/def_" + name.substr(0, name.size() - 4) + "-dark.skn";
  return std::filesystem::exists(night) && IsShipped(name, light) ? night : light;
}

QPixmap LoadSkin(const std::string& file) {
  QImageReader reader(QString::fromStdString(file));
  reader.setDecideFormatFromContent(true);
  const QImage image = reader.read();
  if (image.isNull()) throw SkinError(file + ": " + reader.errorString().toStdString());
  return QPixmap::fromImage(image);
}

}  // namespace vandrel
