#include "platform/TerminationSignal.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vandrel {

namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte to wake the event loop.
void Notify(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void OnTerminationSignal(std::function<void()> handler) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier, &QSocketNotifier::activated, [handler = std::move(handler)] {
    char byte = 0;
    [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
    handler();
  });
  struct sigaction action = {};
  action.sa_handler = Notify;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  // The terminal it runs in was closed.
  ::sigaction(SIGHUP, &action, nullptr);
}

}  // namespace vandrel
