#include "markup/RichTextBox.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QPixmap>
#include <QPrinter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <algorithm>
#include <memory>

#include "core/TextDecoding.h"
#include "core/Twips.h"
#include "markup/LongColor.h"
#include "markup/MarkoraError.h"

namespace vandrel {

namespace {

[[noreturn]] void InvalidValue(const char* what) {
  throw MarkoraError(MarkoraError::kInvalidPropertyValue, std::string("Invalid property value: ") + what);
}

// The document keeps line breaks as paragraph separators.
QChar Normalised(QChar c) {
  return (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) ? QChar(u'\n') : c;
}

Qt::CursorShape ShapeOf(std::int32_t pointer) {
  switch (pointer) {
    case 2: return Qt::CrossCursor;
    case 3: return Qt::IBeamCursor;
    case 5:
    case 15: return Qt::SizeAllCursor;
    case 6: return Qt::SizeBDiagCursor;
    case 7: return Qt::SizeVerCursor;
    case 8: return Qt::SizeFDiagCursor;
    case 9: return Qt::SizeHorCursor;
    case 10: return Qt::UpArrowCursor;
    case 11: return Qt::WaitCursor;
    case 12: return Qt::ForbiddenCursor;
    case 13: return Qt::BusyCursor;
    case 14: return Qt::WhatsThisCursor;
    default: return Qt::ArrowCursor;
  }
}

}  // namespace

RichTextBox::RichTextBox(QWidget* parent) : QTextEdit(parent), backColor_(kWindowBackground) {
  // It holds markup as characters: pasted rich text arrives as plain text too.
  setAcceptRichText(false);
  setAutoVerbMenu(false);
  ApplyHighlightColours();
}

QString RichTextBox::Text() const {
  QString text = document()->toRawText();
  for (QChar& c : text) c = Normalised(c);
  return text;
}

void RichTextBox::setText(const QString& text) { setPlainText(text); }

QString RichTextBox::TextRTF() const { return toHtml(); }

void RichTextBox::setTextRTF(const QString& text) { setHtml(text); }

std::int32_t RichTextBox::TextLength() const { return document()->characterCount() - 1; }

std::int32_t RichTextBox::SelStart() const { return textCursor().selectionStart(); }

void RichTextBox::setSelStart(std::int32_t start) {
  if (start < 0) InvalidValue("SelStart");
  QTextCursor cursor = textCursor();
  cursor.setPosition(std::min(start, TextLength()));
  setTextCursor(cursor);
}

std::int32_t RichTextBox::SelLength() const {
  const QTextCursor cursor = textCursor();
  return cursor.selectionEnd() - cursor.selectionStart();
}

void RichTextBox::setSelLength(std::int32_t length) {
  if (length < 0) InvalidValue("SelLength");
  QTextCursor cursor = textCursor();
  const int start = cursor.selectionStart();
  cursor.setPosition(start);
  cursor.setPosition(std::min<std::int64_t>(std::int64_t{start} + length, TextLength()), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
}

QString RichTextBox::SelText() const {
  QString text = textCursor().selectedText();
  for (QChar& c : text) c = Normalised(c);
  return text;
}

void RichTextBox::setSelText(const QString& text) {
  QTextCursor cursor = textCursor();
  cursor.insertText(text);
  setTextCursor(cursor);
}

std::int32_t RichTextBox::SelTabCount() const {
  return static_cast<std::int32_t>(textCursor().blockFormat().tabPositions().size());
}

void RichTextBox::setSelTabCount(std::int32_t count) {
  if (count < 0) InvalidValue("SelTabCount");
  QList<QTextOption::Tab> tabs = textCursor().blockFormat().tabPositions();
  while (tabs.size() > count) tabs.removeLast();
  const qreal step = document()->defaultTextOption().tabStopDistance();
  while (tabs.size() < count) tabs.append(QTextOption::Tab((tabs.isEmpty() ? 0 : tabs.last().position) + step,
                                                           QTextOption::LeftTab));
  QTextBlockFormat format;
  format.setTabPositions(tabs);
  textCursor().mergeBlockFormat(format);
}

double RichTextBox::SelTabs(std::int32_t index) const {
  const QList<QTextOption::Tab> tabs = textCursor().blockFormat().tabPositions();
  if (index < 0 || index >= tabs.size()) throw MarkoraError(MarkoraError::kInvalidArrayIndex, "Invalid tab index");
  return tabs[index].position * kTwipsPerPixel;
}

void RichTextBox::setSelTabs(std::int32_t index, double twips) {
  QList<QTextOption::Tab> tabs = textCursor().blockFormat().tabPositions();
  if (index < 0 || index >= tabs.size()) throw MarkoraError(MarkoraError::kInvalidArrayIndex, "Invalid tab index");
  tabs[index].position = twips / kTwipsPerPixel;
  QTextBlockFormat format;
  format.setTabPositions(tabs);
  textCursor().mergeBlockFormat(format);
}

void RichTextBox::setAutoVerbMenu(bool on) {
  autoVerbMenu_ = on;
  setContextMenuPolicy(on ? Qt::DefaultContextMenu : Qt::NoContextMenu);
}

void RichTextBox::setBackColor(std::int32_t color) {
  backColor_ = color;
  QPalette p = palette();
  p.setColor(QPalette::Base, ColorFromLong(color, QApplication::palette()));
  setPalette(p);
  ApplyHighlightColours();
}

void RichTextBox::setHideSelection(bool on) {
  hideSelection_ = on;
  ApplyHighlightColours();
}

void RichTextBox::ApplyHighlightColours() {
  QPalette p = palette();
  if (hideSelection_) {
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Inactive, QPalette::Text));
  } else {
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
  }
  setPalette(p);
}

