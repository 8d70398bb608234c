#include "platform/MpvPlayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "support/CannedServer.h"
#include "support/DirectoryServerProcess.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

class MpvPlayerTest : public ::testing::Test {
 protected:
  MpvPlayerTest() : player_(std::map<std::string, std::string>{{"ao", "null"}}) {
    player_.onStatusChange = [this] { statuses_.push_back(player_.status()); };
    player_.onError = [this] { ++errors_; };
  }

  static void SetUpTestSuite() { server_ = new test::DirectoryServerProcess(); }
  static void TearDownTestSuite() { delete server_; }

  bool WaitForStatus(const std::string& prefix) {
    return test::WaitUntil([&] { return player_.status().rfind(prefix, 0) == 0; }, 20s);
  }

  static inline test::DirectoryServerProcess* server_ = nullptr;
  MpvPlayer player_;
  std::vector<std::string> statuses_;
  int errors_ = 0;
};

bool Saw(const std::vector<std::string>& statuses, const std::string& prefix) {
  return std::any_of(statuses.begin(), statuses.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
}

TEST_F(MpvPlayerTest, PlaysTheLocalToneInPlaceOfASilentStationAndStopsOnCloseOrAnEmptyAddress) {
  test::CannedServer silent("");  // accepts, never answers
  player_.setURL(silent.address() + "stream");
  test::Pump(300ms);
  const std::string tone = server_->baseAddress() + "stream/tone";
  player_.setURL(tone);
  ASSERT_TRUE(WaitForStatus("Playing")) << player_.status();
  EXPECT_EQ(statuses_.front(), "Connecting");
  EXPECT_TRUE(test::WaitUntil([&] { return player_.status() == "Playing: Vandrel test tone - 440 Hz"; }, 10s))
      << player_.status();
  player_.close();
  EXPECT_EQ(player_.status(), "Stopped");

  // Nothing left over from the stop keeps a new station from playing.
  player_.setURL(tone);
  ASSERT_TRUE(WaitForStatus("Playing"));
  player_.setURL("");
  EXPECT_EQ(player_.status(), "Stopped");
  test::Pump(1s);
  EXPECT_EQ(player_.status(), "Stopped");  // the closed stream's end changes nothing
  EXPECT_EQ(errors_, 0);
}

TEST_F(MpvPlayerTest, ADeadAddressGivesOneErrorNotificationAndNoRetry) {
  player_.setReconnectPauses({300ms, 300ms, 300ms, 300ms, 300ms});
  player_.setURL("http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/stream");
  ASSERT_TRUE(test::WaitUntil([&] { return errors_ > 0; }, 20s));
  test::Pump(1500ms);
  EXPECT_EQ(errors_, 1);
  EXPECT_EQ(player_.status(), "Error");
  EXPECT_FALSE(Saw(statuses_, "Reconnecting"));  // a station that never played is not retried
}

TEST_F(MpvPlayerTest, ADroppedStationIsOpenedAgainWithAllItsTriesEachTime) {
  player_.setReconnectPauses({300ms, 300ms, 300ms, 300ms, 300ms});
  const std::string shortTone = server_->baseAddress() + "stream/tone?seconds=2";
  player_.setURL(shortTone);
  for (int drop = 0; drop < 2; ++drop) {
    ASSERT_TRUE(WaitForStatus("Playing"));
    ASSERT_TRUE(WaitForStatus("Reconnecting"));
    EXPECT_EQ(player_.status(), "Reconnecting in 1 s (1/5)") << drop;
  }
  EXPECT_EQ(errors_, 0);
  EXPECT_EQ(player_.URL(), shortTone);
  player_.close();
  test::Pump(1s);
  EXPECT_EQ(player_.status(), "Stopped");
}

TEST_F(MpvPlayerTest, AfterTheTriesASilentServerGivesOneError) {
  player_.setReconnectPauses({100ms, 100ms, 100ms, 100ms, 100ms});
  auto own = std::make_unique<test::DirectoryServerProcess>();
  player_.setURL(own->baseAddress() + "stream/tone");
  ASSERT_TRUE(WaitForStatus("Playing"));
  own.reset();  // the server goes away mid-stream
  ASSERT_TRUE(test::WaitUntil([&] { return errors_ > 0; }, 30s)) << player_.status();
  test::Pump(1s);
  EXPECT_EQ(errors_, 1);
  EXPECT_EQ(player_.status(), "Error");
  for (int i = 1; i <= 5; ++i) EXPECT_TRUE(Saw(statuses_, "Reconnecting in 1 s (" + std::to_string(i) + "/5)")) << i;
}

}  // namespace
}  // namespace vandrel
