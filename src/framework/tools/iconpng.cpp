// zarns-iconpng SVG PNG SIZE: renders an SVG icon into a SIZE x SIZE PNG, for
// the fixed-size icon directories that desktops without SVG support read.
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const int size = argc == 4 ? std::atoi(argv[3]) : 0;
  if (size < 1 || size > 1024) {
    std::fputs("usage: zarns-iconpng SVG PNG SIZE (1 to 1024)\n", stderr);
    return 2;
  }
  QSvgRenderer svg{QString::fromLocal8Bit(argv[1])};
  if (!svg.isValid()) {
    std::fprintf(stderr, "zarns-iconpng: cannot read %s\n", argv[1]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
  }
  if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "zarns-iconpng: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
