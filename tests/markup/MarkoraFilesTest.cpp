#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QRegularExpression>

#include "markup/Markora.h"
#include "markup/MarkoraError.h"
#include "support/Files.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

class MarkoraFilesTest : public ::testing::Test {
 protected:
  MarkoraFilesTest() { box_.InitProperties(); }

  QString Path(const char* name) const { return QString::fromStdString((folder_ / name).string()); }

  test::TempFolder folder_{"markora files"};
  Markora box_;
};

TEST_F(MarkoraFilesTest, LoadsAndSavesPlainCharactersAndErrorsReachTheCaller) {
  const std::string rtf = "{\\rtf1\\ansi {\\b bold} <b>tag</b>}\n";
  folder_.write("page.rtf", rtf);
  box_.LoadFile(Path("page.rtf"));
  EXPECT_EQ(box_.Text().toStdString(), rtf);

  // Saved as typed, whatever the styles; the styled page is kept for a reviewer's eye.
  const std::string page =
      "<!DOCTYPE html>\n<html lang=en>\n<!-- the station list -->\n<p class=\"note\" id=top>Radio &amp; "
      "m\xC3\xA4r</p>\n"
      "<script>if (a<b) go();</script>\n<td nowrap>Gr&uuml;&szlig;e</td>";
  box_.setPropNameItalic(true);
  box_.setEntityBold(true);
  box_.rtfHTML()->setFont(QFont("DejaVu Sans Mono", 11));
  box_.setText(QString::fromStdString(page));
  box_.Colorize();
  box_.SaveFile(Path("out.htm"));
  EXPECT_EQ(test::ReadFile(folder_ / "out.htm"), page);
  box_.resize(620, 200);
  box_.show();
  QApplication::processEvents();
  test::SaveScreenshot(box_, "markora.png");

  box_.setText("kept");
  try {
    box_.LoadFile(Path("missing.htm"));
    ADD_FAILURE() << "no error";
  } catch (const MarkoraError& e) {
    EXPECT_EQ(e.number(), MarkoraError::kFileNotFound);
    EXPECT_NE(std::string(e.what()).find("missing.htm"), std::string::npos);
  }
  EXPECT_EQ(box_.Text(), "kept");
  EXPECT_THROW(box_.SaveFile(Path("no such folder/out.htm")), MarkoraError);
}

// The fonts' ToUnicode maps, where Qt writes each character's code as "<XXXX>".
QString ToUnicodeMaps(const QByteArray& pdf) {
  QString maps;
  static const QRegularExpression stream("stream\r?\n(.*?)\r?\nendstream",
                                         QRegularExpression::DotMatchesEverythingOption);
  for (auto it = stream.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
    const QByteArray raw = it.next().captured(1).toLatin1();
    QByteArray sized(4, '\0');  // qUncompress wants a size first; a generous guess does
    const quint32 guess = static_cast<quint32>(raw.size()) * 40 + 1024;
    for (int k = 0; k < 4; ++k) sized[k] = static_cast<char>((guess >> (24 - 8 * k)) & 0xFF);
    QByteArray plain = qUncompress(sized + raw);
    if (plain.isEmpty()) plain = raw;
    if (plain.contains("beginbfchar") || plain.contains("beginbfrange")) maps += QString::fromLatin1(plain);
  }
  return maps.toUpper();
}

TEST_F(MarkoraFilesTest, SelPrintPutsTheSelectionOnAPdfPage) {
  box_.setText("Quick\nHello World");
  box_.setSelStart(6);
  box_.setSelLength(5);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(Path("sel.pdf"));
  printer.setFontEmbeddingEnabled(true);
  box_.SelPrint(printer);

  QFile file(Path("sel.pdf"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray pdf = file.readAll();
  EXPECT_TRUE(pdf.startsWith("%PDF"));
  EXPECT_EQ(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 1);
  const QString maps = ToUnicodeMaps(pdf);
  const auto shown = [&](char c) { return maps.contains(QString("<%1>").arg(int(c), 4, 16, QChar('0')).toUpper()); };
  for (const char c : std::string("Helo")) EXPECT_TRUE(shown(c)) << c;
  for (const char c : std::string("QuickWrd")) EXPECT_FALSE(shown(c)) << c;
}

}  // namespace
}  // namespace vandrel
