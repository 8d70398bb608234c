#include "core/ReconnectPolicy.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

using std::chrono::seconds;

TEST(ReconnectPolicyTest, FiveTriesWithDoublingPausesThenNoneUntilReset) {
  ReconnectPolicy policy;
  std::vector<std::chrono::milliseconds> pauses;
  while (const auto pause = policy.NextPause()) pauses.push_back(*pause);
  EXPECT_EQ(pauses, (std::vector<std::chrono::milliseconds>{seconds(1), seconds(2), seconds(4), seconds(8), seconds(16)}));
  EXPECT_EQ(policy.Tries(), 5);
  EXPECT_FALSE(policy.NextPause());
  policy.Reset();
  EXPECT_EQ(policy.NextPause(), seconds(1));
}

}  // namespace
}  // namespace vandrel
