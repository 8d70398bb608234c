#include "markup/Markora.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextCursor>

#include "core/Twips.h"
#include "markup/MarkoraError.h"
#include "markup/VirtualKeys.h"
#include "markup/core/EntityTable.h"

namespace vandrel {

Markora::Markora(QWidget* parent) : QWidget(parent), rtfHTML_(new RichTextBox(this)) {
  rtfHTML_->setObjectName("rtfHTML");
  rtfHTML_->installEventFilter(this);
  rtfHTML_->viewport()->installEventFilter(this);
  connect(rtfHTML_, &QTextEdit::textChanged, this, &Markora::OnTextChange);
  connect(rtfHTML_, &QTextEdit::cursorPositionChanged, this, &Markora::OnSelectionSignal);
  connect(rtfHTML_, &QTextEdit::selectionChanged, this, &Markora::OnSelectionSignal);
}

void Markora::SetStyle(bool& field, bool on, const char* name) {
  field = on;
  emit PropertyChanged(QString::fromLatin1(name));
}

void Markora::setAutoVerbMenu(bool on) {
  rtfHTML_->setAutoVerbMenu(on);
  emit PropertyChanged("AutoVerbMenu");
}
void Markora::setCommentBold(bool on) { SetStyle(commentBold_, on, "CommentBold"); }
void Markora::setCommentItalic(bool on) { SetStyle(commentItalic_, on, "CommentItalic"); }
void Markora::setEnabled(bool on) {
  QWidget::setEnabled(on);
  emit PropertyChanged("Enabled");
}
void Markora::setEntities(std::int32_t mask) {
  if (mask < 0 || mask > 63) throw MarkoraError(MarkoraError::kInvalidArgument, "Invalid procedure call or argument");
  entities_ = mask;
}
void Markora::setEntityBold(bool on) { SetStyle(entityBold_, on, "EntityBold"); }
void Markora::setEntityItalic(bool on) { SetStyle(entityItalic_, on, "EntityItalic"); }
void Markora::setFileName(const QString& name) {
  rtfHTML_->setFileName(name);
  emit PropertyChanged("FileName");
}
void Markora::setHideSelection(bool on) {
  rtfHTML_->setHideSelection(on);
  emit PropertyChanged("HideSelection");
}
void Markora::setLocked(bool on) {
  rtfHTML_->setLocked(on);
  emit PropertyChanged("Locked");
}
void Markora::setMaxLength(std::int32_t length) {
  rtfHTML_->setMaxLength(length);
  emit PropertyChanged("MaxLength");
}
void Markora::setMousePointer(std::int32_t pointer) {
  rtfHTML_->setMousePointer(pointer);
  emit PropertyChanged("MousePointer");
}
void Markora::setPropNameBold(bool on) { SetStyle(propNameBold_, on, "PropNameBold"); }
void Markora::setPropNameItalic(bool on) { SetStyle(propNameItalic_, on, "PropNameItalic"); }
void Markora::setPropValBold(bool on) { SetStyle(propValBold_, on, "PropValBold"); }
void Markora::setPropValItalic(bool on) { SetStyle(propValItalic_, on, "PropValItalic"); }
void Markora::setRightMargin(float twips) {
  rtfHTML_->setRightMargin(twips);
  emit PropertyChanged("RightMargin");
}
void Markora::setSilent(bool on) { SetStyle(silent_, on, "Silent"); }
void Markora::setTagBold(bool on) { SetStyle(tagBold_, on, "TagBold"); }
void Markora::setTagItalic(bool on) { SetStyle(tagItalic_, on, "TagItalic"); }

void Markora::setText(const QString& text) {
  rtfHTML_->setText(text);
  emit PropertyChanged("Text");
  emit PropertyChanged("TextRTF");
  OnSelectionSignal();
}

void Markora::setTextRTF(const QString& text) {
  rtfHTML_->setTextRTF(text);
  emit PropertyChanged("TextRTF");
  emit PropertyChanged("Text");
  OnSelectionSignal();
}

std::int32_t Markora::Find(const QString& strString, std::int32_t lngStart, std::int32_t lngEnd,
                           std::int32_t fndOptions) {
  const auto given = [](std::int32_t v) { return v == 0 ? std::nullopt : std::optional<std::int32_t>(v); };
  return rtfHTML_->Find(strString, given(lngStart), given(lngEnd), fndOptions);
}

void Markora::Span(const QString& strString, bool blnGoForward, bool blnNegate) {
  rtfHTML_->Span(strString, blnGoForward, blnNegate);
}

void Markora::UpTo(const QString& strString, bool blnGoForward, bool blnNegate) {
  rtfHTML_->UpTo(strString, blnGoForward, blnNegate);
}

void Markora::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  rtfHTML_->setGeometry(0, 0, width(), height());
}

