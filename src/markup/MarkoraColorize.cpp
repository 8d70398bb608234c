#include "markup/Markora.h"

#include <QProgressBar>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <array>
#include <string_view>

#include "markup/LongColor.h"
#include "markup/core/ColorizeScanner.h"

namespace vandrel {

namespace {

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

}  // namespace vandrel
