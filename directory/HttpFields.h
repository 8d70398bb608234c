#pragma once

#include <sys/socket.h>

#include <string>
#include <string_view>

#include "directory/HttpServer.h"

namespace vandrel::directory {

// Header names compare without regard to case.
bool SameName(std::string_view a, std::string_view b);

// %XX escapes decoded, and '+' too when it stands for a blank (in a query).
// Broken escapes stay as they stand; the handler refuses them.
std::string Decode(std::string_view text, bool plusIsBlank);
Fields ParseQuery(std::string_view query);

// The address as text, IPv4 for an IPv4-mapped one; "" when unknown.
std::string AddressText(const sockaddr* addr);
// A forwarded address only when it is one, in the form the peer's would have.
std::string NormalAddress(std::string_view text);

}  // namespace vandrel::directory
