#pragma once
#include <vector>

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

// Column widths that share `total` pixels among n columns in whole pixels:
// column c gets (c + 1) * total / n - c * total / n, so neighbours differ by at
// most one pixel and the widths sum to the total exactly.
std::vector<int> GridColumnWidths(int total, int n);

// A small grid of cells for the timelines: per-cell text, font and background
// colour, fixed rows and columns, row heights and column widths, a focus cell,
// and a click notice that tells the clicked cell. Nothing is editable.
class CGridCtrl : public QWidget {
  Q_OBJECT
public:
  struct CellId {
    int row = -1;
    int col = -1;
    bool IsValid() const { return row >= 0 && col >= 0; }
  };
  // One item record: `mask` says which of text, font and background apply.
  struct Item {
    enum : unsigned { kText = 1, kFont = 2, kBkColor = 4 };
    unsigned mask = 0;
    int row = 0;
    int col = 0;
    QString text;
    QFont font;
    QColor bkColor;
  };

  explicit CGridCtrl(QWidget* parent = nullptr);

  void DeleteAllItems();
  // False when the count is negative or the cells cannot be allocated.
  bool SetRowCount(int rows);
  bool SetColumnCount(int columns);
  bool SetFixedRowCount(int rows);
  bool SetFixedColumnCount(int columns);
  int GetRowCount() const { return rows_; }
  int GetColumnCount() const { return columns_; }
  int GetFixedRowCount() const { return fixedRows_; }
  int GetFixedColumnCount() const { return fixedColumns_; }

  bool SetItem(const Item& item);
  bool SetItemText(int row, int col, const QString& text);
  bool SetItemFont(int row, int col, const QFont& font);
  bool SetItemBkColour(int row, int col, const QColor& color);
  QString GetItemText(int row, int col) const;
  // The cell's background colour (invalid for a cell that does not exist or has none).
  QColor GetItemBkColour(int row, int col) const;

  bool SetRowHeight(int row, int height);
  bool SetColumnWidth(int col, int width);
  int GetRowHeight(int row) const;
  int GetColumnWidth(int col) const;

  // An invalid cell (-1, -1) clears the focus mark.
  void SetFocusCell(int row, int col);
  CellId GetFocusCell() const { return focus_; }
  // The cell at a point of the client area, or an invalid one.
  CellId CellAt(const QPoint& point) const;
  // The cell of the last click notice.
  CellId GetClickedCell() const { return clicked_; }

  void EnableSelection(bool enable) { selection_ = enable; }
  void SetEditable(bool editable) { editable_ = editable; }
  void SetListMode(bool listMode) { listMode_ = listMode; }
  void SetRowResize(bool resize) { rowResize_ = resize; }
  void SetColumnResize(bool resize) { columnResize_ = resize; }
  void SetTrackFocusCell(bool track) { trackFocusCell_ = track; }
  bool IsSelectable() const { return selection_; }
  bool IsEditable() const { return editable_; }
  bool GetListMode() const { return listMode_; }
  bool GetRowResize() const { return rowResize_; }
  bool GetColumnResize() const { return columnResize_; }
  bool GetTrackFocusCell() const { return trackFocusCell_; }

  void Redraw() { update(); }

  QColor TextColour() const { return textColour_; }
  QColor GridLineColour() const { return lineColour_; }

signals:
  // The left button was clicked: row and column of the cell, -1 outside the cells.
  void Clicked(int row, int column);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  struct Cell {
    QString text;
    QFont font;
    bool hasFont = false;
    QColor bkColor;
  };
  Cell* At(int row, int col);
  const Cell* At(int row, int col) const;
  bool Resize(int rows, int columns);

  std::vector<Cell> cells_;
  std::vector<int> rowHeights_;
  std::vector<int> columnWidths_;
  int rows_ = 0;
  int columns_ = 0;
  int fixedRows_ = 0;
  int fixedColumns_ = 0;
  CellId focus_;
  CellId pressed_;
  CellId clicked_;
  bool selection_ = true;
  bool editable_ = true;
  bool listMode_ = false;
  bool rowResize_ = true;
  bool columnResize_ = true;
  bool trackFocusCell_ = true;
  QColor textColour_{0, 0, 0};
  QColor lineColour_{24, 27, 30};
  QColor fixedColour_{60, 66, 72};
  int defaultRowHeight_ = 16;
  int defaultColumnWidth_ = 24;
};
