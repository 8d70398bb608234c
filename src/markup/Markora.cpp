#include "markup/Markora.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <array>
#include <string_view>

#include "core/Twips.h"
#include "markup/LongColor.h"
#include "markup/MarkoraError.h"
#include "markup/VirtualKeys.h"
#include "markup/core/ColorizeScanner.h"
#include "markup/core/EntityTable.h"

namespace vandrel {

namespace {

FontDescription DescriptionOf(const QFont& font, int charset) {
  FontDescription d;
  d.name = font.family().toStdString();
  d.size = font.pointSizeF() > 0 ? font.pointSizeF() : 0;
  d.weight = font.weight();
  d.italic = font.italic();
  d.underline = font.underline();
  d.strikethrough = font.strikeOut();
  d.charset = charset;
  return d;
}

QFont FontOf(const FontDescription& d) {
  QFont font;
  font.setFamily(QString::fromStdString(d.name));
  if (d.size > 0) font.setPointSizeF(d.size);
  font.setWeight(static_cast<QFont::Weight>(std::clamp(d.weight, 1, 1000)));
  font.setItalic(d.italic);
  font.setUnderline(d.underline);
  font.setStrikeOut(d.strikethrough);
  return font;
}

// A progress object is known by its type name; Qt's own progress bar is the
// standard one.
std::string TypeNameOf(const QObject* object) {
  if (qobject_cast<const QProgressBar*>(object) != nullptr) return "ProgressBar";
  return object->metaObject()->className();
}

void WriteProgressMember(QObject* object, const char* member, int value) {
  if (auto* bar = qobject_cast<QProgressBar*>(object)) {
    const std::string_view name(member);
    if (name == "Min") bar->setMinimum(value);
    if (name == "Max") bar->setMaximum(value);
    if (name == "Value") bar->setValue(value);
    return;
  }
  object->setProperty(member, value);
}

// Sets or clears the freeze and the Colorize flag around a run, also when
// the run ends by an exception.
class ColorizeScope {
 public:
  ColorizeScope(QWidget* view, bool freeze, bool& colorizing) : view_(view), colorizing_(colorizing) {
    colorizing_ = true;
    frozen_ = freeze && view_->updatesEnabled();
    if (frozen_) view_->setUpdatesEnabled(false);
  }
  ~ColorizeScope() {
    colorizing_ = false;
    if (frozen_) view_->setUpdatesEnabled(true);
  }
  ColorizeScope(const ColorizeScope&) = delete;
  ColorizeScope& operator=(const ColorizeScope&) = delete;

 private:
  QWidget* view_;
  bool& colorizing_;
  bool frozen_ = false;
};

// Applies what the scan finds to the document through one cursor of its own,
// so the user's selection is never touched.
class DocumentSink : public ColorizeSink {
 public:
  DocumentSink(QTextCursor& cursor, std::int32_t length, const std::array<QTextCharFormat, 5>& formats,
               std::int64_t& writes, QObject* progress, ProgressKind kind)
      : cursor_(cursor), length_(length), formats_(formats), writes_(writes), progress_(progress), kind_(kind) {}

  void StyleSpan(MarkupClass markupClass, std::int32_t selStart, std::int32_t selLength) override {
    const std::int32_t from = std::clamp(selStart, 0, length_);
    const std::int32_t to = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{from} + selLength, length_));
    if (to <= from) return;
    cursor_.setPosition(from);
    cursor_.setPosition(to, QTextCursor::KeepAnchor);
    cursor_.mergeCharFormat(formats_[static_cast<std::size_t>(markupClass)]);
    ++writes_;
  }

  void Progress(std::uint8_t percent) override {
    if (progress_ == nullptr) return;
    WriteProgressMember(progress_, kind_ == ProgressKind::ProgressBar ? "Value" : "Percent", percent);
  }

 private:
  QTextCursor& cursor_;
  std::int32_t length_;
  const std::array<QTextCharFormat, 5>& formats_;
  std::int64_t& writes_;
  QObject* progress_;
  ProgressKind kind_;
};

QTextCharFormat StyleFormat(bool bold, bool italic) {
  QTextCharFormat format;
  format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
  format.setFontItalic(italic);
  return format;
}

}  // namespace

