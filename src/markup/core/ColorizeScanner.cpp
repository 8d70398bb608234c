#include "markup/core/ColorizeScanner.h"

#include <cmath>

namespace vandrel {

namespace {

enum class ScanState : std::uint8_t {
  scanText = 1,
  scanTag = 2,
  scanPropName = 4,
  scanPropVal = 8,
  scanComment = 16,
  scanScript = 32,
  scanStyle = 64,
};

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

class Scan {
 public:
  Scan(std::u16string_view text, ColorizeSink& sink) : text_(text), sink_(sink) {}

  void Run(std::int32_t startPos, std::int32_t endPos, bool reportProgress) {
    std::uint8_t lastPercent = 0;
    for (std::int32_t i = startPos; i <= endPos; ++i) {
      Step(i);
      if (At(i) == u'&') {
        for (std::int32_t j = i + 1; j <= i + 8; ++j) {
          if (At(j) == u';') {
            Style(MarkupClass::Entity, i, j);
            break;
          }
        }
      }
      if (reportProgress) {
        const auto p = GetPercent(i, endPos);
        if (p && *p > lastPercent) {
          lastPercent = *p;
          sink_.Progress(*p);
        }
      }
    }
  }

 private:
  // One state step for position i; may step i back so that the same
  // character is read again in the new state.
  void Step(std::int32_t& i) {
    const char16_t c = At(i);
    switch (state_) {
      case ScanState::scanText:
        if (Matches(i, u"<!--", false)) {
          state_ = ScanState::scanComment;
          tagStart_ = i;
        } else if (c == u'<') {
          state_ = ScanState::scanTag;
          tagStart_ = i;
          decl_ = At(i + 1) == u'!';
          styleTag_ = Matches(i + 1, u"STYLE", true);
          scriptTag_ = Matches(i + 1, u"SCRIPT", true);
        }
        break;
      case ScanState::scanTag:
        if (c == u'>') {
          EndTag();
        } else if (c == u' ' && !decl_) {
          state_ = ScanState::scanPropName;
          propStart_ = i;
          if (tagStart_ != -1) Style(MarkupClass::TagName, tagStart_ + 1, i - 1);
        }
        break;
      case ScanState::scanComment:
        if (Matches(i, u"-->", false)) {
          state_ = ScanState::scanText;
          Style(MarkupClass::Comment, tagStart_ + 4, i - 1);
        }
        break;
      case ScanState::scanPropName:
        if (c == u'=') {
          state_ = ScanState::scanPropVal;
          Style(MarkupClass::PropName, propStart_ + 1, i - 1);
          valStart_ = i;
          quoted_ = At(i + 1) == u'"';
        } else if (c == u' ') {
          state_ = ScanState::scanTag;
          Style(MarkupClass::PropValue, propStart_ + 1, i - 1);
          --i;
          tagStart_ = -1;
        } else if (c == u'>') {
          Style(MarkupClass::PropValue, propStart_ + 1, i - 1);
          tagStart_ = -1;
          EndTag();
        }
        break;
      case ScanState::scanPropVal: {
        const std::int32_t q = quoted_ ? 1 : 0;
        const char16_t d = At(i + q);
        if (d == u' ') {
          if ((c == u'"') == quoted_) {
            state_ = ScanState::scanTag;
            sink_.StyleSpan(MarkupClass::PropValue, valStart_ + q, i - valStart_ - 1 - q);
            tagStart_ = -1;
            --i;
          }
        } else if (d == u'>') {
          sink_.StyleSpan(MarkupClass::PropValue, valStart_ + q, i - valStart_ - 1 - q);
          EndTag();
        }
        break;
      }
      case ScanState::scanScript:
      case ScanState::scanStyle:
        if ((state_ == ScanState::scanScript && Matches(i, u"/SCRIPT", true)) ||
            (state_ == ScanState::scanStyle && Matches(i, u"/STYLE", true))) {
          state_ = ScanState::scanTag;
          tagStart_ = i - 1;
          scriptTag_ = false;
          styleTag_ = false;
        }
        break;
    }
  }

  // A tag closed by ">": plain text follows, or the block a STYLE or SCRIPT
  // tag opens, whose content is no markup.
  void EndTag() {
    state_ = ScanState::scanText;
    if (styleTag_) {
      state_ = ScanState::scanStyle;
    } else if (scriptTag_) {
      state_ = ScanState::scanScript;
    }
  }

  void Style(MarkupClass markupClass, std::int32_t from, std::int32_t to) {
    sink_.StyleSpan(markupClass, from - 1, to - from + 1);
  }

  char16_t At(std::int32_t pos) const {
    return (pos >= 1 && static_cast<std::size_t>(pos) <= text_.size()) ? text_[static_cast<std::size_t>(pos) - 1]
                                                                       : u'\0';
  }

  bool Matches(std::int32_t pos, std::u16string_view what, bool ignoreCase) const {
    for (std::size_t k = 0; k < what.size(); ++k) {
      const std::int32_t p = pos + static_cast<std::int32_t>(k);
      if (p < 1 || static_cast<std::size_t>(p) > text_.size()) return false;
      const char16_t c = ignoreCase ? Upper(At(p)) : At(p);
      if (c != what[k]) return false;
    }
    return true;
  }

  std::u16string_view text_;
  ColorizeSink& sink_;
  ScanState state_ = ScanState::scanText;
  std::int32_t tagStart_ = 0;
  std::int32_t propStart_ = 0;
  std::int32_t valStart_ = 0;
  bool quoted_ = false;
  bool decl_ = false;
  bool styleTag_ = false;
  bool scriptTag_ = false;
};

}  // namespace

ProgressKind ProgressKindOf(std::string_view typeName) {
  if (typeName == "ProgressBar") return ProgressKind::ProgressBar;
  if (typeName == "htPrgBar") return ProgressKind::PercentBar;
  return ProgressKind::None;
}

std::optional<std::uint8_t> GetPercent(std::int32_t position, std::int32_t total) {
  const double value = 1.0 / (static_cast<double>(total) / static_cast<double>(position)) * 100.0;
  // nearbyint rounds half to even in the default rounding mode.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= 0.0 && rounded <= 255.0)) return std::nullopt;
  return static_cast<std::uint8_t>(rounded);
}

void ScanMarkup(std::u16string_view text, std::int32_t startPos, std::int32_t endPos, bool reportProgress,
                ColorizeSink& sink) {
  Scan(text, sink).Run(startPos, endPos, reportProgress);
}

}  // namespace vandrel
