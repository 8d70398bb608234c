#include "directory/ToneStream.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cmath>
#include <future>
#include <numbers>
#include <random>

#include "DirectoryTestKit.h"
#include "directory/DirectoryServer.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

using directory::ToneStream;
using Clock = std::chrono::steady_clock;

std::uint32_t Le(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

TEST(ToneStreamTest, AnEndlessMonoPcmSineWithMetadataEvery16000Bytes) {
  ToneStream tone(true, std::nullopt);
  std::mt19937 random(3);
  std::string icy;
  while (icy.size() < 200000) icy += tone.next(1 + random() % 9000);  // stretches straddle block borders

  std::string stream;
  std::size_t blocks = 0;
  for (std::size_t at = 0; at < icy.size(); ++blocks) {
    stream.append(icy, at, ToneStream::kMetaInterval);
    if ((at += ToneStream::kMetaInterval) >= icy.size()) break;
    const std::string block = icy.substr(at + 1, static_cast<unsigned char>(icy[at]) * 16u);
    EXPECT_EQ(std::string(block.c_str()), "StreamTitle='Vandrel test tone - 440 Hz';");
    EXPECT_EQ(block.size() % 16, 0u);
    at += 1 + block.size();
  }
  ASSERT_GE(blocks, 10u);
  EXPECT_EQ(stream.substr(0, 4) + stream.substr(8, 8) + stream.substr(36, 4), "RIFFWAVEfmt data");
  // sizes, format, channels, rate, bytes per second, bits
  EXPECT_EQ(std::vector<std::uint32_t>({Le(stream, 4, 4), Le(stream, 40, 4), Le(stream, 20, 2), Le(stream, 22, 2),
                                        Le(stream, 24, 4), Le(stream, 28, 4), Le(stream, 34, 2)}),
            std::vector<std::uint32_t>({0xFFFFFFFFu, 0xFFFFFFFFu, 1, 1, 22050, 44100, 16}));
  for (std::size_t n = 0; 44 + 2 * n + 1 < stream.size(); n += 997) {
    const double expected = 0.3 * 32767.0 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(n) / 22050.0);
    EXPECT_NEAR(static_cast<std::int16_t>(Le(stream, 44 + 2 * n, 2)), expected, 1.0) << "sample " << n;
  }
}

TEST(ToneOverHttpTest, StreamsInRealTimeWithMetadataOnlyWhenAsked) {
  DirectoryServerProcess server;
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(20, 0);
  const auto start = Clock::now();
  auto reply = client.Get("/stream/tone?seconds=3");
  const double took = Seconds(start);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->get_header_value("Content-Type"), "audio/wav");
  EXPECT_FALSE(reply->has_header("icy-metaint"));
  ASSERT_EQ(reply->body.size(), ToneStream::kHeaderBytes + 3 * ToneStream::kBytesPerSecond);
  EXPECT_EQ(reply->body.substr(0, 12), ToneStream::Header().substr(0, 12));
  // One second is sent at once, the other two at the pace they play.
  EXPECT_GT(took, 1.5);
  EXPECT_LT(took, 15.0);
  EXPECT_EQ(StatusOf(client.Get("/stream/tone?seconds=soon")), 400);

  auto icy = client.Get("/stream/tone?seconds=1", {{"Icy-MetaData", "1"}});
  ASSERT_TRUE(icy);
  EXPECT_EQ(icy->get_header_value("icy-metaint"), "16000");
  EXPECT_EQ(icy->get_header_value("icy-name"), "Vandrel test tone");
  ASSERT_GT(icy->body.size(), 16100u);
  const std::string title = "StreamTitle='Vandrel test tone - 440 Hz';";
  EXPECT_EQ(icy->body.substr(16000, 1 + title.size()), static_cast<char>((title.size() + 15) / 16) + title);

  // An endless stream ends with its listener, and the server goes on.
  std::size_t received = 0;
  client.Get("/stream/tone", [&](const char*, std::size_t n) { return (received += n) < 2 * ToneStream::kBytesPerSecond; });
  EXPECT_GE(received, 2 * ToneStream::kBytesPerSecond);
  EXPECT_EQ(StatusOf(client.Get("/radio/inter/keuze-uk.txt")), 200);
}

TEST(ToneShutdownTest, StoppingTheServerEndsRunningStreamsPromptly) {
  directory::DirectoryServer server(VANDREL_SHIPPED_DIRECTORY_DATA, "127.0.0.1", 0, true);
  const int port = server.start();
  auto listener = std::async(std::launch::async, [port] {
    std::size_t received = 0;
    httplib::Client("127.0.0.1", port).Get("/stream/tone", [&](const char*, std::size_t n) { received += n; return true; });
    return received;
  });
  // Wait until the stream flows, then stop underneath it.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const auto start = Clock::now();
  server.stop();
  EXPECT_LT(Seconds(start), 3.0);
  ASSERT_EQ(listener.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_GT(listener.get(), ToneStream::kBytesPerSecond);
}

}  // namespace
}  // namespace vandrel::test
