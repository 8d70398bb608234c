#include "directory/ToneStream.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <future>
#include <numbers>
#include <random>

#include "directory/DirectoryServer.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

using directory::ToneStream;
using Clock = std::chrono::steady_clock;

std::uint32_t Le32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

std::uint16_t Le16(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8));
}

// Splits an ICY stream into its stream bytes and its metadata texts.
std::string StripMetadata(const std::string& icy, std::vector<std::string>& blocks) {
  std::string audio;
  std::size_t at = 0;
  while (at < icy.size()) {
    const std::size_t take = std::min(ToneStream::kMetaInterval, icy.size() - at);
    audio.append(icy, at, take);
    at += take;
    if (at >= icy.size()) break;
    const std::size_t length = static_cast<unsigned char>(icy[at]) * 16u;
    blocks.push_back(icy.substr(at + 1, length));
    at += 1 + length;
  }
  return audio;
}

TEST(ToneStreamTest, HeaderDescribesEndlessMonoPcm) {
  const std::string h = ToneStream::Header();
  ASSERT_EQ(h.size(), ToneStream::kHeaderBytes);
  EXPECT_EQ(h.substr(0, 4) + h.substr(8, 8) + h.substr(36, 4), "RIFFWAVEfmt data");
  EXPECT_EQ(Le32(h, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Le32(h, 40), 0xFFFFFFFFu);
  // format, channels, rate, bytes per second, bits
  EXPECT_EQ(std::vector<std::uint32_t>({Le16(h, 20), Le16(h, 22), Le32(h, 24), Le32(h, 28), Le16(h, 34)}),
            std::vector<std::uint32_t>({1, 1, 22050, 44100, 16}));
}

TEST(ToneStreamTest, MetadataFallsEvery16000BytesAndLeavesTheSineWhole) {
  ToneStream tone(true, std::nullopt);
  std::mt19937 random(3);
  std::string icy;
  while (icy.size() < 200000) icy += tone.next(1 + random() % 9000);  // stretches straddle block borders

  std::vector<std::string> blocks;
  const std::string stream = StripMetadata(icy, blocks);
  ASSERT_GE(blocks.size(), 10u);
  for (const std::string& block : blocks) {
    EXPECT_EQ(std::string(block.c_str()), "StreamTitle='Vandrel test tone - 440 Hz';");
    EXPECT_EQ(block.size() % 16, 0u);
  }
  ASSERT_EQ(stream.substr(0, 4), "RIFF");
  for (std::size_t n = 0; 44 + 2 * n + 1 < stream.size(); n += 997) {
    const double expected = 0.3 * 32767.0 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(n) / 22050.0);
    EXPECT_NEAR(static_cast<std::int16_t>(Le16(stream, 44 + 2 * n)), expected, 1.0) << "sample " << n;
  }
}

class ToneOverHttpTest : public ::testing::Test {
 protected:
  DirectoryServerProcess server_;
};

TEST_F(ToneOverHttpTest, StreamsInRealTimeAndEndsWhenAsked) {
  httplib::Client client("127.0.0.1", server_.port());
  client.set_read_timeout(20, 0);
  const auto start = Clock::now();
  auto reply = client.Get("/stream/tone?seconds=3");
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->get_header_value("Content-Type"), "audio/wav");
  EXPECT_FALSE(reply->has_header("icy-metaint"));
  ASSERT_EQ(reply->body.size(), ToneStream::kHeaderBytes + 3 * ToneStream::kBytesPerSecond);
  EXPECT_EQ(reply->body.substr(0, 4), "RIFF");
  EXPECT_EQ(reply->body.substr(8, 4), "WAVE");
  // One second is sent at once, the other two at the pace they play.
  EXPECT_GT(took, 1.5);
  EXPECT_LT(took, 15.0);

  auto bad = client.Get("/stream/tone?seconds=soon");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->status, 400);
}

TEST_F(ToneOverHttpTest, CarriesIcyMetadataWhenAsked) {
  httplib::Client client("127.0.0.1", server_.port());
  auto reply = client.Get("/stream/tone?seconds=1", {{"Icy-MetaData", "1"}});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->get_header_value("icy-metaint"), "16000");
  EXPECT_EQ(reply->get_header_value("icy-name"), "Vandrel test tone");
  const std::string& body = reply->body;
  ASSERT_GT(body.size(), 16100u);
  EXPECT_EQ(body.substr(0, 4), "RIFF");
  const std::string title = "StreamTitle='Vandrel test tone - 440 Hz';";
  EXPECT_EQ(static_cast<unsigned char>(body[16000]), (title.size() + 15) / 16);
  EXPECT_EQ(body.substr(16001, title.size()), title);
}

TEST_F(ToneOverHttpTest, AnEndlessStreamEndsWithItsListener) {
  httplib::Client client("127.0.0.1", server_.port());
  std::size_t received = 0;
  auto reply = client.Get("/stream/tone", [&](const char*, std::size_t n) {
    received += n;
    return received < 2 * ToneStream::kBytesPerSecond;
  });
  EXPECT_GE(received, 2 * ToneStream::kBytesPerSecond);
  auto after = client.Get("/radio/inter/keuze-uk.txt");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->status, 200);
}

TEST(ToneShutdownTest, StoppingTheServerEndsRunningStreamsPromptly) {
  directory::DirectoryServer server(VANDREL_SHIPPED_DIRECTORY_DATA, "127.0.0.1", 0, true);
  const int port = server.start();
  auto listener = std::async(std::launch::async, [port] {
    httplib::Client client("127.0.0.1", port);
    std::size_t received = 0;
    client.Get("/stream/tone", [&](const char*, std::size_t n) {
      received += n;
      return true;
    });
    return received;
  });
  // Wait until the stream flows, then stop underneath it.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const auto start = Clock::now();
  server.stop();
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 3.0);
  ASSERT_EQ(listener.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_GT(listener.get(), ToneStream::kBytesPerSecond);
}

}  // namespace
}  // namespace vandrel::test
