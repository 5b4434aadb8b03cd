#include "app/main_window/timeline_strip.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/logic/timeline.h"

TimelineStrip::TimelineStrip(const layout::GridPlace& place, std::function<int(int)> status, QWidget* parent)
    : QWidget(parent), place_(place), status_(std::move(status)) {
  setObjectName(QString("grid%1").arg(place.id));
  setGeometry(place.rect.x, place.rect.y, place.rect.width, place.rect.height);
  setVisible(place.visible);
  setCursor(Qt::PointingHandCursor);
}

int TimelineStrip::ColumnAt(int x) const {
  const auto widths = layout::ColumnWidths(width(), place_.columns);
  int left = 0;
  for (int c = 0; c < static_cast<int>(widths.size()); ++c) {
    if (x >= left && x < left + widths[static_cast<size_t>(c)]) return c;
    left += widths[static_cast<size_t>(c)];
  }
  return -1;
}

QColor TimelineStrip::CellColour(int column) const {
  const Rgb c = TimelineModel::StatusColour(status_(column));
  return {c.r, c.g, c.b};
}

void TimelineStrip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const auto widths = layout::ColumnWidths(width(), place_.columns);
  QFont f = font();
  f.setPixelSize(std::max(7, height() - 3));
  p.setFont(f);
  int left = 0;
  for (int c = 0; c < place_.columns; ++c) {
    const int w = widths[static_cast<size_t>(c)];
    const QRect cell(left, 0, w, height());
    p.fillRect(cell, CellColour(c));
    p.setPen(QColor(40, 40, 40));
    p.drawLine(cell.topRight(), cell.bottomRight());
    if (place_.minutes && c % 5 == 0) {
      p.setPen(Qt::black);
      p.drawText(cell.adjusted(0, 0, 2 * w, 0), Qt::AlignLeft | Qt::AlignVCenter,
                 QString("%1").arg(c + place_.offset, 2, 10, QChar('0')));
    }
    if (c == focus_) {
      p.setPen(QPen(Qt::white, 1, Qt::DotLine));
      p.drawRect(cell.adjusted(0, 0, -1, -1));
    }
    left += w;
  }
}

void TimelineStrip::mousePressEvent(QMouseEvent* event) {
  const int c = ColumnAt(static_cast<int>(event->position().x()));
  if (c < 0) return;
  focus_ = c;
  update();
  emit clicked(c);
}
