#include <gtest/gtest.h>

#include <QProcess>

#include "shell/Mpris.h"
#include "support/BoxCloser.h"
#include "support/Icecast.h"
#include "support/ProgramFolderFixture.h"
#include "support/ShownTip.h"

// On a private session bus (dbus-run-session), steered by playerctl and by calls that ask no reply (dbus-send).
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
QString Send(const QString& method) {
  return Run("dbus-send", {"--session", "--type=method_call", "--dest=org.mpris.MediaPlayer2.vandrelradio",
                           "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player." + method});
}

bool DrawnPlain(QLabel* label) {  // drawn as it is drawn as plain text: never as markup
  const QImage drawn = label->grab().toImage();
  const Qt::TextFormat format = label->textFormat();
  label->setTextFormat(Qt::PlainText);
  const bool plain = label->grab().toImage() == drawn;
  label->setTextFormat(format);
  return plain;
}

using MprisTest = test::ProgramFolderFixture;

// The window started with a remembered station and offered on the bus.
TEST_F(MprisTest, TheDesktopsMediaControlsSeeAndSteerThePlayer) {
  Set("Onthouden", "LaatsteURL", Tone(600)), Set("Onthouden", "LaatsteNAAM", "Toon");
  test::BoxCloser boxes;
  Form1& form = Start();
  form.Timer3.stop();  // the start-up's restore waits
  ASSERT_TRUE(StartMpris(&form, player_, form.controller(), [] {}, [] {})) << "run with dbus-run-session";
  EXPECT_EQ(Playerctl({"metadata", "title"}), "");  // the window's placeholder names no station
  form.Timer3.start();
  ASSERT_TRUE(StartedUp());

  // A client that follows sees only what the change signals tell it.
  QProcess follow;
  follow.start("playerctl", {"--player=vandrelradio", "--follow", "metadata", "--format", "{{status}} {{title}}"});
  QString followed;
  const auto follows = [&](const QString& line) {
    return test::WaitUntil([&] { return (followed += follow.readAllStandardOutput()).contains(line); }, 20s);
  };
  ASSERT_TRUE(follows("Stopped Toon"));
  Send("Play");  // resumes the remembered station
  ASSERT_TRUE(test::WaitUntil([&] { return player_.status().starts_with("Playing"); }, 20s)) << player_.status();
  EXPECT_EQ(player_.URL(), Tone(600));
  EXPECT_TRUE(follows("Playing Vandrel test tone")) << followed.toStdString();
  EXPECT_EQ(Playerctl({"metadata", "artist"}), "Toon");
  Playerctl({"volume", "0.25"});
  EXPECT_EQ(form.Slider1->value(), 25);

  // Pause lets the live stream go; play-pause takes it up live again.
  Playerctl({"pause"});
  EXPECT_TRUE(test::WaitUntil([&] { return player_.status() == "Paused"; }, 5s));
  EXPECT_EQ(Playerctl({"status"}), "Paused");
  Playerctl({"play-pause"});
  ASSERT_TRUE(test::WaitUntil([&] { return player_.status().starts_with("Playing"); }, 20s));
  Send("Stop");
  EXPECT_TRUE(test::WaitUntil([&] { return player_.status() == "Stopped"; }, 5s));
  EXPECT_EQ(Playerctl({"metadata", "title"}), "Toon");  // the station when no title is known

  // Which addresses play, under which name, is StationControllerTest's; one goes over the bus.
  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() > 1; }, 10s));
  Playerctl({"open", QString::fromStdString(form.List2.List(0))});
  EXPECT_TRUE(test::WaitUntil([&] { return player_.URL() == form.List2.List(0); }, 5s));
  EXPECT_EQ(form.ZenderNaam->text(), form.List1->item(0)->text());
  Playerctl({"open", QString::fromStdString(Tone(1))});  // waiting to try a dropped stream again is no sound
  ASSERT_TRUE(test::WaitUntil([&] { return player_.state().activity == PlayState::Reconnecting; }, 20s));
  EXPECT_EQ(Playerctl({"status"}), "Paused");
  follow.kill(), follow.waitForFinished();
  EXPECT_TRUE(boxes.boxes.empty());
}

// Network names and titles: plain text on screen and bus, without characters that break a line or turn "txt.exe" round.
TEST_F(MprisTest, NamesAndTitlesFromTheNetworkArePlainCleanText) {
  test::Icecast icecast({{"/radio.mp3", test::Icecast::Feed::Mp3}});
  const std::string markup = "<h1 style='color:red'>HUGE</h1><img src='/local/file.svg'>";
  const std::pair<std::string, std::string> cases[] = {  // sent, shown
      {markup, markup},
      {"Line\nbreak\tand \x1b[31mESC\x7f", "Line break and [31mESC"},
      {"Next\xC2\x85line\xC2\x9B", "Nextline"},
      {"Report \xE2\x80\xAEtxt.exe \xE2\x81\xA6isolated\xE2\x81\xA9", "Report txt.exe isolated"},
  };
  std::string list;
  for (const auto& c : cases) list += "<naam>" + c.first + "</naam><url>" + icecast.Address("radio.mp3") + "</url>\n";
  const test::ServedData directory({{"radio/inter/zenders/holland.txt", list}});
  test::BoxCloser boxes;
  Form1& form = Start(directory.server->baseAddress());
  form.show();
  ASSERT_TRUE(StartedUp());
  ASSERT_TRUE(StartMpris(&form, player_, form.controller(), [] {}, [] {})) << "run with dbus-run-session";
  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() == static_cast<int>(std::size(cases)); }, 10s));
  for (int row = 0; row < form.List1->count(); ++row) {
    const auto& [sent, shown] = cases[row];
    SCOPED_TRACE(shown);
    ASSERT_TRUE(icecast.SetTitle("/radio.mp3", sent));
    form.List1->setCurrentRow(row);
    ASSERT_TRUE(test::WaitUntil([&] { return player_.streamTitle() == shown; }, 20s)) << player_.streamTitle();
    if (row == 0) test::SaveScreenshot(form, "form1-markup-in-names.png");
    EXPECT_EQ(form.List1->item(row)->text().toStdString(), shown);
    EXPECT_TRUE(DrawnPlain(form.ZenderNaam) && DrawnPlain(form.Label14));
    EXPECT_EQ(test::ShownTip(form.Label14->toolTip()).toStdString(), "Playing: " + shown);
    EXPECT_EQ(Playerctl({"metadata", "title"}).toStdString(), shown);
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace vandrel
