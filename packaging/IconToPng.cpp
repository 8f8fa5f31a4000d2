// Converts a program icon from resources/ into the PNG of one size that desktop
// icon themes read: "icon_to_png IN OUT SIZE".
#include <QImage>
#include <iostream>
#include <cstdlib>

int main(int argc, char** argv) {
  const int size = argc == 4 ? std::atoi(argv[3]) : 0;
  if (argc != 4 || size < 1 || size > 1024) {
    std::cerr << "usage: icon_to_png IN OUT SIZE (1 to 1024 pixels)" << std::endl;
    return 64;
  }
  const QImage icon(QString::fromLocal8Bit(argv[1]));
  if (icon.isNull()) {
    std::cerr << "cannot read " << argv[1] << std::endl;
    return 1;
  }
  // Whole multiples keep the picture's sharp edges; other sizes are smoothed.
  const bool whole = size % icon.width() == 0 || icon.width() % size == 0;
  const QImage scaled = icon.scaled(size, size, Qt::KeepAspectRatio,
                                    whole ? Qt::FastTransformation : Qt::SmoothTransformation);
  if (!scaled.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::cerr << "cannot write " << argv[2] << std::endl;
    return 1;
  }
  return 0;
}
