#pragma once

#include <string>
#include <string_view>

namespace vandrel {

// The text percent-encoded as a query value (RFC 3986): every byte but the
// unreserved letters, digits and "-._~" becomes "%XX", so blanks, "&", "#",
// "+" and "%" reach the server as typed. UTF-8 text stays UTF-8.
std::string PercentEncoded(std::string_view text);

// A hexadecimal digit's value, either case; -1 for any other character.
int HexDigitValue(char c);

}  // namespace vandrel
