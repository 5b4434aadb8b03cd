#include "skin/month_cal_ctrl_ex.h"

#include <algorithm>

#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include "platform/tr_key.h"
#include "skin/skin_language.h"

namespace {

const QColor kBackground(255, 255, 255);
const QColor kDark(37, 37, 37); // title band, separator, selected cell
const QColor kArrowFill(228, 151, 30);
const QColor kArrowOutline(1, 7, 56);
const QColor kNeighbourText(133, 184, 179);
const QColor kMarkFrame(255, 0, 0);

struct Weekday {
  const char* name;
  QColor color;
};
// The English names are the keys of their translations.
const Weekday kWeekdays[7] = {{TR_KEY("Sun"), QColor(255, 0, 0)}, {TR_KEY("Mon"), kDark}, {TR_KEY("Tue"), kDark},
                              {TR_KEY("Wed"), kDark},             {TR_KEY("Thu"), kDark}, {TR_KEY("Fri"), kDark},
                              {TR_KEY("Sat"), QColor(0, 0, 255)}};

QColor ColumnColour(int column) {
  return column == 0 ? QColor(255, 0, 0) : column == 6 ? QColor(0, 0, 255) : QColor(0, 0, 0);
}

// Even-odd crossing test of a point against a polygon.
bool Inside(const QPolygon& poly, const QPoint& p) { return poly.containsPoint(p, Qt::OddEvenFill); }

} // namespace

CMonthCalCtrlEx::CMonthCalCtrlEx(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The calendar's face: a CJK-capable sans, 9 points at 96 dots per inch.
  font_.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("DejaVu Sans")});
  font_.setPixelSize(12);
  TranslateWeekdays();
  for (int i = 0; i < kCells; ++i) {
    cells_[i].date = QDate(1970, 1, 1);
    cells_[i].textColor = ColumnColour(i % 7);
  }
  ShowToday(true);

  yearList_ = new QComboBox(this);
  yearList_->setObjectName(QStringLiteral("yearList"));
  yearList_->setProperty("controlId", kYearListId);
  yearList_->setFont(font_);
  yearList_->setMaxVisibleItems(11);
  RefillYearList(current_.year());
  monthList_ = new QComboBox(this);
  monthList_->setObjectName(QStringLiteral("monthList"));
  monthList_->setProperty("controlId", kMonthListId);
  monthList_->setFont(font_);
  monthList_->setMaxVisibleItems(12);
  for (int m = 1; m <= 12; ++m) monthList_->addItem(QString::number(m));
  monthList_->setCurrentIndex(current_.month() - 1);
  connect(yearList_, &QComboBox::activated, this, &CMonthCalCtrlEx::OnYearChosen);
  connect(monthList_, &QComboBox::activated, this, &CMonthCalCtrlEx::OnMonthChosen);
  Layout();
}

void CMonthCalCtrlEx::TranslateWeekdays() {
  for (int i = 0; i < 7; ++i) weekdayNames_[i] = skin::TranslatedText(kWeekdays[i].name);
}

void CMonthCalCtrlEx::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) {
    TranslateWeekdays();
    update();
  }
  QWidget::changeEvent(event);
}

void CMonthCalCtrlEx::RefillYearList(int year) {
  if (!yearList_ || listedYear_ == year) return;
  yearList_->clear();
  for (int y = year - 5; y <= year + 5; ++y) yearList_->addItem(QString::number(y));
  yearList_->setCurrentIndex(5);
  listedYear_ = year;
}

void CMonthCalCtrlEx::Layout() {
  cellWidth_ = weekdayWidth_ = std::max(20, (width() - 2 * margin_) / 7);
  cellHeight_ = std::max(12, (height() - kWeekdayHeight - kSeparatorHeight - kTitleHeight) / 6);
  const int w = width();
  const int listHeight = std::min(20, kTitleHeight - 6);
  if (yearList_) yearList_->setGeometry(w / 2 - 70, 4, 70, listHeight);
  if (monthList_) monthList_->setGeometry(w / 2 + 20, 4, 50, listHeight);
}

void CMonthCalCtrlEx::resizeEvent(QResizeEvent*) { Layout(); }

