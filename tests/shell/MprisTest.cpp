#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QProcess>
#include <QRegularExpression>

#include "shell/Mpris.h"
#include "support/BoxCloser.h"
#include "support/ProgramFolderFixture.h"

// Runs on a private session bus of its own (dbus-run-session).
namespace vandrel {
namespace {

using namespace std::chrono_literals;

constexpr char kService[] = "org.mpris.MediaPlayer2.vandrelradio";
constexpr char kPath[] = "/org/mpris/MediaPlayer2";

// A second connection, as a desktop's media controls would have. Calls are
// waited for with the event loop running: the service lives on this thread.
class Controls {
 public:
  Controls() : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "controls")) {}
  ~Controls() { QDBusConnection::disconnectFromBus("controls"); }

  QDBusMessage Call(const QString& interface, const QString& method, const QList<QVariant>& args = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    message.setArguments(args);
    QDBusPendingCall call = bus_.asyncCall(message, 5000);
    test::WaitUntil([&] { return call.isFinished(); }, 6s);
    return call.reply();
  }

  QVariant Get(const QString& interface, const QString& property) {
    const QDBusMessage reply = Call("org.freedesktop.DBus.Properties", "Get", {interface, property});
    if (reply.type() != QDBusMessage::ReplyMessage) return {};
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }

  QVariantMap Metadata() {
    QVariantMap map;
    Get("org.mpris.MediaPlayer2.Player", "Metadata").value<QDBusArgument>() >> map;
    return map;
  }

  QDBusConnection& bus() { return bus_; }

 private:
  QDBusConnection bus_;
};

class ChangeWatcher : public QObject {
  Q_OBJECT
 public:
  QStringList changed;
 public slots:
  void PropertiesChanged(const QString&, const QVariantMap& properties, const QStringList&) {
    changed << properties.keys();
  }
};

// The window started with a remembered station and offered on the bus.
class MprisTest : public test::ProgramFolderFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run with dbus-run-session";
    Set("Onthouden", "LaatsteURL", Tone(600));
    Set("Onthouden", "LaatsteNAAM", "Toon");
    Start();
    ASSERT_TRUE(StartedUp());
    ASSERT_TRUE(StartMpris(*form_));
  }
};

