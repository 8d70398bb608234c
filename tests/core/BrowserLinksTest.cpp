#include "core/BrowserLinks.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(BrowserLinksTest, HomepagesGetTheirSchemeOnceAndOnlyWebAddressesPass) {
  struct Case {
    const char* radioUrl;
    const char* address;
    bool passes;
  };
  const Case cases[] = {
      {"een.example/", "http://een.example/", true},
      {"radio.example:8000/live", "http://radio.example:8000/live", true},
      {"localhost:8000", "http://localhost:8000", true},
      {"", "http://", true},  // the browser says what is wrong with it
      {"HTTPS://een.example/", "HTTPS://een.example/", true},
      {"file:///etc/passwd", "file:///etc/passwd", false},  // one of the other schemes; the window tries another
      {"een.example/ --new-window", "http://een.example/ --new-window", false},
      {"een.example/\nx", "http://een.example/\nx", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.radioUrl);
    EXPECT_EQ(HomepageAddress(c.radioUrl), c.address);
    EXPECT_EQ(IsWebAddress(HomepageAddress(c.radioUrl)), c.passes);
  }
}

}  // namespace
}  // namespace vandrel
