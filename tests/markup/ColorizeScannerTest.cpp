#include "markup/core/ColorizeScanner.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace vandrel {
namespace {

struct Recorder : ColorizeSink {
  std::vector<std::int32_t> spans;
  std::vector<int> percents;
  void StyleSpan(MarkupClass, std::int32_t start, std::int32_t) override { spans.push_back(start); }
  void Progress(std::uint8_t percent) override { percents.push_back(percent); }
};

TEST(GetPercentTest, RoundsHalfToEvenAndRefusesWhatNoByteHolds) {
  EXPECT_EQ(GetPercent(1, 200), 0);  // 0.5
  EXPECT_EQ(GetPercent(3, 200), 2);  // 1.5
  EXPECT_EQ(GetPercent(600, 200), std::nullopt);
  EXPECT_EQ(GetPercent(5, 0), std::nullopt);
  EXPECT_EQ(GetPercent(-5, 200), std::nullopt);
}

// The percentage relates the position to the end, not to the range's length.
TEST(ColorizeScannerTest, ReportsEachGrowthOfThePercentageOfTheEndReached) {
  const std::u16string text(200, u'x');
  for (const auto& [start, first] : {std::pair(1, 1), std::pair(100, 50)}) {
    Recorder recorder;
    ScanMarkup(text, start, 200, true, recorder);
    std::vector<int> expected(static_cast<std::size_t>(101 - first));
    std::iota(expected.begin(), expected.end(), first);
    EXPECT_EQ(recorder.percents, expected) << start;
  }
  Recorder silent;
  ScanMarkup(text, 1, 200, false, silent);
  EXPECT_TRUE(silent.percents.empty());
}

TEST(ColorizeScannerTest, StartsInPlainTextWhereverTheRangeBegins) {
  Recorder r;
  // From inside the tag: "b c>" reads as text, so nothing is styled.
  ScanMarkup(u"<a b c>", 4, 7, false, r);
  EXPECT_TRUE(r.spans.empty());
}

}  // namespace
}  // namespace vandrel
