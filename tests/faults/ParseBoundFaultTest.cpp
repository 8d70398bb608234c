#include <gtest/gtest.h>

#include "directory/DirectoryTestKit.h"
#include "platform/HttpClient.h"
#include "platform/ListBox.h"
#include "platform/TextHolder.h"
#include "player/StationListLoader.h"
#include "player/TaggedList.h"
#include "player/TaggedListDownload.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel {
namespace {

// Every opening runs to the one closing tag: values grow with the square of
// the text, about 5 GB from these 256 KB.
std::string Hostile(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += "<naam>";
  return text + "</naam><url>http://after/</url>";
}

struct CannedHttp : HttpClient {
  std::string OpenURL(const std::string&) override { return Hostile(256 * 1024); }
};

TEST(ParseBoundFaultTest, PlayerLoadersFailPastTheBoundKeepingWhatCameBefore) {
  CannedHttp http;
  PlainTextHolder holder;
  StringListBox names, urls, homepages;
  EXPECT_FALSE(LaadLijst_Radio(http, holder, "http://x/", "holland.txt", {names, urls, homepages}));
  EXPECT_GT(names.ListCount(), 0);
  std::size_t bytes = 0;
  for (const auto& item : names.items()) bytes += item.size();
  EXPECT_LE(bytes, kMaxTaggedListValueBytes);
  EXPECT_EQ(urls.ListCount(), 0);  // the parse stopped before it

  // The chooser and the search go through the same call and see it fail.
  StringListBox countries;
  EXPECT_THROW(DownloadTaggedList(http, holder, "http://x/", {{"naam", &countries}}), TaggedListTooLarge);
  EXPECT_EQ(countries.items(), names.items());
}

TEST(ParseBoundFaultTest, ServerSkipsAndLogsAHostileListAtStartUp) {
  test::TempFolder data;
  data.write("radio/inter/zenders/hostile.txt", Hostile(256 * 1024));
  data.write("radio/inter/zenders/good.txt", "<naam>Good Radio</naam><url>http://good/</url>\r\n");
  test::DirectoryServerProcess server(data.path().string(), {"--quiet"});  // waits at most ~10 s
  const auto hits = test::Fetch(server.port(), "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=good");
  EXPECT_EQ(ParseTaggedList(hits.body, {"naam", "url"}),
            (std::vector<std::vector<std::string>>{{"Good Radio"}, {"http://good/"}}));
  EXPECT_NE(server.log().find("skipped"), std::string::npos) << server.log();
  EXPECT_NE(server.log().find("hostile.txt"), std::string::npos);
}

}  // namespace
}  // namespace vandrel
