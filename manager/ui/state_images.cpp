#include "manager/ui/state_images.h"

#include <QPainter>
#include <QPixmap>

namespace vltg::manager {

namespace {

// A filled disc, or a square for the TNPP link's serial line.
QIcon Drawn(QColor colour, bool square) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(colour.darker(160));
  painter.setBrush(colour);
  if (square) {
    painter.drawRect(2, 2, 11, 11);
  } else {
    painter.drawEllipse(2, 2, 11, 11);
  }
  return QIcon(pixmap);
}

}  // namespace

QIcon StateImage(int index) {
  switch (index) {
    case 0:
      return Drawn(QColor(40, 110, 220), false);
    case 1:
      return Drawn(QColor(230, 140, 20), true);
    case 2:
      return Drawn(QColor(150, 150, 150), false);
    case 3:
      return Drawn(QColor(40, 170, 60), false);
    default:
      return {};
  }
}

}  // namespace vltg::manager
