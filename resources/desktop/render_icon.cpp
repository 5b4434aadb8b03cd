// Renders an SVG icon into square PNG files: render_icon SVG OUT-PATTERN SIZE...
// where OUT-PATTERN holds "%1" for the size ("velmora-%1.png").
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: render_icon SVG OUT-PATTERN SIZE...\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid()) {
    std::fprintf(stderr, "render_icon: %s: not a readable SVG file\n", argv[1]);
    return 1;
  }
  for (int i = 3; i < argc; ++i) {
    const int size = QByteArray(argv[i]).toInt();
    if (size <= 0 || size > 1024) {
      std::fprintf(stderr, "render_icon: bad size %s\n", argv[i]);
      return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    const QString out = QString::fromLocal8Bit(argv[2]).arg(size);
    if (!image.save(out, "PNG")) {
      std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(out));
      return 1;
    }
  }
  return 0;
}
