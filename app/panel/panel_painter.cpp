#include "app/panel/panel_painter.h"

#include "app/logic/telemetry_display.h"
#include "skin/skin_bitmaps.h"

namespace {

QRect ToQ(const layout::Rect& r) { return {r.x, r.y, r.width, r.height}; }

// The needle with black made transparent (its colour key).
const QImage& KeyedNeedle(int number, qreal ratio) {
  static QImage keyed;
  static int keyedNumber = 0;
  if (keyed.isNull() || keyedNumber != number) {
    keyed = skin::LoadSkinImage(number, ratio).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
      for (int x = 0; x < keyed.width(); ++x)
        if ((line[x] & 0xFFFFFF) == 0) line[x] = 0;
    }
    keyedNumber = number;
  }
  return keyed;
}

} // namespace

void DrawGSensorGraph(QPainter& p, const layout::PanelLayout& l, const std::deque<GSensorTriple>& history) {
  QPixmap graph = skin::LoadSkinBitmap(l.graphBitmap, p.device()->devicePixelRatioF()).copy();
  if (graph.isNull()) return;
  {
    QPainter g(&graph);
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
  p.drawPixmap(ToQ(l.graph), graph);
}

void DrawCompass(QPainter& p, const layout::PanelLayout& l, const TelemetryShown& t) {
  QPixmap dial = skin::LoadSkinBitmap(l.dialBitmap, p.device()->devicePixelRatioF()).copy();
  if (dial.isNull()) return;
  {
    QPainter d(&dial);
    d.setRenderHint(QPainter::SmoothPixmapTransform);
    d.translate(l.needleCentreX, l.needleCentreY);
    d.rotate(CompassAngle(t.course)); // clockwise on screen
    d.drawImage(QRectF(l.needleLeft, l.needleTop, l.needleSize.width, l.needleSize.height),
                KeyedNeedle(l.needleBitmap, dial.devicePixelRatio()));
    d.resetTransform();
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(static_cast<int>(12 * l.scale + 0.5));
    d.setFont(f);
    d.setPen(QColor(255, 0, 0));
    d.drawText(QPoint(l.latitudeX, l.latitudeY + f.pixelSize()), QString::fromStdString(FormatLatitude(t.latitude)));
    d.drawText(QPoint(l.longitudeX, l.longitudeY + f.pixelSize()),
               QString::fromStdString(FormatLongitude(t.longitude)));
  }
  const qreal k = dial.devicePixelRatio();
  p.drawPixmap(ToQ(l.dial), dial, QRectF(0, 0, l.dial.width * k, l.dial.height * k));
}

void DrawVolumeBar(QPainter& p, const layout::PanelLayout& l, int volumePosition) {
  const layout::WedgeParts w = layout::VolumeWedge(l, volumePosition);
  const QPixmap full = skin::LoadSkinBitmap(l.wedgeFull, p.device()->devicePixelRatioF());
  const QPixmap empty = skin::LoadSkinBitmap(l.wedgeEmpty, p.device()->devicePixelRatioF());
  if (full.isNull() || empty.isNull()) return;
  const qreal k = full.devicePixelRatio();
  if (w.empty.width > 0) p.drawPixmap(ToQ(w.empty), empty, QRectF(0, 0, w.empty.width * k, w.empty.height * k));
  if (w.filled.width > 0)
    p.drawPixmap(ToQ(w.filled), full, QRectF(w.filledSourceX * k, 0, w.filled.width * k, w.filled.height * k));
}
