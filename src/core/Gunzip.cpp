#include "core/Gunzip.h"

#include <zlib.h>

namespace vandrel {

std::string Gunzip(std::string_view packed, std::size_t maxBytes) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) throw GunzipError("zlib");
  std::string out;
  char chunk[16384];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  int result = Z_OK;
  while (true) {
    stream.next_out = reinterpret_cast<Bytef*>(chunk);
    stream.avail_out = sizeof chunk;
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(chunk, sizeof chunk - stream.avail_out);
    if (out.size() > maxBytes) result = Z_MEM_ERROR;
    if (result == Z_STREAM_END && stream.avail_in > 0) {
      result = inflateReset(&stream);  // another member follows
      continue;
    }
    if (result != Z_OK) break;
    if (stream.avail_in == 0 && stream.avail_out != 0) {
      result = Z_BUF_ERROR;  // the input ended inside a member
      break;
    }
  }
  inflateEnd(&stream);
  if (result != Z_STREAM_END) throw GunzipError(out.size() > maxBytes ? "unpacked body too large" : "broken gzip body");
  return out;
}

}  // namespace vandrel
