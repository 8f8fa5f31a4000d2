// Converts a program icon from resources/ into the PNG that desktop icon themes
// read: "icon_to_png IN OUT".
#include <QImage>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: icon_to_png IN OUT" << std::endl;
    return 64;
  }
  const QImage icon(QString::fromLocal8Bit(argv[1]));
  if (icon.isNull() || !icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::cerr << "cannot convert " << argv[1] << " to " << argv[2] << std::endl;
    return 1;
  }
  return 0;
}
