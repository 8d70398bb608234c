#pragma once

#include <zlib.h>

#include <string>

namespace vandrel::test {

// text as one gzip member, as a server sends it.
inline std::string GzipText(std::string text) {
  std::string packed(compressBound(static_cast<uLong>(text.size())) + 64, '\0');
  z_stream stream{};
  deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  stream.next_in = reinterpret_cast<Bytef*>(text.data());
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(packed.data());
  stream.avail_out = static_cast<uInt>(packed.size());
  deflate(&stream, Z_FINISH);
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  return packed;
}

}  // namespace vandrel::test
