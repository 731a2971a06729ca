#include "app/tool_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qm {

namespace {

constexpr int kSize = 20;
const QColor kInk(40, 40, 48);
const QColor kPaper(250, 250, 244);
const QColor kAccent(52, 110, 190);

void Page(QPainter& p, QRectF r) {
  QPainterPath path;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - 4, r.top());
  path.lineTo(r.right(), r.top() + 4);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setBrush(kPaper);
  p.drawPath(path);
}

void Magnifier(QPainter& p, bool plus) {
  p.setBrush(QColor(220, 235, 250));
  p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
  p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(12, 12), QPointF(17.5, 17.5));
  p.setPen(QPen(kInk, 1.5));
  p.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
  if (plus) p.drawLine(QPointF(8, 5.5), QPointF(8, 10.5));
}

void Draw(QPainter& p, ToolIconKind kind) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kInk, 1.2));
  switch (kind) {
    case ToolIconKind::None:
      break;
    case ToolIconKind::New:
      Page(p, {4.5, 2.5, 11, 15});
      break;
    case ToolIconKind::Open: {
      p.setBrush(QColor(230, 190, 90));
      p.drawRect(QRectF(2.5, 5.5, 15, 11));
      p.setBrush(QColor(245, 215, 120));
      QPainterPath lid;
      lid.moveTo(4.5, 9.5);
      lid.lineTo(18.5, 9.5);
      lid.lineTo(16.5, 16.5);
      lid.lineTo(2.5, 16.5);
      lid.closeSubpath();
      p.drawPath(lid);
      break;
    }
    case ToolIconKind::Save:
      p.setBrush(kAccent);
      p.drawRoundedRect(QRectF(2.5, 2.5, 15, 15), 1.5, 1.5);
      p.setBrush(kPaper);
      p.drawRect(QRectF(5.5, 2.5, 9, 6));
      p.setBrush(QColor(200, 200, 210));
      p.drawRect(QRectF(5.5, 11.5, 9, 6));
      break;
    case ToolIconKind::Select: {
      QPainterPath arrow;
      arrow.moveTo(5, 2.5);
      arrow.lineTo(5, 16);
      arrow.lineTo(8.5, 12.5);
      arrow.lineTo(11, 18);
      arrow.lineTo(13, 17);
      arrow.lineTo(10.5, 11.5);
      arrow.lineTo(15, 11.5);
      arrow.closeSubpath();
      p.setBrush(Qt::white);
      p.drawPath(arrow);
      break;
    }
    case ToolIconKind::Draw: {
      p.translate(10, 10);
      p.rotate(45);
      p.setBrush(QColor(240, 190, 60));
      p.drawRect(QRectF(-2.5, -9, 5, 12));
      p.setBrush(QColor(230, 200, 160));
      QPainterPath tip;
      tip.moveTo(-2.5, 3);
      tip.lineTo(2.5, 3);
      tip.lineTo(0, 8);
      tip.closeSubpath();
      p.drawPath(tip);
      break;
    }
    case ToolIconKind::Erase:
      p.translate(10, 10);
      p.rotate(-35);
      p.setBrush(QColor(235, 120, 140));
      p.drawRoundedRect(QRectF(-7, -4, 9, 8), 1, 1);
      p.setBrush(Qt::white);
      p.drawRoundedRect(QRectF(2, -4, 5, 8), 1, 1);
      break;
    case ToolIconKind::Smart:
      // Three hills: the terrain patches the tool grows.
      p.setBrush(QColor(90, 160, 80));
      p.drawEllipse(QRectF(1.5, 8.5, 9, 9));
      p.drawEllipse(QRectF(9.5, 8.5, 9, 9));
      p.setBrush(QColor(120, 190, 100));
      p.drawEllipse(QRectF(5.5, 3.5, 9, 9));
      break;
    case ToolIconKind::Cut:
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(2.5, 12.5, 5, 5));
      p.drawEllipse(QRectF(12.5, 12.5, 5, 5));
      p.setPen(QPen(kInk, 1.5));
      p.drawLine(QPointF(6.5, 13), QPointF(14, 2.5));
      p.drawLine(QPointF(13.5, 13), QPointF(6, 2.5));
      break;
    case ToolIconKind::Copy:
      Page(p, {2.5, 2.5, 9, 11});
      Page(p, {8.5, 6.5, 9, 11});
      break;
    case ToolIconKind::Paste:
      p.setBrush(QColor(180, 130, 80));
      p.drawRoundedRect(QRectF(3.5, 3.5, 11, 14), 1, 1);
      p.setBrush(QColor(200, 200, 210));
      p.drawRect(QRectF(6.5, 2, 5, 3));
      Page(p, {9.5, 8.5, 8, 10});
      break;
    case ToolIconKind::Undo: {
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(kAccent, 2.2, Qt::SolidLine, Qt::RoundCap));
      QPainterPath curve;
      curve.moveTo(5, 8);
      curve.cubicTo(9, 3, 18, 5, 16, 12);
      curve.cubicTo(15, 15, 12, 16, 9, 16);
      p.drawPath(curve);
      p.setBrush(kAccent);
      p.setPen(Qt::NoPen);
      QPainterPath head;
      head.moveTo(2, 8);
      head.lineTo(8, 3.5);
      head.lineTo(8, 11.5);
      head.closeSubpath();
      p.drawPath(head);
      break;
    }
    case ToolIconKind::ZoomIn:
      Magnifier(p, true);
      break;
    case ToolIconKind::ZoomOut:
      Magnifier(p, false);
      break;
  }
}

QPixmap Picture(ToolIconKind kind, int scale) {
  QPixmap pixmap(kSize * scale, kSize * scale);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.scale(scale, scale);
  Draw(painter, kind);
  painter.end();
  pixmap.setDevicePixelRatio(scale);
  return pixmap;
}

}  // namespace

QIcon ToolIcon(ToolIconKind kind) {
  QIcon icon;
  if (kind == ToolIconKind::None) return icon;
  icon.addPixmap(Picture(kind, 1));
  icon.addPixmap(Picture(kind, 2));
  return icon;
}

}  // namespace qm
