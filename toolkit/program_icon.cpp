#include <QIcon>
#include <QImageReader>
#include <QPixmap>

#include "toolkit/toolkit.h"

namespace kelmory::toolkit {

QIcon ProgramIcon() {
  // The 32-bit images of the program's icon, one file a size: X takes these
  // three, and a multi-image icon file would have all nine decoded.
  static const QIcon icon = [] {
    QIcon sizes;
    for (const int size : {16, 32, 48}) {
      // Named and not probed: Qt's own PNG reader, without loading every
      // image-format plugin to ask whether it reads PNG too.
      QImageReader reader(QStringLiteral(":/kelmory/icons/kelmory-%1.png").arg(size), "png");
      reader.setAutoDetectImageFormat(false);
      sizes.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return sizes;
  }();
  return icon;
}

}  // namespace kelmory::toolkit
