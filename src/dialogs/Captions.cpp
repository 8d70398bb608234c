#include "dialogs/Captions.h"

#include <QLabel>
#include <QAbstractButton>

#include "core/LanguageTable.h"
#include "platform/Anchors.h"

namespace vandrel {

void SetCaptions(const LanguageTable& texts, std::initializer_list<Captioned> captions, bool giveRoom) {
  for (const auto& [control, key] : captions) {
    const QString text = QString::fromStdString(texts.text(key));
    if (auto* label = qobject_cast<QLabel*>(control)) {
      label->setText(text);
      if (giveRoom) GiveRoom(label);
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(text);
  }
}

}  // namespace vandrel