Markora::Markora(QWidget* parent) : QWidget(parent), rtfHTML_(new RichTextBox(this)) {
  rtfHTML_->setObjectName("rtfHTML");
  rtfHTML_->installEventFilter(this);
  rtfHTML_->viewport()->installEventFilter(this);
  connect(rtfHTML_, &QTextEdit::textChanged, this, &Markora::OnTextChange);
  connect(rtfHTML_, &QTextEdit::cursorPositionChanged, this, &Markora::OnSelectionSignal);
  connect(rtfHTML_, &QTextEdit::selectionChanged, this, &Markora::OnSelectionSignal);
}

QFont Markora::AmbientFont() const { return parentWidget() != nullptr ? parentWidget()->font() : QApplication::font(); }

void Markora::InitProperties() {
  autoColorize_ = true;
  rtfHTML_->setAutoVerbMenu(false);
  rtfHTML_->setBackColor(kWindowBackground);
  commentBold_ = false;
  commentItalic_ = true;
  QWidget::setEnabled(true);
  entityBold_ = false;
  entityItalic_ = false;
  entities_ = 62;
  rtfHTML_->setFileName(QString());
  rtfHTML_->setFont(AmbientFont());
  fontCharset_ = 0;
  rtfHTML_->setHideSelection(false);
  rtfHTML_->setLocked(false);
  rtfHTML_->setMaxLength(0);
  rtfHTML_->setMouseIcon(PictureData{});
  rtfHTML_->setMousePointer(0);
  progressBar_ = nullptr;
  propNameBold_ = false;
  propNameItalic_ = false;
  propValBold_ = false;
  propValItalic_ = false;
  rtfHTML_->setRightMargin(0);
  silent_ = true;
  tagBold_ = true;
  tagItalic_ = false;
  rtfHTML_->setText(QString());
}

void Markora::ReadProperties(PropertyBag& bag) {
  const auto flag = [&](const char* key, bool def) { return std::get<bool>(bag.ReadProperty(key, def)); };
  const auto number = [&](const char* key, std::int32_t def) {
    return std::get<std::int32_t>(bag.ReadProperty(key, def));
  };
  const auto text = [&](const char* key) {
    return QString::fromStdString(std::get<std::string>(bag.ReadProperty(key, std::string())));
  };
  autoColorize_ = flag("AutoColorize", true);
  rtfHTML_->setAutoVerbMenu(flag("AutoVerbMenu", false));
  rtfHTML_->setBackColor(number("BackColor", kWindowBackground));
  commentBold_ = flag("CommentBold", false);
  commentItalic_ = flag("CommentItalic", true);
  QWidget::setEnabled(flag("Enabled", true));
  // Loading takes the stored mask as it is; only its low six bits matter.
  entities_ = number("Entities", 62);
  entityBold_ = flag("EntityBold", false);
  entityItalic_ = flag("EntityItalic", false);
  rtfHTML_->setFileName(text("FileName"));
  const auto font = std::get<FontDescription>(bag.ReadProperty("Font", DescriptionOf(AmbientFont(), 0)));
  rtfHTML_->setFont(FontOf(font));
  fontCharset_ = font.charset;
  rtfHTML_->setHideSelection(flag("HideSelection", false));
  rtfHTML_->setLocked(flag("Locked", false));
  rtfHTML_->setMaxLength(std::max(0, number("MaxLength", 0)));
  rtfHTML_->setMouseIcon(std::get<PictureData>(bag.ReadProperty("MouseIcon", PictureData{})));
  const std::int32_t pointer = number("MousePointer", 0);
  rtfHTML_->setMousePointer((pointer >= 0 && pointer <= 15) || pointer == 99 ? pointer : 0);
  propNameBold_ = flag("PropNameBold", false);
  propNameItalic_ = flag("PropNameItalic", false);
  propValBold_ = flag("PropValBold", false);
  propValItalic_ = flag("PropValItalic", false);
  silent_ = flag("Silent", true);
  rtfHTML_->setRightMargin(std::max(0.0f, std::get<float>(bag.ReadProperty("RightMargin", 0.0f))));
  tagBold_ = flag("TagBold", true);
  tagItalic_ = flag("TagItalic", false);
  rtfHTML_->setText(text("Text"));
}

