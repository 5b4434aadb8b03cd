#include "app/main_window/timeline_strip.h"

#include "app/logic/timeline.h"

namespace {

QColor Colour(int status) {
  const Rgb c = TimelineModel::StatusColour(status);
  return {c.r, c.g, c.b};
}

} // namespace

TimelineStrip::TimelineStrip(const layout::GridPlace& place, std::function<int(int)> status, QWidget* parent)
    : CGridCtrl(parent), place_(place), status_(std::move(status)) {
  setObjectName(QString("grid%1").arg(place.id));
  EnableSelection(false);
  SetTrackFocusCell(false);
  SetEditable(false);
  SetListMode(false);
  SetRowResize(false);
  SetColumnResize(false);
  connect(this, &CGridCtrl::Clicked, this, [this](int, int column) {
    if (column >= 0) emit clicked(column);
  });
}

void TimelineStrip::Setup() {
  const layout::Rect& r = place_.rect;
  setGeometry(r.x, r.y, r.width, r.height);
  setVisible(place_.visible);
  DeleteAllItems();
  if (!place_.minutes) {
    SetFixedRowCount(0);
    SetFixedColumnCount(0);
  }
  if (!SetRowCount(1) || !SetColumnCount(place_.columns)) return;
  const std::vector<int> widths = layout::ColumnWidths(r.width, place_.columns);
  QFont label(QStringLiteral("DejaVu Sans"));
  label.setPixelSize(9);
  label.setWeight(QFont::Medium);
  SetRowHeight(0, r.height + 1);
  for (int c = 0; c < place_.columns; ++c) {
    SetColumnWidth(c, widths[static_cast<size_t>(c)]);
    if (place_.minutes && c % 5 == 0) {
      SetItemFont(0, c, label);
      SetItemText(0, c, QString::asprintf("%02d", c + place_.offset));
    } else {
      SetItemText(0, c, QString());
    }
    SetItemBkColour(0, c, Colour(status_(c)));
  }
  Redraw();
}

void TimelineStrip::Recolour() {
  for (int c = GetFixedColumnCount(); c < GetColumnCount(); ++c) SetItemBkColour(0, c, Colour(status_(c)));
  Redraw();
}
