#pragma once
// One timeline grid: a row of cells coloured by the status of the minutes (or
// hours) they stand for, minute cells labelled every five minutes.
#include <functional>

#include "app/logic/layout.h"
#include "skin/grid_ctrl.h"

class TimelineStrip : public CGridCtrl {
  Q_OBJECT
public:
  // status(column) gives the cell's status.
  TimelineStrip(const layout::GridPlace& place, std::function<int(int)> status, QWidget* parent);
  const layout::GridPlace& Place() const { return place_; }
  // Places the grid and builds its cells: count, widths, labels and colours.
  void Setup();
  // Colours every cell from its status and redraws.
  void Recolour();
  QColor CellColour(int column) const { return GetItemBkColour(0, column); }

signals:
  // A cell was clicked (not emitted for clicks outside the cells).
  void clicked(int column);

private:
  layout::GridPlace place_;
  std::function<int(int)> status_;
};
