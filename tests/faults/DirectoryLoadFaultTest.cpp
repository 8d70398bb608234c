#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

#include "directory/ConnectionDispatcher.h"
#include "directory/DirectoryServer.h"
#include "support/DirectoryServerProcess.h"
#include "support/LoopbackClients.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
using directory::ConnectionDispatcher;
using directory::DirectoryServer;

constexpr const char* kList = "/radio/inter/keuze-uk.txt";

struct Sockets {
  std::vector<int> fds;
  ~Sockets() {
    for (int fd : fds) ::close(fd);
  }
  // Opens count sockets from source, each sending bytes.
  void open(const std::string& source, int port, int count, const std::string& bytes) {
    for (int i = 0; i < count; ++i) {
      const int fd = test::ConnectFrom(source, port);
      if (fd >= 0) {
        test::SendAll(fd, bytes);
        fds.push_back(fd);
      }
    }
  }
  // How many sockets got each reply status (0: none) within timeout.
  std::map<int, int> statuses(std::size_t from, std::size_t to, std::chrono::milliseconds timeout,
                              int* withRetryAfter = nullptr) const {
    std::map<int, int> count;
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (std::size_t i = from; i < to; ++i) {
      const auto left = std::max(0ms, std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()));
      const std::string head = test::ReadHead(fds[i], left);
      ++count[head.size() > 12 ? std::stoi(head.substr(9, 3)) : 0];
      if (withRetryAfter && head.find("\r\nRetry-After: ") != std::string::npos) ++*withRetryAfter;
    }
    return count;
  }
};

// 500 slow sockets and 100 idle keep-alive ones from one address each, 300
// tone listeners from two more: each address keeps at most its cap,
// listeners beyond theirs are told to come back, slow heads time out, and
// requests from elsewhere are answered all along.
TEST(DirectoryLoadFaultTest, SlowAndGreedyClientsLeaveOthersAnswered) {
  test::DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--quiet"});
  const std::size_t cap = ConnectionDispatcher::Limits{}.perAddress;
  Sockets slow, idle, listeners;
  slow.open("127.0.0.2", server.port(), 500, "GET /radio");
  idle.open("127.0.0.3", server.port(), 100, std::string("GET ") + kList + " HTTP/1.1\r\nHost: x\r\n\r\n");
  const std::string tone = "GET /stream/tone HTTP/1.1\r\nHost: x\r\n\r\n";
  listeners.open("127.0.0.4", server.port(), 150, tone);
  listeners.open("127.0.0.5", server.port(), 150, tone);
  ASSERT_EQ(slow.fds.size(), 500u);
  ASSERT_EQ(listeners.fds.size(), 300u);

  for (int i = 0; i < 5; ++i) {
    test::KeepAliveClient client("127.0.0.1", server.port());
    EXPECT_EQ(client.get(kList), 200) << i;
    EXPECT_EQ(client.get("/radio/inter/zenders/radio-lijst-zoek.php?zoeken=radio"), 200) << i;
  }

  int retryAfter = 0;
  const auto streams = listeners.statuses(0, 300, 3s, &retryAfter);
  EXPECT_EQ(streams, (std::map<int, int>{{200, int(DirectoryServer::kMaxListeners)},
                                         {503, 300 - int(DirectoryServer::kMaxListeners)}}));
  EXPECT_EQ(retryAfter, 300 - int(DirectoryServer::kMaxListeners));
  EXPECT_EQ(idle.statuses(0, 100, 3s), (std::map<int, int>{{200, 100}}));
  // Past the cap at once; the rest when their heads run out of time.
  EXPECT_EQ(slow.statuses(0, 500, 6s), (std::map<int, int>{{408, int(cap)}, {503, int(500 - cap)}}));
}

// More keep-alive clients than workers, each asking as fast as it can; the
// server closes a connection only where its reply says so.
TEST(DirectoryLoadFaultTest, KeepAliveClientsSeeNoErrors) {
  test::DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--quiet"});
  std::atomic<int> ok{0}, failed{0};
  const auto end = std::chrono::steady_clock::now() + 2s;
  std::vector<std::thread> clients;
  for (int c = 0; c < 300; ++c) {
    clients.emplace_back([&, c] {
      test::KeepAliveClient client("127.0.0.1" + std::to_string(c % 3), server.port());
      while (std::chrono::steady_clock::now() < end) {
        (client.get(c % 2 ? kList : "/radio/inter/zenders/holland.txt") == 200 ? ok : failed)++;
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(failed, 0);
  EXPECT_GT(ok, 300);
}

}  // namespace
}  // namespace vandrel
