#include "markup/EntityTable.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(EntityTableTest, ReplacesOnlyWhatTheMaskSelects) {
  EXPECT_EQ(EntityReplacement(228, 62), "&auml;");
  EXPECT_EQ(EntityReplacement(196, 4), "&Auml;");
  EXPECT_EQ(EntityReplacement(223, 32), "&szlig;");
  EXPECT_EQ(EntityReplacement(167, 2), "&sect;");
  EXPECT_EQ(EntityReplacement(252, 16), "&uuml;");
  EXPECT_EQ(EntityReplacement(214, 8), "&Ouml;");
  EXPECT_EQ(EntityReplacement(34, 62), std::nullopt);
  EXPECT_EQ(EntityReplacement(34, 1), "&quot;");
  EXPECT_EQ(EntityReplacement(228, 1), std::nullopt);
  EXPECT_EQ(EntityReplacement(228, 0), std::nullopt);
  EXPECT_EQ(EntityReplacement('a', 63), std::nullopt);
  // Only the low six bits of a loaded mask mean anything.
  EXPECT_EQ(EntityReplacement(246, 64 + 8), "&ouml;");
  EXPECT_EQ(EntityReplacement(246, 64), std::nullopt);
}

}  // namespace
}  // namespace vandrel
