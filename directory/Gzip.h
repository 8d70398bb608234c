#pragma once

#include <string>
#include <string_view>

namespace vandrel::directory {

// gzip content coding of replies.
class Gzip {
 public:
  // Bodies smaller than this gain too little to be worth compressing.
  static constexpr std::size_t kMinBytes = 256;

  static std::string Compress(std::string_view data, int level = 6);

  // True when an Accept-Encoding value allows gzip: "gzip", "x-gzip" or
  // "*" with a q-value above 0 ("gzip;q=0" refuses it).
  static bool Accepted(std::string_view acceptEncoding);

  // Text types only; pictures are compressed already.
  static bool Suits(std::string_view contentType);
};

}  // namespace vandrel::directory
