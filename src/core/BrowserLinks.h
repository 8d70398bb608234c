#pragma once

#include <string>

namespace vandrel {

// The fixed external page of the second picture link.
inline constexpr const char* kProjectHomePage = "https://vandrel.org/radio/";

// The address the station homepage link opens: "http://" and the homepage,
// which the station lists give without scheme. A homepage that already names
// http or https is taken as it stands rather than doubled.
std::string HomepageAddress(const std::string& radioUrl);

// Whether an address may go to the browser: http or https only. A homepage
// comes from a list, so "javascript:", "file:" and the like are refused.
bool IsWebAddress(const std::string& address);

}  // namespace vandrel
