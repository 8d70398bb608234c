#pragma once

#include <QNetworkAccessManager>
#include <chrono>
#include <cstdint>

#include "platform/HttpClient.h"

namespace vandrel {

// Blocking download on Qt Network. The caller's window takes no input while it
// waits, but keeps painting; a server that never answers gives up after the
// time-out instead of freezing the player.
class QtHttpClient : public HttpClient {
 public:
  struct Limits {
    std::chrono::milliseconds timeout{15000};
    std::int64_t maxBodyBytes = 4 * 1024 * 1024;
    int maxRedirects = 5;
  };

  QtHttpClient();
  explicit QtHttpClient(Limits limits);

  std::string OpenURL(const std::string& address) override;

 private:
  Limits limits_;
  QNetworkAccessManager manager_;
};

}  // namespace vandrel
