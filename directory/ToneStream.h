#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vandrel::directory {

// The bytes of an endless WAV test stream: a header claiming a huge size,
// then a 440 Hz sine as 16-bit mono PCM at 22050 Hz. With ICY metadata on,
// a metadata block follows every kMetaInterval stream bytes.
class ToneStream {
 public:
  static constexpr int kSampleRate = 22050;
  static constexpr int kFrequency = 440;
  static constexpr std::size_t kBytesPerSecond = kSampleRate * 2;
  static constexpr std::size_t kHeaderBytes = 44;
  static constexpr std::size_t kMetaInterval = 16000;
  static constexpr std::string_view kTitle = "Vandrel test tone - 440 Hz";
  static constexpr std::string_view kName = "Vandrel test tone";

  // seconds, when given, ends the audio after that many seconds.
  ToneStream(bool icyMetadata, std::optional<std::uint64_t> seconds);

  // The next stretch of the stream: the header on the first call, then up to
  // `samples` samples, with metadata blocks where they fall due.
  std::string next(std::size_t samples);

  bool finished() const { return limit_ && samplesSent_ >= *limit_; }
  std::uint64_t samplesSent() const { return samplesSent_; }

  // The 44-byte RIFF/WAVE header.
  static std::string Header();
  // Length byte (in 16-byte units) followed by the NUL-padded text.
  static std::string MetadataBlock(std::string_view streamTitle);

 private:
  void append(std::string& out, std::string_view bytes);

  bool icy_;
  std::optional<std::uint64_t> limit_;
  bool headerSent_ = false;
  std::uint64_t samplesSent_ = 0;
  std::size_t untilMetadata_ = kMetaInterval;
};

}  // namespace vandrel::directory
