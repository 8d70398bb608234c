#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "markup/RichTextBox.h"
#include "markup/core/PropertyBag.h"

class QPrinter;

namespace vandrel {

// The markup text box: one RichTextBox (rtfHTML) filling the control, which
// holds HTML-like text as plain characters and styles its tag names,
// property names and values, comments and entities with bold and italic.
// Most members pass through to rtfHTML; failures of rtfHTML reach the caller
// as MarkoraError.
//
// The events mirror rtfHTML's; their arguments are references, so a handler
// connected directly can change them (a KeyAscii set to 0 is not inserted, a
// KeyCode set to 0 swallows the key). None is raised while Colorize runs.
class Markora : public QWidget {
  Q_OBJECT

 public:
  explicit Markora(QWidget* parent = nullptr);

  RichTextBox* rtfHTML() const { return rtfHTML_; }

  // Container lifecycle.
  void InitProperties();
  void ReadProperties(PropertyBag& bag);
  void WriteProperties(PropertyBag& bag) const;

  bool AutoColorize() const { return autoColorize_; }
  void setAutoColorize(bool on) { autoColorize_ = on; }
  bool AutoVerbMenu() const { return rtfHTML_->AutoVerbMenu(); }
  void setAutoVerbMenu(bool on);
  bool CommentBold() const { return commentBold_; }
  void setCommentBold(bool on);
  bool CommentItalic() const { return commentItalic_; }
  void setCommentItalic(bool on);
  bool Enabled() const { return isEnabled(); }
  void setEnabled(bool on);
  std::int32_t Entities() const { return entities_; }
  void setEntities(std::int32_t mask);  // 0 to 63, else MarkoraError 5
  bool EntityBold() const { return entityBold_; }
  void setEntityBold(bool on);
  bool EntityItalic() const { return entityItalic_; }
  void setEntityItalic(bool on);
  QString FileName() const { return rtfHTML_->FileName(); }
  void setFileName(const QString& name);
  bool HideSelection() const { return rtfHTML_->HideSelection(); }
  void setHideSelection(bool on);
  quintptr hWnd() const { return rtfHTML_->hWnd(); }
  bool Locked() const { return rtfHTML_->Locked(); }
  void setLocked(bool on);
  std::int32_t MaxLength() const { return rtfHTML_->MaxLength(); }
  void setMaxLength(std::int32_t length);
  std::int32_t MousePointer() const { return rtfHTML_->MousePointer(); }
  void setMousePointer(std::int32_t pointer);
  // Updated by Colorize: a QProgressBar, or an object whose class is named
  // "ProgressBar" (properties Min, Max, Value) or "htPrgBar" (Percent).
  QObject* ProgressBar() const { return progressBar_; }
  void setProgressBar(QObject* progress) { progressBar_ = progress; }
  bool PropNameBold() const { return propNameBold_; }
  void setPropNameBold(bool on);
  bool PropNameItalic() const { return propNameItalic_; }
  void setPropNameItalic(bool on);
  bool PropValBold() const { return propValBold_; }
  void setPropValBold(bool on);
  bool PropValItalic() const { return propValItalic_; }
  void setPropValItalic(bool on);
  float RightMargin() const { return rtfHTML_->RightMargin(); }
  void setRightMargin(float twips);
  void Refresh() { rtfHTML_->Refresh(); }
  std::int32_t SelLength() const { return rtfHTML_->SelLength(); }
  void setSelLength(std::int32_t length) { rtfHTML_->setSelLength(length); }
  std::int32_t SelStart() const { return rtfHTML_->SelStart(); }
  void setSelStart(std::int32_t start) { rtfHTML_->setSelStart(start); }
  std::int32_t SelTabCount() const { return rtfHTML_->SelTabCount(); }
  void setSelTabCount(std::int32_t count) { rtfHTML_->setSelTabCount(count); }
  double SelTabs(std::int16_t index) const { return rtfHTML_->SelTabs(index); }
  void setSelTabs(std::int16_t index, double twips) { rtfHTML_->setSelTabs(index, twips); }
  QString SelText() const { return rtfHTML_->SelText(); }
  void setSelText(const QString& text) { rtfHTML_->setSelText(text); }
  bool Silent() const { return silent_; }
  void setSilent(bool on);
  bool TagBold() const { return tagBold_; }
  void setTagBold(bool on);
  bool TagItalic() const { return tagItalic_; }
  void setTagItalic(bool on);
  // The control's default member.
  QString Text() const { return rtfHTML_->Text(); }
  void setText(const QString& text);
  QString TextRTF() const { return rtfHTML_->TextRTF(); }
  void setTextRTF(const QString& text);

