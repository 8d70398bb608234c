#include "directory/HttpFields.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>

#include "core/PercentEncoding.h"
#include "directory/HeaderValue.h"

namespace vandrel::directory {

namespace {

std::string Joined(const Fields& fields, std::string_view name) {
  std::string out;
  for (const auto& [key, value] : fields) {
    if (SameName(key, name)) out += (out.empty() ? "" : ", ") + value;
  }
  return out;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Decode(std::string_view text, bool plusIsBlank) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 && HexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out += plusIsBlank && text[i] == '+' ? ' ' : text[i];
    }
  }
  return out;
}

Fields ParseQuery(std::string_view query) {
  Fields params;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    params.emplace_back(Decode(pair.substr(0, eq), true),
                        eq == std::string_view::npos ? std::string() : Decode(pair.substr(eq + 1), true));
  }
  return params;
}

std::string AddressText(const sockaddr* addr) {
  char text[INET6_ADDRSTRLEN] = {};
  if (addr == nullptr) return {};
  if (addr->sa_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(addr)->sin_addr, text, sizeof text);
  } else if (addr->sa_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6*>(addr)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
      ::inet_ntop(AF_INET, v6.s6_addr + 12, text, sizeof text);
    } else {
      ::inet_ntop(AF_INET6, &v6, text, sizeof text);
    }
  }
  return text;
}

std::string NormalAddress(std::string_view text) {
  const std::string copy(TrimHeaderValue(text));
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  if (::inet_pton(AF_INET, copy.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    return AddressText(reinterpret_cast<const sockaddr*>(&v4));
  }
  if (::inet_pton(AF_INET6, copy.c_str(), &v6.sin6_addr) == 1) {
    v6.sin6_family = AF_INET6;
    return AddressText(reinterpret_cast<const sockaddr*>(&v6));
  }
  return {};
}

void HttpReply::setHeader(std::string name, std::string value) {
  headers.erase(std::remove_if(headers.begin(), headers.end(), [&](const auto& f) { return SameName(f.first, name); }),
                headers.end());
  headers.emplace_back(std::move(name), std::move(value));
}

bool HttpReply::hasHeader(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& f) { return SameName(f.first, name); });
}

std::string HttpReply::header(std::string_view name) const { return Joined(headers, name); }

void HttpReply::setContent(std::string content, std::string type) {
  body = std::move(content);
  setHeader("Content-Type", std::move(type));
}

bool HttpRequest::hasHeader(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& f) { return SameName(f.first, name); });
}

std::string HttpRequest::header(std::string_view name) const { return Joined(headers, name); }

bool HttpRequest::hasParam(std::string_view name) const {
  return std::any_of(params.begin(), params.end(), [&](const auto& p) { return p.first == name; });
}

std::string HttpRequest::param(std::string_view name) const {
  const auto it = std::find_if(params.begin(), params.end(), [&](const auto& p) { return p.first == name; });
  return it == params.end() ? std::string() : it->second;
}

std::string HttpServer::clientOf(const std::string& peer, const HttpRequest& request) const {
  if (std::find(trusted_.begin(), trusted_.end(), peer) == trusted_.end()) return peer;
  // The proxy appends the address it saw, so only the last one is its word.
  const std::string forwarded = request.header("X-Forwarded-For");
  if (!forwarded.empty()) {
    const std::string last = NormalAddress(std::string_view(forwarded).substr(forwarded.rfind(',') + 1));
    if (!last.empty()) return last;
  }
  const std::string real = NormalAddress(request.header("X-Real-IP"));
  return real.empty() ? peer : real;
}

}  // namespace vandrel::directory
