#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vandrel {

enum class MarkupClass { TagName, PropName, PropValue, Comment, Entity };

// Kind of progress object, told by its type name.
enum class ProgressKind { None, ProgressBar, PercentBar };
ProgressKind ProgressKindOf(std::string_view typeName);

// 1 / (total / position) * 100 rounded half to even; nothing when the result
// does not fit a byte (a total of 0, a negative position).
std::optional<std::uint8_t> GetPercent(std::int32_t position, std::int32_t total);

// Receives what a scan finds, in scan order; a later span overrides an
// earlier one.
class ColorizeSink {
 public:
  virtual ~ColorizeSink() = default;
  // selStart is 0-based; a length below 1 styles nothing.
  virtual void StyleSpan(MarkupClass markupClass, std::int32_t selStart, std::int32_t selLength) = 0;
  // Only when the percentage grows.
  virtual void Progress(std::uint8_t percent) = 0;
};

// The markup state machine over the 1-based positions startPos to endPos of
// text, both inclusive. Every run starts in plain text; positions beyond the
// text read as no character.
void ScanMarkup(std::u16string_view text, std::int32_t startPos, std::int32_t endPos, bool reportProgress,
                ColorizeSink& sink);

}  // namespace vandrel
