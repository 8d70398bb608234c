#include "platform/ListCache.h"

#include <gtest/gtest.h>

#include "platform/Gunzip.h"
#include "support/Files.h"
#include "support/GzipText.h"

namespace vandrel {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

TEST(ListFetchTest, AsksWithTheValidatorsItKeptAndUnpacksEveryMember) {
  const test::TempFolder folder("lists");
  const ListCache cache((folder / ".listcache").string());
  const std::string list = "http://d.example/radio/inter/zenders/holland.txt";
  constexpr std::size_t kCap = 1 << 20;

  EXPECT_EQ(ListFetch(&cache, list).RequestHeaders(), (Headers{{"Accept-Encoding", "gzip"}}));
  // Members one after another make one body.
  const std::string packed = test::GzipText("<naam>Een</naam>") + test::GzipText("<naam>Twee</naam>");
  EXPECT_EQ(ListFetch(&cache, list).Body(200, "gzip", "\"v1\"", "Mon, 07 Dec 2026 10:00:00 GMT", packed, kCap),
            "<naam>Een</naam><naam>Twee</naam>");
  const ListFetch again(&cache, list);
  EXPECT_EQ(again.RequestHeaders(), (Headers{{"Accept-Encoding", "gzip"},
                                             {"If-None-Match", "\"v1\""},
                                             {"If-Modified-Since", "Mon, 07 Dec 2026 10:00:00 GMT"}}));
  EXPECT_EQ(again.Body(304, "", "", "", "", kCap), "<naam>Een</naam><naam>Twee</naam>");

  // An unpacked size over the cap is refused, not cut.
  EXPECT_THROW(ListFetch(&cache, list).Body(200, "gzip", "", "", test::GzipText(std::string(5000, 'x')), 4000),
               GunzipError);
  // A validator that would break the request's header lines is not kept.
  const std::string other = "http://d.example/radio/inter/keuze-uk.txt";
  ListFetch(&cache, other).Body(200, "", "\"v2\"\r\nX-Injected: 1", "", "<naam>Land</naam>", kCap);
  EXPECT_EQ(ListFetch(&cache, other).RequestHeaders().size(), 1u);
}

}  // namespace
}  // namespace vandrel
