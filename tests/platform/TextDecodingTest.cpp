#include "platform/TextDecoding.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(TextDecoding, KeepsUtf8AndReadsOtherBytesAsLatin1) {
  const std::pair<std::string, std::string> cases[] = {
      {"Radio Fran\xC3\xA7" "aise", "Radio Fran\xC3\xA7" "aise"},
      {"\xEF\xBB\xBF<naam>x</naam>", "<naam>x</naam>"},               // byte order mark dropped
      {"Fran\xE7" "aise", "Fran\xC3\xA7" "aise"},                      // Latin-1 ç
      {"caf\xC3", "caf\xC3\x83"},                                      // cut sequence is not UTF-8
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},                    // surrogate is not UTF-8
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                // overlong form is not UTF-8
      {"\xF0\x9F\x93\xBB radio", "\xF0\x9F\x93\xBB radio"},            // four-byte sequence
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(DecodeBodyText(in), out) << in;
    EXPECT_TRUE(IsValidUtf8(DecodeBodyText(in))) << in;
  }
}

}  // namespace
}  // namespace vandrel
