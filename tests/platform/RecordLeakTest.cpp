// Recording must not keep memory per packet, whatever libmpv version leaks it.
#include <gtest/gtest.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "platform/MpvPlayer.h"
#include "support/Icecast.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

TEST(RecordLeakTest, SixThousandRecordedPacketsLeaveNoHeapBehind) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);
  test::Icecast icecast;
  ASSERT_TRUE(icecast.FeedMount("/opus.ogg", test::Icecast::Feed::OggOpus));
  // Small buffers: what the heap gains is what the recording keeps.
  MpvPlayer player(std::map<std::string, std::string>{
      {"ao", "null"}, {"demuxer-max-back-bytes", "0"}, {"demuxer-max-bytes", "64KiB"}});
  QTemporaryDir folder;
  player.setURL(icecast.Address("opus.ogg"));
  ASSERT_TRUE(test::WaitUntil([&] { return player.state().activity == PlayState::Playing; }, 15s));
  ASSERT_TRUE(player.record(folder.filePath("song.opus").toStdString()));
  test::Pump(3s);
  const size_t before = mallinfo2().uordblks;
  test::Pump(15s);  // 400 packets a second; the leak was a hundred bytes each
  const size_t after = mallinfo2().uordblks;
  player.record("");
  EXPECT_LT(after, before + 400 * 1024) << "before " << before << ", after " << after;
}

}  // namespace
}  // namespace vandrel
