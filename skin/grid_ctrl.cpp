#include "skin/grid_ctrl.h"

#include <new>

#include <QMouseEvent>
#include <QPainter>

std::vector<int> GridColumnWidths(int total, int n) {
  std::vector<int> widths;
  if (n <= 0) return widths;
  widths.reserve(n);
  for (long long c = 0; c < n; ++c) widths.push_back(static_cast<int>((c + 1) * total / n - c * total / n));
  return widths;
}

CGridCtrl::CGridCtrl(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void CGridCtrl::DeleteAllItems() {
  cells_.clear();
  rowHeights_.clear();
  columnWidths_.clear();
  rows_ = columns_ = fixedRows_ = fixedColumns_ = 0;
  focus_ = pressed_ = clicked_ = CellId{};
  update();
}

bool CGridCtrl::Resize(int rows, int columns) {
  if (rows < 0 || columns < 0) return false;
  try {
    std::vector<Cell> cells(static_cast<size_t>(rows) * static_cast<size_t>(columns));
    for (int r = 0; r < std::min(rows, rows_); ++r)
      for (int c = 0; c < std::min(columns, columns_); ++c)
        cells[static_cast<size_t>(r) * columns + c] = cells_[static_cast<size_t>(r) * columns_ + c];
    rowHeights_.resize(rows, defaultRowHeight_);
    columnWidths_.resize(columns, defaultColumnWidth_);
    cells_.swap(cells);
  } catch (const std::bad_alloc&) {
    return false;
  }
  rows_ = rows;
  columns_ = columns;
  fixedRows_ = std::min(fixedRows_, rows_);
  fixedColumns_ = std::min(fixedColumns_, columns_);
  update();
  return true;
}

bool CGridCtrl::SetRowCount(int rows) { return Resize(rows, columns_); }
bool CGridCtrl::SetColumnCount(int columns) { return Resize(rows_, columns); }

bool CGridCtrl::SetFixedRowCount(int rows) {
  if (rows < 0) return false;
  if (rows > rows_ && !Resize(rows, columns_)) return false;
  fixedRows_ = rows;
  update();
  return true;
}

bool CGridCtrl::SetFixedColumnCount(int columns) {
  if (columns < 0) return false;
  if (columns > columns_ && !Resize(rows_, columns)) return false;
  fixedColumns_ = columns;
  update();
  return true;
}

CGridCtrl::Cell* CGridCtrl::At(int row, int col) {
  if (row < 0 || col < 0 || row >= rows_ || col >= columns_) return nullptr;
  return &cells_[static_cast<size_t>(row) * columns_ + col];
}

const CGridCtrl::Cell* CGridCtrl::At(int row, int col) const { return const_cast<CGridCtrl*>(this)->At(row, col); }

bool CGridCtrl::SetItem(const Item& item) {
  Cell* cell = At(item.row, item.col);
  if (!cell) return false;
  if (item.mask & Item::kText) cell->text = item.text;
  if (item.mask & Item::kFont) {
    cell->font = item.font;
    cell->hasFont = true;
  }
  if (item.mask & Item::kBkColor) cell->bkColor = item.bkColor;
  return true;
}

bool CGridCtrl::SetItemText(int row, int col, const QString& text) {
  return SetItem({Item::kText, row, col, text, {}, {}});
}

bool CGridCtrl::SetItemFont(int row, int col, const QFont& font) {
  return SetItem({Item::kFont, row, col, {}, font, {}});
}

bool CGridCtrl::SetItemBkColour(int row, int col, const QColor& color) {
  return SetItem({Item::kBkColor, row, col, {}, {}, color});
}

QString CGridCtrl::GetItemText(int row, int col) const {
  const Cell* cell = At(row, col);
  return cell ? cell->text : QString();
}

QColor CGridCtrl::GetItemBkColour(int row, int col) const {
  const Cell* cell = At(row, col);
  return cell ? cell->bkColor : QColor();
}

bool CGridCtrl::SetRowHeight(int row, int height) {
  if (row < 0 || row >= rows_ || height < 0) return false;
  rowHeights_[row] = height;
  return true;
}

bool CGridCtrl::SetColumnWidth(int col, int width) {
  if (col < 0 || col >= columns_ || width < 0) return false;
  columnWidths_[col] = width;
  return true;
}

int CGridCtrl::GetRowHeight(int row) const { return row >= 0 && row < rows_ ? rowHeights_[row] : 0; }
int CGridCtrl::GetColumnWidth(int col) const { return col >= 0 && col < columns_ ? columnWidths_[col] : 0; }

void CGridCtrl::SetFocusCell(int row, int col) {
  const CellId next = At(row, col) ? CellId{row, col} : CellId{};
  if (next.row == focus_.row && next.col == focus_.col) return;
  focus_ = next;
  update();
}

CGridCtrl::CellId CGridCtrl::CellAt(const QPoint& point) const {
  if (point.x() < 0 || point.y() < 0) return {};
  CellId id;
  for (int r = 0, y = 0; r < rows_; y += rowHeights_[r++])
    if (point.y() < y + rowHeights_[r]) {
      id.row = r;
      break;
    }
  for (int c = 0, x = 0; c < columns_; x += columnWidths_[c++])
    if (point.x() < x + columnWidths_[c]) {
      id.col = c;
      break;
    }
  return id.IsValid() ? id : CellId{};
}

void CGridCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = CellAt(event->position().toPoint());
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  clicked_ = CellAt(event->position().toPoint());
  if (clicked_.IsValid()) {
    const bool fixed = clicked_.row < fixedRows_ || clicked_.col < fixedColumns_;
    if (!fixed || trackFocusCell_) SetFocusCell(clicked_.row, clicked_.col);
  }
  emit Clicked(clicked_.row, clicked_.col);
}

void CGridCtrl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), lineColour_);
  int y = 0;
  for (int r = 0; r < rows_; y += rowHeights_[r++]) {
    int x = 0;
    for (int c = 0; c < columns_; x += columnWidths_[c++]) {
      const Cell& cell = cells_[static_cast<size_t>(r) * columns_ + c];
      const bool fixed = r < fixedRows_ || c < fixedColumns_;
      const QRect box(x, y, columnWidths_[c], rowHeights_[r]);
      // Cells are separated by a one-pixel line on their right and bottom.
      const QRect face = box.adjusted(0, 0, -1, -1);
      p.fillRect(face, cell.bkColor.isValid() ? cell.bkColor : fixed ? fixedColour_ : QColor(104, 104, 104));
      if (!cell.text.isEmpty()) {
        p.setFont(cell.hasFont ? cell.font : font());
        p.setPen(textColour_);
        p.drawText(box, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, cell.text);
      }
      if (focus_.row == r && focus_.col == c) {
        p.setPen(QPen(QColor(228, 151, 30), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(face.adjusted(0, 0, -1, -1));
      }
    }
  }
}