void RichTextBox::setLocked(bool on) {
  setReadOnly(on);
  // A locked box still lets the caret move and the text be selected.
  if (on) setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void RichTextBox::setMaxLength(std::int32_t length) {
  if (length < 0) InvalidValue("MaxLength");
  maxLength_ = length;
}

void RichTextBox::setMouseIcon(const PictureData& picture) {
  mouseIcon_ = picture;
  ApplyCursor();
}

void RichTextBox::setMousePointer(std::int32_t pointer) {
  if (pointer < 0 || (pointer > 15 && pointer != 99)) InvalidValue("MousePointer");
  mousePointer_ = pointer;
  ApplyCursor();
}

void RichTextBox::ApplyCursor() {
  if (mousePointer_ == 0) {
    viewport()->setCursor(Qt::IBeamCursor);
    return;
  }
  if (mousePointer_ == 99) {
    QPixmap icon;
    const auto& bytes = mouseIcon_.bytes;
    if (!bytes.empty() && icon.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<uint>(bytes.size()))) {
      viewport()->setCursor(QCursor(icon));
      return;
    }
  }
  viewport()->setCursor(ShapeOf(mousePointer_));
}

void RichTextBox::setRightMargin(float twips) {
  if (twips < 0) InvalidValue("RightMargin");
  rightMargin_ = twips;
  if (twips == 0) {
    setLineWrapMode(QTextEdit::WidgetWidth);
  } else {
    setLineWrapMode(QTextEdit::FixedPixelWidth);
    setLineWrapColumnOrWidth(std::max(1, static_cast<int>(twips / kTwipsPerPixel + 0.5)));
  }
}

quintptr RichTextBox::hWnd() const { return static_cast<quintptr>(effectiveWinId()); }

void RichTextBox::Refresh() { viewport()->repaint(); }

std::int32_t RichTextBox::Find(const QString& text, std::optional<std::int32_t> start,
                               std::optional<std::int32_t> end, std::int32_t options) {
  const std::int32_t length = TextLength();
  const std::int32_t from = std::clamp(start.value_or(0), 0, length);
  const std::int32_t to = std::clamp(end.value_or(length), 0, length);
  if (text.isEmpty()) return -1;
  QTextDocument::FindFlags flags;
  if (options & rtfWholeWord) flags |= QTextDocument::FindWholeWords;
  if (options & rtfMatchCase) flags |= QTextDocument::FindCaseSensitively;
  const QTextCursor match = document()->find(text, from, flags);
  if (match.isNull() || match.selectionEnd() > to) return -1;
  if ((options & rtfNoHighlight) == 0) setTextCursor(match);
  return match.selectionStart();
}

