#include "dialogs/SearchAddress.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

// The dialog test sends blanks, "&", "+", "#" and "%" to the server; these are the rest.
TEST(SearchAddressTest, OnlyCharactersThatWouldChangeTheRequestAreEncoded) {
  const std::string search = "http://127.0.0.1:8470/radio/inter/zenders/radio-lijst-zoek.php?zoeken=";
  EXPECT_EQ(SearchAddress("http://127.0.0.1:8470/", "Radio-1_FM.nl~"), search + "Radio-1_FM.nl~");
  EXPECT_EQ(SearchAddress("http://127.0.0.1:8470/", ""), search);
  EXPECT_EQ(PercentEncoded("a=b?c/d;e"), "a%3Db%3Fc%2Fd%3Be");
  EXPECT_EQ(PercentEncoded("%20"), "%2520");  // typed as is, not decoded twice
  EXPECT_EQ(PercentEncoded("R\xC3\xA1" "dio \xE2\x98\x85"), "R%C3%A1dio%20%E2%98%85");
  EXPECT_EQ(PercentEncoded(std::string("a\0\n\x7f", 4)), "a%00%0A%7F");
}

}  // namespace
}  // namespace vandrel
