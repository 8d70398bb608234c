#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <filesystem>
#include <set>

#include "MarkoraProbe.h"
#include "markup/MarkoraError.h"
#include "support/Files.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

class MarkoraFilesTest : public ::testing::Test {
 protected:
  MarkoraFilesTest() { box_.InitProperties(); }

  QString Path(const char* name) const { return QString::fromStdString((folder_ / name).string()); }

  test::TempFolder folder_{"markora files"};
  Markora box_;
};

TEST_F(MarkoraFilesTest, LoadsAndSavesPlainCharacters) {
  const std::string rtf = "{\\rtf1\\ansi {\\b bold} <b>tag</b>}\n";
  folder_.write("page.rtf", rtf);
  box_.LoadFile(Path("page.rtf"));
  EXPECT_EQ(box_.Text().toStdString(), rtf);

  box_.setText(QString::fromUtf8("<p>\xC3\xA4</p>\nend"));
  box_.Colorize();
  box_.SaveFile(Path("out.htm"));
  EXPECT_EQ(test::ReadFile(folder_ / "out.htm"), "<p>\xC3\xA4</p>\nend");
}

TEST_F(MarkoraFilesTest, FileErrorsReachTheCaller) {
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

// Characters the PDF's fonts can show, from their ToUnicode maps.
std::set<char32_t> PdfCharacters(const QByteArray& pdf) {
  std::set<char32_t> chars;
  static const QRegularExpression stream("stream\r?\n(.*?)\r?\nendstream", QRegularExpression::DotMatchesEverythingOption);
  for (auto it = stream.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
    const QByteArray raw = it.next().captured(1).toLatin1();
    QByteArray sized(4, '\0');
    const quint32 guess = static_cast<quint32>(raw.size()) * 40 + 1024;
    for (int k = 0; k < 4; ++k) sized[k] = static_cast<char>((guess >> (24 - 8 * k)) & 0xFF);
    QByteArray plain = qUncompress(sized + raw);
    if (plain.isEmpty()) plain = raw;
    if (!plain.contains("beginbfchar") && !plain.contains("beginbfrange")) continue;
    // Qt writes "<first> <last> [<u1> <u2> ...]": the characters one by one.
    const QString cmap = QString::fromLatin1(plain);
    static const QRegularExpression list("\\[([^\\]]*)\\]");
    static const QRegularExpression code("<([0-9A-Fa-f]{4})>");
    for (auto l = list.globalMatch(cmap); l.hasNext();) {
      const QString inner = l.next().captured(1);
      for (auto c = code.globalMatch(inner); c.hasNext();) chars.insert(c.next().captured(1).toUInt(nullptr, 16));
    }
  }
  return chars;
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
  const auto chars = PdfCharacters(pdf);
  for (const char32_t c : std::u32string(U"Helo")) EXPECT_TRUE(chars.count(c)) << static_cast<char>(c);
  for (const char32_t c : std::u32string(U"QuickWrd")) EXPECT_FALSE(chars.count(c)) << static_cast<char>(c);
}

TEST_F(MarkoraFilesTest, ShowsStyledMarkup) {
  box_.setPropNameItalic(true);
  box_.setEntityBold(true);
  box_.rtfHTML()->setFont(QFont("DejaVu Sans Mono", 11));
  box_.setText(
      "<!DOCTYPE html>\n<html lang=en>\n<!-- the station list -->\n<p class=\"note\" id=top>Radio &amp; more</p>\n"
      "<script>if (a<b) go();</script>\n<td nowrap>Gr&uuml;&szlig;e</td>");
  box_.Colorize();
  box_.resize(620, 200);
  box_.show();
  QApplication::processEvents();
  test::SaveScreenshot(box_, "markora.png");
  EXPECT_EQ(test::StyleMask(box_).substr(16, 14), ".bbbb.iiii....");
}

}  // namespace
}  // namespace vandrel
