#include "platform/TextDecoding.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(TextDecoding, KeepsUtf8SequencesReadsOtherBytesAsWindows1252AndConvertsUtf16) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> cases[] = {
      {"Radio Fran\xC3\xA7" "aise", "Radio Fran\xC3\xA7" "aise"},
      {"\xEF\xBB\xBF<naam>x</naam>", "<naam>x</naam>"},               // byte order mark dropped
      {"Fran\xE7" "aise", "Fran\xC3\xA7" "aise"},                      // Latin-1 ç
      {"caf\xC3", "caf\xC3\x83"},                                      // cut sequence is not UTF-8
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                // surrogate is not UTF-8
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                // overlong form is not UTF-8
      {"\xF0\x9F\x93\xBB radio", "\xF0\x9F\x93\xBB radio"},            // four-byte sequence
      {"Z\xC3\xBCrich \xE9t\xE9", "Z\xC3\xBCrich \xC3\xA9t\xC3\xA9"},     // one stray byte spoils no UTF-8
      {"\x80 \x93x\x94 \x81", "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xC2\x81"},  // Windows-1252
      {"\xFF\xFE<\0n\0>\0\xE9\0"s, "<n>\xC3\xA9"},                         // UTF-16LE
      {"\xFE\xFF\xD8\x3D\xDC\xFB\0a"s, "\xF0\x9F\x93\xBB" "a"},             // UTF-16BE, surrogate pair
      {"\xFF\xFE\x00\xD8x\0y"s, "\xEF\xBF\xBDx\xEF\xBF\xBD"},             // lone surrogate, odd byte
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(DecodeBodyText(in), out) << in;
    EXPECT_TRUE(IsValidUtf8(DecodeBodyText(in))) << in;
  }
}

}  // namespace
}  // namespace vandrel
