#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace pakeno {

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 64.0, size / 64.0);  // drawn on a 64 x 64 grid

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 136, 255));
  painter.drawEllipse(QRectF(2, 2, 60, 60));

  // The parcel.
  painter.setBrush(QColor(250, 214, 120));
  painter.setPen(QPen(QColor(120, 80, 20), 2.5));
  painter.drawRect(QRectF(14, 24, 26, 22));
  painter.drawLine(QPointF(27, 24), QPointF(27, 46));
  painter.drawLine(QPointF(14, 31), QPointF(40, 31));

  // The arrow, leaving to the upper right.
  QPainterPath arrow;
  arrow.moveTo(36, 20);
  arrow.lineTo(50, 12);
  painter.setPen(QPen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(arrow);
  QPolygonF head({QPointF(53, 10), QPointF(42, 10), QPointF(50, 20)});
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawPolygon(head);
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : kIconSizes) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}

}  // namespace pakeno