  // Styles the 1-based positions startPos to endPos (0: 1 and the text's
  // length). The range is clamped to the text; an empty or inverted one
  // styles nothing.
  void Colorize(std::int32_t startPos = 0, std::int32_t endPos = 0);

  // A start or end of 0 is passed on as omitted.
  std::int32_t Find(const QString& strString, std::int32_t lngStart = 0, std::int32_t lngEnd = 0,
                    std::int32_t fndOptions = 0);
  void Span(const QString& strString, bool blnGoForward = false, bool blnNegate = false);
  void UpTo(const QString& strString, bool blnGoForward = false, bool blnNegate = false);
  std::int32_t GetLineCount() const { return rtfHTML_->LineCount(); }
  std::int32_t GetLineFirstCharIndex(std::int32_t lngLineIndex = 0) const { return rtfHTML_->LineIndex(lngLineIndex); }
  std::int32_t GetLineFromChar(std::int32_t lngCharIndex) const { return rtfHTML_->GetLineFromChar(lngCharIndex); }
  std::int32_t GetLineSelected() const { return rtfHTML_->LineFromChar(-1); }
  void LoadFile(const QString& strFilePath) { rtfHTML_->LoadFile(strFilePath, RichTextBox::rtfText); }
  void SaveFile(const QString& strFilePath) const { rtfHTML_->SaveFile(strFilePath, RichTextBox::rtfText); }
  void SelPrint(QPrinter& printer) const { rtfHTML_->SelPrint(printer); }

  // Format writes to the document since the box was made, for measurements.
  std::int64_t FormatWrites() const { return formatWrites_; }

 signals:
  void Change();
  void Click();
  void DblClick();
  void KeyDown(int& KeyCode, int& Shift);
  void KeyPress(int& KeyAscii);
  void KeyUp(int& KeyCode, int& Shift);
  void MouseDown(int& Button, int& Shift, float& X, float& Y);
  void MouseMove(int& Button, int& Shift, float& X, float& Y);  // declared only, never raised
  void MouseUp(int& Button, int& Shift, float& X, float& Y);
  void SelChange();
  // Tells the container to save the property bag again.
  void PropertyChanged(const QString& name);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class MarkoraColorizeRun;

  bool HandleKeyPress(QKeyEvent* event);
  void ProcessKey(QKeyEvent* event);
  void TypeReplacement(const QString& entity);
  bool HandleMouse(QMouseEvent* event);
  void OnTextChange();
  void OnSelectionSignal();
  void OnSelChange();
  void SetStyle(bool& field, bool on, const char* name);
  QFont AmbientFont() const;

  RichTextBox* rtfHTML_;

  bool autoColorize_ = false;
  bool commentBold_ = false;
  bool commentItalic_ = false;
  bool entityBold_ = false;
  bool entityItalic_ = false;
  bool propNameBold_ = false;
  bool propNameItalic_ = false;
  bool propValBold_ = false;
  bool propValItalic_ = false;
  bool tagBold_ = false;
  bool tagItalic_ = false;
  std::int32_t entities_ = 0;
  bool silent_ = false;
  QPointer<QObject> progressBar_;
  int fontCharset_ = 0;  // kept for the bag; Qt fonts have none

  bool blnColorizing = false;
  bool blnChanged = false;
  bool blnLineKey = false;
  std::int32_t lngLastLine = 0;

  bool keyEditing_ = false;
  bool changePending_ = false;
  int seenAnchor_ = 0;
  int seenPosition_ = 0;
  std::int64_t formatWrites_ = 0;
};

}  // namespace vandrel
