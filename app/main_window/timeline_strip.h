#pragma once
// One timeline grid: a row of cells coloured by the status of the minutes (or
// hours) they stand for, labelled every five minutes, reporting clicks.
#include <functional>
#include <vector>

#include <QWidget>

#include "app/logic/layout.h"

class TimelineStrip : public QWidget {
  Q_OBJECT
public:
  // status(column) gives the cell's status.
  TimelineStrip(const layout::GridPlace& place, std::function<int(int)> status, QWidget* parent);
  const layout::GridPlace& Place() const { return place_; }
  // The column at x, or -1.
  int ColumnAt(int x) const;
  // The cell's colour as drawn last.
  QColor CellColour(int column) const;
  void SetFocusCell(int column) {
    focus_ = column;
    update();
  }

signals:
  void clicked(int column);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  layout::GridPlace place_;
  std::function<int(int)> status_;
  int focus_ = -1;
};
