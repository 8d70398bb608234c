#include "directory/ToneStream.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace vandrel::directory {

namespace {

// 440/22050 reduces to 44/2205: the wave repeats exactly every 2205 samples,
// so one table gives a seamless endless tone.
constexpr std::size_t kPeriod = 2205;

const std::array<char, kPeriod * 2>& ToneTable() {
  static const std::array<char, kPeriod * 2> table = [] {
    std::array<char, kPeriod * 2> bytes{};
    for (std::size_t n = 0; n < kPeriod; ++n) {
      const double phase = 2.0 * std::numbers::pi * ToneStream::kFrequency * static_cast<double>(n) /
                           ToneStream::kSampleRate;
      const auto sample = static_cast<std::int16_t>(std::lround(0.3 * 32767.0 * std::sin(phase)));
      const auto u = static_cast<std::uint16_t>(sample);
      bytes[2 * n] = static_cast<char>(u & 0xff);
      bytes[2 * n + 1] = static_cast<char>(u >> 8);
    }
    return bytes;
  }();
  return table;
}

void PutLe32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff);
}

void PutLe16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>(v >> 8);
}

}  // namespace

ToneStream::ToneStream(bool icyMetadata, std::optional<std::uint64_t> seconds)
    : icy_(icyMetadata), limit_(seconds ? std::optional<std::uint64_t>(*seconds * kSampleRate) : std::nullopt) {}

std::string ToneStream::Header() {
  std::string h;
  h += "RIFF";
  PutLe32(h, 0xFFFFFFFFu);  // size unknown: a live stream has no end
  h += "WAVEfmt ";
  PutLe32(h, 16);
  PutLe16(h, 1);  // PCM
  PutLe16(h, 1);  // mono
  PutLe32(h, kSampleRate);
  PutLe32(h, kBytesPerSecond);
  PutLe16(h, 2);   // block align
  PutLe16(h, 16);  // bits per sample
  h += "data";
  PutLe32(h, 0xFFFFFFFFu);
  return h;
}

std::string ToneStream::MetadataBlock(std::string_view streamTitle) {
  std::string text = "StreamTitle='" + std::string(streamTitle) + "';";
  const std::size_t units = std::min<std::size_t>((text.size() + 15) / 16, 255);
  text.resize(units * 16, '\0');
  return static_cast<char>(units) + text;
}

void ToneStream::append(std::string& out, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t take = icy_ ? std::min(bytes.size(), untilMetadata_) : bytes.size();
    out.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (!icy_) continue;
    untilMetadata_ -= take;
    if (untilMetadata_ == 0) {
      out += MetadataBlock(kTitle);
      untilMetadata_ = kMetaInterval;
    }
  }
}

std::string ToneStream::next(std::size_t samples) {
  std::string out;
  if (!headerSent_) {
    headerSent_ = true;
    append(out, Header());
  }
  if (limit_) {
    samples = static_cast<std::size_t>(std::min<std::uint64_t>(samples, *limit_ - std::min(*limit_, samplesSent_)));
  }
  const auto& table = ToneTable();
  std::string pcm;
  pcm.reserve(samples * 2);
  while (samples > 0) {
    const std::size_t at = static_cast<std::size_t>(samplesSent_ % kPeriod);
    const std::size_t take = std::min(samples, kPeriod - at);
    pcm.append(table.data() + 2 * at, 2 * take);
    samplesSent_ += take;
    samples -= take;
  }
  append(out, pcm);
  return out;
}

}  // namespace vandrel::directory
