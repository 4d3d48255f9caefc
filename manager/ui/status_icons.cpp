#include "manager/ui/status_icons.h"

#include <QPainter>
#include <QPixmap>

namespace vltg::manager {

// A pager: a dark case whose display is red while the gateway is off-line
// and green while it is on-line. Drawn here, so the program carries no files.
QIcon GatewayStateIcon(int index) {
  QPixmap image(32, 32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(20, 20, 20), 1));
  painter.setBrush(QColor(60, 60, 70));
  painter.drawRoundedRect(QRectF(2.5, 6.5, 27, 20), 4, 4);
  painter.setBrush(index == 1 ? QColor(40, 200, 60) : QColor(220, 40, 40));
  painter.drawRect(QRectF(6.5, 10.5, 19, 8));
  painter.setBrush(QColor(190, 190, 190));
  for (int key = 0; key < 3; ++key) painter.drawEllipse(QRectF(8.5 + key * 6, 20.5, 3, 3));
  painter.end();
  return QIcon(image);
}

}  // namespace vltg::manager