void CMonthCalCtrlEx::FillCells(const QDate& date) {
  const QDate first(date.year(), date.month(), 1);
  // Leading cells: with the neighbouring days shown, a whole row of the
  // previous month when the month starts on a Sunday; without them the first
  // day sits under its own weekday.
  const int lead = showNeighbours_ ? first.dayOfWeek() : first.dayOfWeek() % 7;
  for (int i = 0; i < kCells; ++i) {
    DayCell& cell = cells_[i];
    cell.date = first.addDays(i - lead);
    cell.relation = i < lead ? -1 : (cell.date.month() == first.month() && cell.date.year() == first.year() ? 0 : 1);
    cell.text = QString::number(cell.date.day());
    cell.marked = IsMarked(cell.date);
  }
  selected_ = lead + date.day() - 1;
}

void CMonthCalCtrlEx::SetCurSel(QDate date, bool redraw) {
  if (!date.isValid()) return;
  FillCells(date);
  current_ = date;
  RefillYearList(date.year());
  if (monthList_ && monthList_->currentIndex() != date.month() - 1) monthList_->setCurrentIndex(date.month() - 1);
  if (redraw) update();
}

void CMonthCalCtrlEx::ShowToday(bool show) {
  startToday_ = show;
  SetCurSel(show ? QDate::currentDate() : QDate(1970, 1, 1), true);
}

void CMonthCalCtrlEx::ShowNeighbourDays(bool show) {
  showNeighbours_ = show;
  SetCurSel(current_, true);
}

void CMonthCalCtrlEx::ClearMarks() {
  marks_.clear();
  for (DayCell& cell : cells_) cell.marked = false;
  update();
}

void CMonthCalCtrlEx::MarkDay(const QDate& date) {
  if (!date.isValid() || IsMarked(date)) return;
  marks_.push_back(date);
  for (int i = 0; i < kCells; ++i) {
    if (cells_[i].date == date && !cells_[i].marked) {
      cells_[i].marked = true;
      update(CellRect(i));
    }
  }
}

bool CMonthCalCtrlEx::IsMarked(const QDate& date) const {
  return std::find(marks_.begin(), marks_.end(), date) != marks_.end();
}

QRect CMonthCalCtrlEx::CellRect(int index) const {
  const int row = index / 7, column = index % 7;
  return QRect(column * cellWidth_ + margin_,
               kTitleHeight + kWeekdayHeight + kSeparatorHeight + row * cellHeight_ + margin_, cellWidth_, cellHeight_);
}

QRect CMonthCalCtrlEx::WeekdayRect(int index) const {
  return QRect(index * weekdayWidth_ + margin_, kTitleHeight + margin_, weekdayWidth_, kWeekdayHeight);
}

QPolygon CMonthCalCtrlEx::ArrowPolygon(int arrow) const {
  const int l = 0, t = 0, r = width();
  QPolygon poly;
  if (arrow == 0) poly << QPoint(l + 24, t + 7) << QPoint(l + 24, t + kTitleHeight - 7) << QPoint(l + 10, t + 14);
  else poly << QPoint(r - 24, t + 7) << QPoint(r - 24, t + kTitleHeight - 7) << QPoint(r - 10, t + 14);
  return poly;
}

int CMonthCalCtrlEx::ArrowAt(const QPoint& p) const {
  for (int a = 0; a < 2; ++a)
    if (Inside(ArrowPolygon(a), p)) return a;
  return -1;
}

int CMonthCalCtrlEx::CellAt(const QPoint& p) const {
  const int x = p.x() - margin_;
  const int y = p.y() - (margin_ + kWeekdayHeight + kSeparatorHeight + kTitleHeight);
  if (x < 0 || y < 0) return -1;
  const int row = y / cellHeight_, column = x / cellWidth_;
  if (row >= 6 || column >= 7) return -1;
  const int index = row * 7 + column;
  if (cells_[index].relation != 0 && !showNeighbours_) return -1;
  return index;
}

void CMonthCalCtrlEx::TrackPointer(const QPoint& p, bool leftHeld) {
  leftHeld_ = leftHeld;
  const int arrow = ArrowAt(p);
  if (arrow != hoverArrow_) {
    hoverArrow_ = arrow;
    update(QRect(10, 7, 15, 15));
    update(QRect(width() - 24, 7, 15, 15));
  }
  const int cell = CellAt(p);
  if (cell >= 0 && cell != pressed_ && leftHeld_) {
    if (pressed_ >= 0) update(CellRect(pressed_));
    pressed_ = cell;
    update(CellRect(pressed_));
  }
}

