#include "app/panel/panel_painter.h"

#include <QPainterPath>
#include <QPolygonF>

#include "app/logic/telemetry_display.h"

namespace {

QRect ToQ(const layout::Rect& r) { return {r.x, r.y, r.width, r.height}; }

// The wedge shape of the volume bar, as a bitmap of the given size and colour.
QImage Wedge(layout::Size size, QColor colour) {
  QImage img(size.width, size.height, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(QPolygonF({QPointF(0, size.height), QPointF(size.width, 0), QPointF(size.width, size.height)}));
  return img;
}

} // namespace

void DrawGSensorGraph(QPainter& p, const layout::PanelLayout& l, const std::deque<GSensorTriple>& history) {
  const QRect r = ToQ(l.graph);
  QImage img(l.graphBitmapSize.width, l.graphBitmapSize.height, QImage::Format_RGB32);
  img.fill(QColor(16, 20, 24));
  {
    QPainter g(&img);
    g.setPen(QColor(60, 66, 72));
    g.drawLine(l.graphX0, l.graphY0, img.width(), l.graphY0);
    g.drawLine(l.graphX0, 0, l.graphX0, img.height());
    g.setPen(QColor(150, 150, 150));
    QFont f = g.font();
    f.setPixelSize(std::max(8, img.height() / 7));
    g.setFont(f);
    g.drawText(2, l.graphY0 + 4, "0");
    g.drawText(2, l.graphY0 - l.graphK + 4, "+5");
    g.drawText(2, l.graphY0 + l.graphK + 4, "-5");
    const struct {
      GAxis axis;
      QColor colour;
    } axes[] = {{GAxis::X, QColor(255, 0, 0)}, {GAxis::Y, QColor(0, 255, 0)}, {GAxis::Z, QColor(0, 64, 255)}};
    for (const auto& a : axes) {
      const auto pts = GraphPoints(history, a.axis, l.graphX0, l.graphY0, l.graphK);
      if (pts.size() < 2) continue;
      QPolygon line;
      for (const auto& pt : pts) line << QPoint(pt.x, pt.y);
      g.setPen(a.colour);
      g.drawPolyline(line);
    }
  }
  p.drawImage(r, img);
}

void DrawCompass(QPainter& p, const layout::PanelLayout& l, const TelemetryShown& t) {
  QImage dial(l.dialBitmapSize.width, l.dialBitmapSize.height, QImage::Format_ARGB32_Premultiplied);
  dial.fill(Qt::transparent);
  {
    QPainter d(&dial);
    d.setRenderHint(QPainter::Antialiasing);
    const double r = l.scale;
    const QPointF c(l.needleCentreX, l.needleCentreY);
    const double radius = 62 * r;
    d.setPen(QPen(QColor(90, 96, 104), 2));
    d.setBrush(QColor(28, 32, 38));
    d.drawEllipse(c, radius, radius);
    QFont f = d.font();
    f.setPixelSize(static_cast<int>(12 * r));
    f.setBold(true);
    d.setFont(f);
    const char* names[4] = {"N", "E", "S", "W"};
    for (int i = 0; i < 4; ++i) {
      d.save();
      d.translate(c);
      d.rotate(i * 90);
      d.setPen(QColor(200, 200, 200));
      d.drawLine(QPointF(0, -radius), QPointF(0, -radius + 6 * r));
      d.restore();
      const double a = i * M_PI / 2;
      const QPointF at(c.x() + std::sin(a) * (radius - 16 * r), c.y() - std::cos(a) * (radius - 16 * r));
      d.setPen(i == 0 ? QColor(255, 80, 80) : QColor(220, 220, 220));
      d.drawText(QRectF(at.x() - 8, at.y() - 8, 16, 16), Qt::AlignCenter, names[i]);
    }
    // The needle, 15 x 51 with its pivot 7 px from the left and 43 px from the top.
    d.translate(c);
    d.rotate(CompassAngle(t.course));
    QPolygonF needle({QPointF(0, l.needleTop), QPointF(l.needleLeft + 1, 0), QPointF(0, l.needleTop + l.needleSize.height),
                      QPointF(l.needleLeft + l.needleSize.width - 1, 0)});
    d.setPen(Qt::NoPen);
    d.setBrush(QColor(255, 60, 40));
    d.drawPolygon(needle);
    d.resetTransform();
    // Position texts, red on the dial.
    QFont tf = d.font();
    tf.setBold(false);
    tf.setPixelSize(std::max(9, static_cast<int>(11 * r)));
    d.setFont(tf);
    d.setPen(QColor(255, 0, 0));
    d.drawText(l.latitudeX, l.latitudeY, QString::fromStdString(FormatLatitude(t.latitude)));
    d.drawText(l.longitudeX, l.longitudeY, QString::fromStdString(FormatLongitude(t.longitude)));
  }
  p.drawImage(ToQ(l.dial), dial);
}

void DrawVolumeBar(QPainter& p, const layout::PanelLayout& l, int volumePosition) {
  static QImage full[layout::kUiModes], empty[layout::kUiModes];
  const int m = l.scale < 1 ? 0 : 1;
  if (full[m].isNull()) {
    full[m] = Wedge(l.wedgeBitmapSize, QColor(40, 220, 60));
    empty[m] = Wedge(l.wedgeBitmapSize, QColor(90, 90, 90));
  }
  const layout::WedgeParts w = layout::VolumeWedge(l, volumePosition);
  if (w.empty.width > 0) p.drawImage(ToQ(w.empty), empty[m], QRect(0, 0, w.empty.width, w.empty.height));
  if (w.filled.width > 0)
    p.drawImage(ToQ(w.filled), full[m], QRect(w.filledSourceX, 0, w.filled.width, w.filled.height));
}
