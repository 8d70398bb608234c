#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace vandrel::test {

// Sends bytes as they are to 127.0.0.1:port, half-closes, and returns all
// that comes back until the server closes or the timeout passes.
std::string RawExchange(int port, std::string_view bytes,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));

// The status code of the first response in raw, or 0 when there is none.
int StatusOf(const std::string& raw);

// A plain GET with the target exactly as given; Host is 127.0.0.1 unless
// extraHeaders carry one.
std::string RawGet(int port, std::string_view target, std::string_view extraHeaders = "");

}  // namespace vandrel::test