void RichTextBox::Span(const QString& characterSet, bool forward, bool negate) {
  const auto spans = [&](int pos) {
    return characterSet.contains(Normalised(document()->characterAt(pos))) != negate;
  };
  QTextCursor cursor = textCursor();
  int start = cursor.selectionStart();
  int end = cursor.selectionEnd();
  if (forward) {
    while (end < TextLength() && spans(end)) ++end;
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
  } else {
    while (start > 0 && spans(start - 1)) --start;
    cursor.setPosition(end);
    cursor.setPosition(start, QTextCursor::KeepAnchor);
  }
  setTextCursor(cursor);
}

void RichTextBox::UpTo(const QString& characterSet, bool forward, bool negate) {
  const auto passes = [&](int pos) {
    return characterSet.contains(Normalised(document()->characterAt(pos))) == negate;
  };
  QTextCursor cursor = textCursor();
  int pos = forward ? cursor.selectionEnd() : cursor.selectionStart();
  if (forward) {
    while (pos < TextLength() && passes(pos)) ++pos;
  } else {
    while (pos > 0 && passes(pos - 1)) --pos;
  }
  cursor.setPosition(pos);
  setTextCursor(cursor);
}

std::int32_t RichTextBox::GetLineFromChar(std::int32_t index) const {
  if (index < 0) InvalidValue("character index");
  return LineFromChar(index);
}

void RichTextBox::LoadFile(const QString& path, int fileType) {
  QFile file(path);
  if (!file.exists()) throw MarkoraError(MarkoraError::kFileNotFound, "File not found: " + path.toStdString());
  if (!file.open(QIODevice::ReadOnly)) {
    throw MarkoraError(MarkoraError::kFileAccess, "Cannot read " + path.toStdString() + ": " + file.errorString().toStdString());
  }
  const QByteArray bytes = file.readAll();
  const QString text = QString::fromStdString(DecodeBodyText(std::string_view(bytes.constData(), bytes.size())));
  if (fileType == rtfText) {
    setText(text);
  } else {
    setTextRTF(text);
  }
}

void RichTextBox::SaveFile(const QString& path, int fileType) const {
  QSaveFile file(path);
  const QByteArray bytes = (fileType == rtfText ? Text() : TextRTF()).toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    throw MarkoraError(MarkoraError::kFileAccess, "Cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
  }
}

void RichTextBox::SelPrint(QPrinter& printer) const {
  const QTextCursor selection = textCursor();
  std::unique_ptr<QTextDocument> printed;
  if (selection.hasSelection()) {
    printed = std::make_unique<QTextDocument>();
    printed->setDefaultFont(document()->defaultFont());
    QTextCursor(printed.get()).insertFragment(selection.selection());
  } else {
    printed.reset(document()->clone());
  }
  printed->print(&printer);
}

std::int32_t RichTextBox::LineCount() const { return document()->blockCount(); }

std::int32_t RichTextBox::LineIndex(std::int32_t line) const {
  if (line == -1) return textCursor().block().position();
  const QTextBlock block = document()->findBlockByNumber(line);
  return (line >= 0 && block.isValid()) ? block.position() : -1;
}

std::int32_t RichTextBox::LineFromChar(std::int32_t index) const {
  const int pos = index < 0 ? textCursor().selectionStart() : std::min(index, TextLength());
  return document()->findBlock(pos).blockNumber();
}

std::int32_t RichTextBox::RoomLeft() const {
  const QTextCursor cursor = textCursor();
  return maxLength_ - (TextLength() - (cursor.selectionEnd() - cursor.selectionStart()));
}

void RichTextBox::keyPressEvent(QKeyEvent* event) {
  const bool types = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                     (!event->text().isEmpty() && event->text().at(0).isPrint());
  if (maxLength_ > 0 && types && !isReadOnly() && RoomLeft() < 1) {
    event->accept();
    return;
  }
  QTextEdit::keyPressEvent(event);
}

void RichTextBox::insertFromMimeData(const QMimeData* source) {
  if (maxLength_ == 0 || source == nullptr || !source->hasText()) {
    QTextEdit::insertFromMimeData(source);
    return;
  }
  insertPlainText(source->text().left(std::max(0, RoomLeft())));
}

}  // namespace vandrel
