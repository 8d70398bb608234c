// Build tool: renders the program's SVG icon as PNG files of the sizes the
// desktop's icon themes look for.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: render-icon ICON.svg OUT-PREFIX SIZE...\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "render-icon: %s is not a usable SVG picture\n", argv[1]);
    return 1;
  }
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    const QString out = QString::fromLocal8Bit(argv[2]) + QString::number(size) + ".png";
    if (!image.save(out)) {
      std::fprintf(stderr, "render-icon: cannot write %s\n", qPrintable(out));
      return 1;
    }
  }
  return 0;
}
