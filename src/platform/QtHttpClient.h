#pragma once

#include <QNetworkAccessManager>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "core/HttpClient.h"
#include "core/ListCache.h"

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
  // Lists are revalidated from cacheFolder when one is given.
  explicit QtHttpClient(Limits limits, std::string cacheFolder = {});

  std::string OpenURL(const std::string& address) override;

 private:
  Limits limits_;
  std::optional<ListCache> cache_;
  QNetworkAccessManager manager_;
};

}  // namespace vandrel
