#include "manager/ui/state_images.h"

#include <QPainter>
#include <QPen>
#include <QPixmap>

namespace vltg::manager {

namespace {

enum class Shape { kDisc, kSquare, kRing };

// A filled disc, a square for the TNPP link's serial line, or a ring: nothing
// runs there.
QIcon Drawn(QColor colour, Shape shape) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  if (shape == Shape::kRing) {
    painter.setPen(QPen(colour, 2.5));
    painter.drawEllipse(3, 3, 10, 10);
    painter.drawLine(5, 11, 11, 5);
  } else {
    painter.setPen(colour.darker(160));
    painter.setBrush(colour);
    if (shape == Shape::kSquare) {
      painter.drawRect(2, 2, 11, 11);
    } else {
      painter.drawEllipse(2, 2, 11, 11);
    }
  }
  painter.end();
  return QIcon(pixmap);
}

}  // namespace

QIcon StateImage(int index) {
  switch (index) {
    case 0:
      return Drawn(QColor(40, 110, 220), Shape::kDisc);
    case 1:
      return Drawn(QColor(230, 140, 20), Shape::kSquare);
    case 2:
      return Drawn(QColor(150, 150, 150), Shape::kDisc);
    case 3:
      return Drawn(QColor(40, 170, 60), Shape::kDisc);
    case 4:
      return Drawn(QColor(200, 40, 40), Shape::kRing);
    default:
      return {};
  }
}

}  // namespace vltg::manager
