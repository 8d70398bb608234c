#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QProcess>

#include "shell/Mpris.h"
#include "support/BoxCloser.h"
#include "support/ProgramFolderFixture.h"

// Runs on a private session bus of its own (dbus-run-session), steered by a
// real client (playerctl) and by calls that ask for no reply (dbus-send).
namespace vandrel {
namespace {

using namespace std::chrono_literals;

// The service answers on this thread: its loop runs while a client does.
QString Run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  test::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 5s);
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString Playerctl(const QStringList& args) { return Run("playerctl", QStringList{"--player=vandrelradio"} + args); }

// Without --print-reply, dbus-send asks for no reply.
QString Send(const QStringList& call) {
  const QStringList to{"--session", "--type=method_call", "--dest=org.mpris.MediaPlayer2.vandrelradio",
                       "/org/mpris/MediaPlayer2"};
  return Run("dbus-send", to + call);
}

class MprisTest : public test::ProgramFolderFixture {};

// The window started with a remembered station and offered on the bus.
TEST_F(MprisTest, TheDesktopsMediaControlsSeeAndSteerThePlayer) {
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run with dbus-run-session";
  Set("Onthouden", "LaatsteURL", Tone(600));
  Set("Onthouden", "LaatsteNAAM", "Toon");
  test::BoxCloser boxes;
  Form1& form = Start();
  ASSERT_TRUE(StartedUp());
  ASSERT_TRUE(StartMpris(form));

  // A client that follows sees only what the change signals tell it.
  QProcess follow;
  follow.start("playerctl", {"--player=vandrelradio", "--follow", "metadata", "--format", "{{status}} {{title}}"});
  QString followed;
  const auto follows = [&](const QString& line) {
    return test::WaitUntil([&] { return (followed += follow.readAllStandardOutput()).contains(line); }, 20s);
  };
  ASSERT_TRUE(follows("Stopped Toon"));

  // Play resumes the remembered station.
  Send({"org.mpris.MediaPlayer2.Player.Play"});
  ASSERT_TRUE(test::WaitUntil([&] { return player_.status().starts_with("Playing"); }, 20s)) << player_.status();
  EXPECT_EQ(player_.URL(), Tone(600));
  EXPECT_TRUE(follows("Playing Vandrel test tone")) << followed.toStdString();
  EXPECT_EQ(Playerctl({"metadata", "artist"}), "Toon");

  Playerctl({"volume", "0.25"});
  EXPECT_EQ(player_.volume(), 25);  // through the window's slider

  // Pause lets the live stream go; play-pause takes it up live again.
  Playerctl({"pause"});
  EXPECT_TRUE(test::WaitUntil([&] { return player_.status() == "Paused"; }, 5s));
  EXPECT_EQ(Playerctl({"status"}), "Paused");
  Playerctl({"play-pause"});
  ASSERT_TRUE(test::WaitUntil([&] { return player_.status().starts_with("Playing"); }, 20s));
  Send({"org.mpris.MediaPlayer2.Player.Stop"});
  EXPECT_TRUE(test::WaitUntil([&] { return player_.status() == "Stopped"; }, 5s));
  EXPECT_EQ(Playerctl({"metadata", "title"}), "Toon");  // the station when no title is known

  // An address from outside shows the listed station it belongs to, else itself.
  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() > 1; }, 10s));
  const std::string listed = form.List2.List(0);
  for (const auto& [address, name] : {std::pair{listed, form.List1Box.List(0)}, std::pair{Tone(601), Tone(601)}}) {
    Playerctl({"open", QString::fromStdString(address)});
    EXPECT_TRUE(test::WaitUntil([&] { return player_.URL() == address; }, 5s));
    EXPECT_EQ(form.ZenderNaam->text().toStdString(), name);
  }
  follow.kill();
  follow.waitForFinished();
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace vandrel
