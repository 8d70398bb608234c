#include "shell/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QSignalSpy>
#include <QTimer>
#include <cstring>

#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

// A crashed program leaves its socket file behind: it never blocks a start,
// and the next start hands over to the program that took it over.
TEST(SingleInstanceTest, ALeftOverSocketIsTakenOverAndASecondStartHandsOver) {
  EXPECT_NE(SingleInstance::NameFor("/opt/a"), SingleInstance::NameFor("/opt/b"));  // each installation runs once
  const QString name = SingleInstance::NameFor("/tmp/single-instance-test/" + std::to_string(::getpid()));
  const QString path = QDir::tempPath() + "/" + name;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);  // bound, never listening, not removed

  SingleInstance first(name);
  EXPECT_FALSE(first.HandOver());
  ASSERT_TRUE(first.Listen());
  SingleInstance second(name);
  QSignalSpy activated(&first, &SingleInstance::activated);
  // The hand-over waits for the first to answer, so it runs beside the loop.
  bool handedOver = false;
  QTimer::singleShot(0, [&] { handedOver = second.HandOver(); });
  ASSERT_TRUE(test::WaitUntil([&] { return activated.count() == 1; }, 5s));
  EXPECT_TRUE(handedOver);
}

}  // namespace
}  // namespace vandrel