void CMonthCalCtrlEx::mouseMoveEvent(QMouseEvent* event) {
  TrackPointer(event->position().toPoint(), event->buttons() == Qt::LeftButton);
}

void CMonthCalCtrlEx::mousePressEvent(QMouseEvent* event) {
  TrackPointer(event->position().toPoint(), event->buttons() == Qt::LeftButton);
}

void CMonthCalCtrlEx::leaveEvent(QEvent*) {
  if (pressed_ >= 0) update(CellRect(pressed_));
  pressed_ = -1;
  if (hoverArrow_ >= 0) {
    hoverArrow_ = -1;
    update();
  }
}

void CMonthCalCtrlEx::ChooseDate(QDate date, bool redraw) {
  if (date == current_) return;
  SetCurSel(date, redraw);
  emit Notify(kDateChanged);
}

void CMonthCalCtrlEx::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  leftHeld_ = false;
  if (hoverArrow_ >= 0 && selected_ >= 0) {
    // One month back or forward from the selected day, the day kept within the month.
    const QDate base = cells_[selected_].date;
    ChooseDate(base.addMonths(hoverArrow_ == 0 ? -1 : 1), true);
  }
  if (pressed_ >= 0) {
    if (selected_ >= 0) update(CellRect(selected_));
    selected_ = pressed_;
    pressed_ = -1;
    update(CellRect(selected_));
    const DayCell& cell = cells_[selected_];
    ChooseDate(cell.date, cell.relation != 0);
  }
}

void CMonthCalCtrlEx::OnYearChosen(int index) {
  const int year = yearList_->itemText(index).toInt();
  const QDate first(year, current_.month(), 1);
  if (!first.isValid()) return;
  ChooseDate(QDate(year, current_.month(), std::min(current_.day(), first.daysInMonth())), true);
}

void CMonthCalCtrlEx::OnMonthChosen(int index) {
  const int month = monthList_->itemText(index).toInt();
  const QDate first(current_.year(), month, 1);
  if (!first.isValid()) return;
  ChooseDate(QDate(current_.year(), month, std::min(current_.day(), first.daysInMonth())), true);
}

void CMonthCalCtrlEx::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  p.fillRect(rect(), kBackground);
  p.fillRect(QRect(0, 0, w, kTitleHeight), kDark);
  p.setRenderHint(QPainter::Antialiasing, true);
  for (int a = 0; a < 2; ++a) {
    p.setPen(QPen(hoverArrow_ == a ? QColor(255, 255, 255) : kArrowOutline, 1));
    p.setBrush(kArrowFill);
    p.drawPolygon(ArrowPolygon(a));
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(0, kTitleHeight, w, kWeekdayHeight), kBackground);
  p.fillRect(QRect(0, kTitleHeight + kWeekdayHeight, w, kSeparatorHeight), kDark);
  p.setFont(font_);
  for (int i = 0; i < 7; ++i) {
    p.setPen(kWeekdays[i].color);
    p.drawText(WeekdayRect(i), Qt::AlignCenter | Qt::TextSingleLine, weekdayNames_[i]);
  }
  const QColor shadow = palette().color(QPalette::Dark);
  for (int i = 0; i < kCells; ++i) {
    const DayCell& cell = cells_[i];
    const QRect r = CellRect(i);
    const int left = r.left(), top = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
    if (i == pressed_ && leftHeld_) {
      p.setPen(QPen(shadow, 1));
      p.setBrush(kBackground);
      p.drawRect(QRect(left, top, r.width() - 1, r.height() - 1));
    }
    if (cell.marked) {
      const QRect frame(QPoint(left + 1, top + 1), QPoint(right - 2, bottom - 2));
      p.fillRect(QRect(frame.left(), frame.top(), frame.width(), 1), kMarkFrame);
      p.fillRect(QRect(frame.left(), frame.bottom(), frame.width(), 1), kMarkFrame);
      p.fillRect(QRect(frame.left(), frame.top(), 1, frame.height()), kMarkFrame);
      p.fillRect(QRect(frame.right(), frame.top(), 1, frame.height()), kMarkFrame);
    }
    if (i == selected_) p.fillRect(QRect(QPoint(left + 1, top + 1), QPoint(right - 1, bottom - 1)), kDark);
    if (!showNeighbours_ && cell.relation != 0) continue;
    p.setPen(i == selected_ ? QColor(255, 255, 255) : cell.relation != 0 ? kNeighbourText : cell.textColor);
    p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, cell.text);
  }
}