TEST_F(MprisTest, TheDesktopsMediaControlsSeeAndSteerThePlayer) {
  test::BoxCloser boxes;
  Form1& form = *form_;

  Controls controls;
  ChangeWatcher watcher;
  ASSERT_TRUE(controls.bus().connect(kService, kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                     &watcher, SLOT(PropertiesChanged(QString, QVariantMap, QStringList))));
  const QDBusMessage introspection = controls.Call("org.freedesktop.DBus.Introspectable", "Introspect");
  const QString xml = introspection.arguments().value(0).toString();
  EXPECT_TRUE(xml.contains("org.mpris.MediaPlayer2\"")) << xml.toStdString();
  EXPECT_TRUE(xml.contains("org.mpris.MediaPlayer2.Player\""));
  EXPECT_EQ(controls.Get("org.mpris.MediaPlayer2", "Identity").toString(), "Vandrel Internet Radio");
  EXPECT_EQ(controls.Get("org.mpris.MediaPlayer2.Player", "PlaybackStatus").toString(), "Stopped");

  // Play resumes the remembered station; what playerctl sees is the next test's.
  controls.Call("org.mpris.MediaPlayer2.Player", "Play");
  EXPECT_EQ(player_.URL(), Tone(600));
  ASSERT_TRUE(test::WaitUntil([&] { return watcher.changed.contains("Metadata"); }, 20s));
  EXPECT_TRUE(watcher.changed.contains("PlaybackStatus"));

  controls.Call("org.freedesktop.DBus.Properties", "Set",
                {"org.mpris.MediaPlayer2.Player", "Volume", QVariant::fromValue(QDBusVariant(0.25))});
  EXPECT_EQ(form.Slider1->value(), 25);
  EXPECT_EQ(player_.volume(), 25);

  // Pause lets the live stream go; PlayPause takes it up live again.
  controls.Call("org.mpris.MediaPlayer2.Player", "Pause");
  EXPECT_EQ(controls.Get("org.mpris.MediaPlayer2.Player", "PlaybackStatus").toString(), "Paused");
  controls.Call("org.mpris.MediaPlayer2.Player", "PlayPause");
  ASSERT_TRUE(test::WaitUntil([&] { return player_.status().starts_with("Playing"); }, 20s));
  controls.Call("org.mpris.MediaPlayer2.Player", "Stop");
  EXPECT_EQ(controls.Metadata().value("xesam:title").toString(), "Toon");  // the station when no title is known

  // An address from outside shows the listed station it belongs to, else itself.
  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() > 1; }, 10s));
  const std::string listed = form.List2.List(0);
  for (const auto& [address, name] : {std::pair{listed, form.List1Box.List(0)}, std::pair{Tone(601), Tone(601)}}) {
    controls.Call("org.mpris.MediaPlayer2.Player", "OpenUri", {QString::fromStdString(address)});
    EXPECT_EQ(player_.URL(), address);
    EXPECT_EQ(form.ZenderNaam->text().toStdString(), name);
  }
  EXPECT_TRUE(test::WaitUntil([&] { return controls.Metadata().value("xesam:title").toString().contains("tone"); }, 20s));

  // MPRIS 2.2: Rate is writable, Position sends no change signals.
  const QDBusMessage setRate = controls.Call("org.freedesktop.DBus.Properties", "Set",
                                             {"org.mpris.MediaPlayer2.Player", "Rate", QVariant::fromValue(QDBusVariant(1.0))});
  EXPECT_EQ(setRate.type(), QDBusMessage::ReplyMessage) << setRate.errorMessage().toStdString();
  EXPECT_TRUE(xml.contains(QRegularExpression(
      "name=\"Position\"[^/]*>\\s*<annotation name=\"org.freedesktop.DBus.Property.EmitsChangedSignal\" value=\"false\"")))
      << xml.toStdString();
  EXPECT_TRUE(boxes.boxes.empty());
}

// A real client, and calls that ask for no reply (dbus-send's default).
TEST_F(MprisTest, PlayerctlAndFireAndForgetCallsSteerIt) {
  test::BoxCloser boxes;
  const auto run = [](const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    // The service answers on this thread: keep its loop running meanwhile.
    test::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 5s);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
  };
  const QStringList playerctl{"--player=vandrelradio"};
  const QStringList send{"--session", "--type=method_call", "--dest=org.mpris.MediaPlayer2.vandrelradio",
                         "/org/mpris/MediaPlayer2"};
  EXPECT_EQ(run("playerctl", playerctl + QStringList{"status"}), "Stopped");
  run("dbus-send", send + QStringList{"org.mpris.MediaPlayer2.Player.Play"});
  ASSERT_TRUE(test::WaitUntil([&] { return player_.status().starts_with("Playing"); }, 20s)) << player_.status();
  EXPECT_EQ(run("playerctl", playerctl + QStringList{"status"}), "Playing");
  ASSERT_TRUE(test::WaitUntil([&] { return run("playerctl", playerctl + QStringList{"metadata", "title"}).contains("tone"); }, 10s));
  EXPECT_EQ(run("playerctl", playerctl + QStringList{"metadata", "artist"}), "Toon");
  run("playerctl", playerctl + QStringList{"pause"});
  EXPECT_TRUE(test::WaitUntil([&] { return player_.status() == "Paused"; }, 5s));
  run("playerctl", playerctl + QStringList{"play"});
  ASSERT_TRUE(test::WaitUntil([&] { return player_.status().starts_with("Playing"); }, 20s));
  run("dbus-send", send + QStringList{"org.mpris.MediaPlayer2.Player.Stop"});
  EXPECT_TRUE(test::WaitUntil([&] { return player_.status() == "Stopped"; }, 5s));
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace vandrel

#include "MprisTest.moc"
