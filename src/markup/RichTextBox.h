#pragma once

#include <QString>
#include <QTextEdit>
#include <cstdint>
#include <optional>

#include "markup/core/PropertyBag.h"

class QPrinter;

namespace vandrel {

// The rich-text edit component the markup box wraps: a multi-line QTextEdit
// with the members of the classic rich text box. Positions are 0-based
// offsets into the document, one per character and one per line break, so
// that they equal the offsets of Text(). Failures raise MarkoraError.
class RichTextBox : public QTextEdit {
  Q_OBJECT

 public:
  static constexpr int rtfRTF = 0;   // file type: rich text (HTML in this component)
  static constexpr int rtfText = 1;  // file type: plain text
  static constexpr std::int32_t rtfWholeWord = 2;
  static constexpr std::int32_t rtfMatchCase = 4;
  static constexpr std::int32_t rtfNoHighlight = 8;

  explicit RichTextBox(QWidget* parent = nullptr);

  // Line breaks read as "\n"; "\r\n" and "\r" written count as one.
  QString Text() const;
  void setText(const QString& text);
  // The document's rich form; Qt's rich text is HTML.
  QString TextRTF() const;
  void setTextRTF(const QString& text);
  std::int32_t TextLength() const;

  std::int32_t SelStart() const;
  void setSelStart(std::int32_t start);  // empties the selection; past the end means the end
  std::int32_t SelLength() const;
  void setSelLength(std::int32_t length);  // from SelStart
  QString SelText() const;
  void setSelText(const QString& text);
  // Tab stops of the selection's first line, positions in twips.
  std::int32_t SelTabCount() const;
  void setSelTabCount(std::int32_t count);
  double SelTabs(std::int32_t index) const;
  void setSelTabs(std::int32_t index, double twips);

  bool AutoVerbMenu() const { return autoVerbMenu_; }
  void setAutoVerbMenu(bool on);
  std::int32_t BackColor() const { return backColor_; }
  void setBackColor(std::int32_t color);
  QString FileName() const { return fileName_; }
  void setFileName(const QString& name) { fileName_ = name; }
  bool HideSelection() const { return hideSelection_; }
  void setHideSelection(bool on);
  bool Locked() const { return isReadOnly(); }
  void setLocked(bool on);
  std::int32_t MaxLength() const { return maxLength_; }
  void setMaxLength(std::int32_t length);
  const PictureData& MouseIcon() const { return mouseIcon_; }
  void setMouseIcon(const PictureData& picture);
  std::int32_t MousePointer() const { return mousePointer_; }
  void setMousePointer(std::int32_t pointer);
  // Width of a line in twips; 0 wraps at the box's width.
  float RightMargin() const { return rightMargin_; }
  void setRightMargin(float twips);
  quintptr hWnd() const;
  void Refresh();

  // Offset of the first match inside start to end, or -1. An omitted start is
  // 0, an omitted end the end of the text. Unless rtfNoHighlight, the match
  // is selected.
  std::int32_t Find(const QString& text, std::optional<std::int32_t> start, std::optional<std::int32_t> end,
                    std::int32_t options);
  // Extends the selection over the characters that are in characterSet (not
  // in it when negate): forward from its end, or backward from its start.
  void Span(const QString& characterSet, bool forward, bool negate);
  // Moves the caret up to the first character in characterSet (not in it
  // when negate), forward from the selection's end or backward from its start.
  void UpTo(const QString& characterSet, bool forward, bool negate);
  std::int32_t GetLineFromChar(std::int32_t index) const;
  void LoadFile(const QString& path, int fileType);
  void SaveFile(const QString& path, int fileType) const;
  // Prints the selection, or the whole text when nothing is selected.
  void SelPrint(QPrinter& printer) const;

  // The edit control's line messages; lines end at line breaks.
  std::int32_t LineCount() const;
  // First offset of a 0-based line, -1 for the caret's line; -1 when the line does not exist.
  std::int32_t LineIndex(std::int32_t line) const;
  // Line holding an offset, -1 for the start of the selection.
  std::int32_t LineFromChar(std::int32_t index) const;

  // The component's own handling of a key, bypassing event filters.
  void ProcessKey(QKeyEvent* event) { keyPressEvent(event); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  std::int32_t RoomLeft() const;
  void ApplyHighlightColours();
  void ApplyCursor();

  bool autoVerbMenu_ = false;
  std::int32_t backColor_;
  QString fileName_;
  bool hideSelection_ = false;
  std::int32_t maxLength_ = 0;
  PictureData mouseIcon_;
  std::int32_t mousePointer_ = 0;
  float rightMargin_ = 0;
};

}  // namespace vandrel