void Markora::WriteProperties(PropertyBag& bag) const {
  const auto text = [](const QString& s) { return PropertyValue(s.toStdString()); };
  bag.WriteProperty("AutoColorize", autoColorize_, true);
  bag.WriteProperty("AutoVerbMenu", rtfHTML_->AutoVerbMenu(), false);
  bag.WriteProperty("BackColor", rtfHTML_->BackColor(), kWindowBackground);
  bag.WriteProperty("CommentBold", commentBold_, false);
  bag.WriteProperty("CommentItalic", commentItalic_, true);
  bag.WriteProperty("Enabled", isEnabled(), true);
  bag.WriteProperty("Entities", entities_, std::int32_t{62});
  bag.WriteProperty("EntityBold", entityBold_, false);
  bag.WriteProperty("EntityItalic", entityItalic_, false);
  bag.WriteProperty("FileName", text(rtfHTML_->FileName()), std::string());
  bag.WriteProperty("Font", DescriptionOf(rtfHTML_->font(), fontCharset_), DescriptionOf(AmbientFont(), 0));
  bag.WriteProperty("HideSelection", rtfHTML_->HideSelection(), false);
  bag.WriteProperty("Locked", rtfHTML_->Locked(), false);
  bag.WriteProperty("MaxLength", rtfHTML_->MaxLength(), std::int32_t{0});
  bag.WriteProperty("MouseIcon", rtfHTML_->MouseIcon(), PictureData{});
  bag.WriteProperty("MousePointer", rtfHTML_->MousePointer(), std::int32_t{0});
  bag.WriteProperty("PropNameBold", propNameBold_, false);
  bag.WriteProperty("PropNameItalic", propNameItalic_, false);
  bag.WriteProperty("PropValBold", propValBold_, false);
  bag.WriteProperty("PropValItalic", propValItalic_, false);
  bag.WriteProperty("Silent", silent_, true);
  bag.WriteProperty("RightMargin", rtfHTML_->RightMargin(), 0.0f);
  bag.WriteProperty("TagBold", tagBold_, true);
  bag.WriteProperty("TagItalic", tagItalic_, false);
  bag.WriteProperty("Text", text(rtfHTML_->Text()), std::string());
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

void Markora::Colorize(std::int32_t startPos, std::int32_t endPos) {
  QTextDocument* document = rtfHTML_->document();
  // The raw text has one character per cursor position, line breaks included.
  const QString scanText = document->toRawText();
  const auto length = static_cast<std::int32_t>(scanText.size());
  if (startPos == 0) startPos = 1;
  if (endPos == 0) endPos = length;
  startPos = std::max(startPos, 1);
  endPos = std::min(endPos, length);

  {
    ColorizeScope scope(rtfHTML_, silent_, blnColorizing);
    QTextCursor cursor(document);
    // One edit block lays the document out once instead of after every
    // write; Silent only decides whether the view is frozen meanwhile.
    cursor.beginEditBlock();

    const QFont base = rtfHTML_->font();
    QTextCharFormat reset;
    reset.setFontFamilies({base.family()});
    if (base.pointSizeF() > 0) reset.setFontPointSize(base.pointSizeF());
    reset.setForeground(ColorFromLong(kWindowText, rtfHTML_->palette()));
    reset.setFontWeight(base.bold() ? QFont::Bold : QFont::Normal);
    reset.setFontItalic(base.italic());
    // The reset stops one short of the end position, as it always has.
    const std::int32_t from = std::clamp(startPos - 1, 0, length);
    const std::int32_t to = std::clamp(endPos - 1, from, length);
    if (to > from) {
      cursor.setPosition(from);
      cursor.setPosition(to, QTextCursor::KeepAnchor);
      cursor.mergeCharFormat(reset);
      ++formatWrites_;
    }

    QObject* progress = progressBar_.data();
    const ProgressKind kind = progress != nullptr ? ProgressKindOf(TypeNameOf(progress)) : ProgressKind::None;
    if (kind == ProgressKind::ProgressBar) {
      WriteProgressMember(progress, "Min", 0);
      WriteProgressMember(progress, "Max", 100);
      WriteProgressMember(progress, "Value", 0);
    } else if (kind == ProgressKind::PercentBar) {
      WriteProgressMember(progress, "Percent", 0);
    }

    const std::array<QTextCharFormat, 5> formats{
        StyleFormat(tagBold_, tagItalic_),         StyleFormat(propNameBold_, propNameItalic_),
        StyleFormat(propValBold_, propValItalic_), StyleFormat(commentBold_, commentItalic_),
        StyleFormat(entityBold_, entityItalic_),
    };
    DocumentSink sink(cursor, length, formats, formatWrites_, progress, kind);
    ScanMarkup(std::u16string_view(reinterpret_cast<const char16_t*>(scanText.utf16()), scanText.size()), startPos,
               endPos, kind != ProgressKind::None, sink);
    cursor.endEditBlock();
  }
  blnChanged = false;
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
