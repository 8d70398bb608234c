#pragma once

#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <string>
#include <vector>

#include "markup/Markora.h"

namespace vandrel::test {

// The styles as the document holds them, one letter per character: '.'
// plain, 'b' bold, 'i' italic, 'x' both; '|' stands for a line break.
inline std::string StyleMask(const Markora& box) {
  std::string mask;
  const QTextDocument* doc = box.rtfHTML()->document();
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    if (block != doc->begin()) mask += '|';
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat format = fragment.charFormat();
      const bool bold = format.fontWeight() >= QFont::Bold;
      const bool italic = format.fontItalic();
      mask.append(static_cast<std::size_t>(fragment.length()), bold ? (italic ? 'x' : 'b') : (italic ? 'i' : '.'));
    }
  }
  return mask;
}

// Every event of the box, in order, as "Name" or "Name:argument".
struct EventLog {
  explicit EventLog(Markora& box) {
    QObject::connect(&box, &Markora::Change, [this] { events.push_back("Change"); });
    QObject::connect(&box, &Markora::Click, [this] { events.push_back("Click"); });
    QObject::connect(&box, &Markora::DblClick, [this] { events.push_back("DblClick"); });
    QObject::connect(&box, &Markora::SelChange, [this] { events.push_back("SelChange"); });
    QObject::connect(&box, &Markora::KeyDown, [this](int& code, int&) { events.push_back("KeyDown:" + std::to_string(code)); });
    QObject::connect(&box, &Markora::KeyUp, [this](int& code, int&) { events.push_back("KeyUp:" + std::to_string(code)); });
    QObject::connect(&box, &Markora::KeyPress, [this](int& k) { events.push_back("KeyPress:" + std::to_string(k)); });
    QObject::connect(&box, &Markora::MouseDown, [this](int& b, int&, float&, float&) { events.push_back("MouseDown:" + std::to_string(b)); });
    QObject::connect(&box, &Markora::MouseUp, [this](int& b, int&, float&, float&) { events.push_back("MouseUp:" + std::to_string(b)); });
  }
  std::vector<std::string> events;
};

// One key as the window system delivers it: press with its text, release.
inline void TypeKey(Markora& box, int key, const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::sendKeyEvent(QTest::Click, box.rtfHTML(), static_cast<Qt::Key>(key), text, modifiers);
}

inline void TypeText(Markora& box, const QString& text) { QTest::keyClicks(box.rtfHTML(), text); }

}  // namespace vandrel::test
