#include "core/TaggedList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "core/TaggedListReference.h"

namespace vandrel {
namespace {

using Lists = std::vector<std::vector<std::string>>;
const std::vector<std::string> kNaamUrl = {"naam", "url"};

// The rule itself, pinned for the reference too; the random comparison below covers the rest.
TEST(TaggedListTest, EdgeCasesMatchExpectedValuesAndReference) {
  const std::tuple<const char*, std::string, std::vector<std::string>, Lists> cases[] = {
      {"mixed case", "<naam>A</NAAM><NAAM>b</naam><NaAm>C c</nAaM>", kNaamUrl, {{"A", "b", "C c"}, {}}},
      {"bytes and blanks kept", "<naam>  Z\xC3\xBCrich\r\n \xFF\n</naam>", kNaamUrl,
       {{"  Z\xC3\xBCrich\r\n \xFF\n"}, {}}},
      {"pair inside value", "<naam>a<url>u</url>b</naam>", kNaamUrl, {{"a<url>u</url>b"}, {"u"}}},
      {"opening inside value", "<naam>a<naam>b</naam>", kNaamUrl, {{"a<naam>b", "b"}, {}}},
      {"unclosed tag falls to next", "<x>y>val</x>", {"x>y", "x"}, {{}, {"y>val"}}},
      {"first tag wins at a position", "<x>y>val</x>y>", {"x>y", "x"}, {{"val"}, {}}},
      {"closing overlaps opening", "<></></>", {"></"}, {{""}}},  // random texts never hit it
  };
  for (const auto& [what, text, tags, expected] : cases) {
    EXPECT_EQ(ParseTaggedList(text, tags), expected) << what;
    EXPECT_EQ(reference::ParseTaggedListNaive(text, tags), expected) << what;
  }
}

std::string RandomText(std::mt19937& rng, const std::vector<std::string>& fragments, int maxParts) {
  std::string text;
  const int parts = std::uniform_int_distribution<int>(0, maxParts)(rng);
  std::uniform_int_distribution<std::size_t> pick(0, fragments.size() - 1);
  for (int p = 0; p < parts; ++p) text += fragments[pick(rng)];
  return text;
}

// On odd rounds the tags are random too, brackets and all, so openings and closings overlap.
TEST(TaggedListTest, MatchesReferenceOnRandomTexts) {
  const std::vector<std::string> pieces = {"<naam>", "</NAAM>", "<NaAm>", "</naam>", "<url>", "</url>",
                                           "<URL>", "</Url>", "<", ">", "/", "x", "\n", "<homepage>",
                                           "</homepage>", "naam", "<na", "am>"};
  const std::vector<std::string> brackets = {"<", ">", "/", "a", "A"};
  const std::vector<std::vector<std::string>> tables = {
      {"naam", "url", "homepage"}, {"URL", "NaAm"}, {"naam"}, {"naam", "naam"}};
  std::mt19937 rng(20240611);
  for (int iteration = 0; iteration < 10000; ++iteration) {
    const bool odd = iteration % 2 == 1;
    std::vector<std::string> tags = tables[iteration / 2 % tables.size()];
    if (odd) tags = {RandomText(rng, brackets, 3), RandomText(rng, brackets, 3)};
    const std::string text = odd ? RandomText(rng, brackets, 30) : RandomText(rng, pieces, 40);
    const Lists expected = reference::ParseTaggedListNaive(text, tags);
    ASSERT_EQ(ParseTaggedList(text, tags), expected) << text << " tags " << tags[0];

    // Under a bound each list is a prefix of the reference's, the total
    // stays within it, and only a total over it reports incomplete.
    const std::size_t bound = static_cast<std::size_t>(iteration % 40);
    const TaggedListValues cut = ParseTaggedListUpTo(text, tags, bound);
    std::size_t kept = 0, all = 0;
    for (std::size_t t = 0; t < tags.size(); ++t) {
      ASSERT_LE(cut.lists[t].size(), expected[t].size()) << text;
      ASSERT_TRUE(std::equal(cut.lists[t].begin(), cut.lists[t].end(), expected[t].begin())) << text;
      for (const auto& v : cut.lists[t]) kept += v.size();
      for (const auto& v : expected[t]) all += v.size();
    }
    ASSERT_LE(kept, bound) << text;
    ASSERT_EQ(cut.complete, all <= bound) << text;
    if (cut.complete) {
      ASSERT_EQ(cut.lists, expected) << text;
    }
  }
}

}  // namespace
}  // namespace vandrel