bool Markora::eventFilter(QObject* watched, QEvent* event) {
  if (watched == rtfHTML_) {
    if (event->type() == QEvent::KeyPress) return HandleKeyPress(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::KeyRelease && !blnColorizing) {
      auto* key = static_cast<QKeyEvent*>(event);
      int keyCode = VirtualKeyCode(*key);
      int shift = ShiftMask(key->modifiers());
      emit KeyUp(keyCode, shift);
    }
  } else if (watched == rtfHTML_->viewport()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        HandleMouse(static_cast<QMouseEvent*>(event));
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// Key down and, for a key that types a character, key press; true when the
// key must not reach the component.
bool Markora::HandleKeyPress(QKeyEvent* event) {
  if (blnColorizing) return false;
  int keyCode = VirtualKeyCode(*event);
  const int givenCode = keyCode;
  int shift = ShiftMask(event->modifiers());
  blnLineKey = keyCode == 13 || (keyCode >= 37 && keyCode <= 40);
  emit KeyDown(keyCode, shift);
  if (givenCode != 0 && keyCode == 0) return true;

  const QList<uint> typed = event->text().toUcs4();
  if (typed.isEmpty() || typed.front() == 0x7F) {
    ProcessKey(event);
    return true;
  }
  const auto original = static_cast<int>(typed.front());
  int keyAscii = original;
  if (entities_ != 0) {
    if (const auto entity = EntityReplacement(static_cast<std::uint32_t>(keyAscii), entities_)) {
      keyAscii = 0;
      TypeReplacement(QString::fromLatin1(entity->data(), static_cast<qsizetype>(entity->size())));
    }
  }
  emit KeyPress(keyAscii);
  if (keyAscii == 0) return true;
  if (keyAscii != original) {
    const char32_t changed = static_cast<char32_t>(keyAscii);
    QKeyEvent replacement(event->type(), event->key(), event->modifiers(), QString::fromUcs4(&changed, 1));
    ProcessKey(&replacement);
    event->setAccepted(replacement.isAccepted());
    return true;
  }
  ProcessKey(event);
  return true;
}

// An edit by key reports the caret's move before the text change, so that
// the change marks the line for re-styling when the caret later leaves it.
// A key the component ignores goes on to the parent as usual.
void Markora::ProcessKey(QKeyEvent* event) {
  const bool outermost = !keyEditing_;
  keyEditing_ = true;
  rtfHTML_->ProcessKey(event);
  if (!outermost) return;
  keyEditing_ = false;
  if (changePending_) {
    changePending_ = false;
    OnTextChange();
  }
}

// Types the entity into the component key by key, so that each character
// raises the same events as if the user had typed it.
void Markora::TypeReplacement(const QString& entity) {
  for (const QChar ch : entity) {
    const char c = ch.toLatin1();
    const Qt::KeyboardModifiers modifiers = (QChar::isUpper(ch.unicode()) || c == '&') ? Qt::ShiftModifier : Qt::NoModifier;
    QKeyEvent press(QEvent::KeyPress, KeyForCharacter(c), modifiers, QString(ch));
    QCoreApplication::sendEvent(rtfHTML_, &press);
    QKeyEvent release(QEvent::KeyRelease, KeyForCharacter(c), modifiers, QString(ch));
    QCoreApplication::sendEvent(rtfHTML_, &release);
  }
}

bool Markora::HandleMouse(QMouseEvent* event) {
  if (blnColorizing) return false;
  int button = 0;
  if (event->button() == Qt::LeftButton) button = 1;
  if (event->button() == Qt::RightButton) button = 2;
  if (event->button() == Qt::MiddleButton) button = 4;
  int shift = ShiftMask(event->modifiers());
  const QPoint at = rtfHTML_->viewport()->mapTo(this, event->position().toPoint());
  float x = static_cast<float>(at.x()) * kTwipsPerPixel;
  float y = static_cast<float>(at.y()) * kTwipsPerPixel;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      emit MouseDown(button, shift, x, y);
      break;
    case QEvent::MouseButtonRelease:
      emit MouseUp(button, shift, x, y);
      if (event->button() == Qt::LeftButton) emit Click();
      break;
    case QEvent::MouseButtonDblClick:
      emit DblClick();
      break;
    default:
      break;
  }
  return false;
}

void Markora::OnTextChange() {
  if (blnColorizing) return;
  if (keyEditing_) {
    changePending_ = true;
    return;
  }
  blnChanged = true;
  emit Change();
}

// The component reports caret moves and selection changes separately; the
// box raises one SelChange per change of either end.
void Markora::OnSelectionSignal() {
  const QTextCursor cursor = rtfHTML_->textCursor();
  if (cursor.anchor() == seenAnchor_ && cursor.position() == seenPosition_) return;
  seenAnchor_ = cursor.anchor();
  seenPosition_ = cursor.position();
  OnSelChange();
}

// Re-styles the lines the caret left by Enter or an arrow key after an edit.
void Markora::OnSelChange() {
  if (blnColorizing) return;
  if (blnChanged) {
    blnChanged = false;
    blnColorizing = true;
    if (lngLastLine == 0) lngLastLine = GetLineSelected() + 1;
    if (autoColorize_ && blnLineKey) {
      const std::int32_t current = GetLineSelected() + 1;
      std::int32_t s = -1;
      std::int32_t e = -1;
      if (current > lngLastLine) {
        s = GetLineFirstCharIndex(lngLastLine - 1);
        e = GetLineFirstCharIndex(-1);
      } else if (current < lngLastLine) {
        s = GetLineFirstCharIndex(-1);
        e = GetLineFirstCharIndex(lngLastLine);
      }
      if (s >= 0 && e >= 0) Colorize(s, e);
    }
    blnColorizing = false;
    lngLastLine = GetLineSelected() + 1;
  }
  emit SelChange();
}

}  // namespace vandrel
