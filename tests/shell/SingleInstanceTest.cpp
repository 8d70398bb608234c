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

QString TestName(const char* what) {
  return SingleInstance::NameFor(std::string("/tmp/single-instance-test/") + what + std::to_string(::getpid()));
}

TEST(SingleInstanceTest, ASecondStartHandsOverToTheFirst) {
  EXPECT_NE(SingleInstance::NameFor("/opt/a"), SingleInstance::NameFor("/opt/b"));
  EXPECT_EQ(SingleInstance::NameFor("/opt/a"), SingleInstance::NameFor("/opt/a"));

  const QString name = TestName("hand-over");
  SingleInstance second(name);
  EXPECT_FALSE(second.HandOver());  // nobody runs yet

  SingleInstance first(name);
  ASSERT_TRUE(first.Listen());
  QSignalSpy activated(&first, &SingleInstance::activated);
  // The hand-over waits for the first to answer, so it runs beside the loop.
  bool handedOver = false;
  QTimer::singleShot(0, [&] { handedOver = second.HandOver(); });
  ASSERT_TRUE(test::WaitUntil([&] { return activated.count() == 1; }, 5s));
  EXPECT_TRUE(handedOver);
}

// A crashed program leaves its socket file behind: it never blocks a start.
TEST(SingleInstanceTest, ALeftOverSocketIsTakenOver) {
  const QString name = TestName("stale");
  const QString path = QDir::tempPath() + "/" + name;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);  // bound, never listening, not removed

  SingleInstance starting(name);
  EXPECT_FALSE(starting.HandOver());
  ASSERT_TRUE(starting.Listen());
  SingleInstance next(name);
  QSignalSpy activated(&starting, &SingleInstance::activated);
  QTimer::singleShot(0, [&] { next.HandOver(); });
  EXPECT_TRUE(test::WaitUntil([&] { return activated.count() == 1; }, 5s));
}

}  // namespace
}  // namespace vandrel
