#include "stations/SearchAddress.h"

namespace vandrel {

std::string SearchAddress(const std::string& baseAddress, std::string_view word) {
  return baseAddress + "radio/inter/zenders/radio-lijst-zoek.php?zoeken=" + PercentEncoded(word);
}

}  // namespace vandrel
