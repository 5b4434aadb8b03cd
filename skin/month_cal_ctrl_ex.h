#pragma once
#include <array>
#include <vector>

#include <QColor>
#include <QDate>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

class QComboBox;

// A self-drawn month calendar: a dark title band with previous and next arrows
// and year and month lists, a weekday band, and 42 day cells (with the days of
// the neighbouring months). Marked days are framed in red. When the user
// changes the date (a click on a day or an arrow, a year or month chosen) it
// emits Notify(kDateChanged); changes from code are silent.
class CMonthCalCtrlEx : public QWidget {
  Q_OBJECT
public:
  static constexpr int kDateChanged = -101; // notification code
  static constexpr int kYearListId = 10001;
  static constexpr int kMonthListId = 10002;
  static constexpr int kCells = 42;
  static constexpr int kTitleHeight = 28;
  static constexpr int kWeekdayHeight = 15;
  static constexpr int kSeparatorHeight = 1;

  struct DayCell {
    QString text;       // the day number
    QDate date;
    int relation = 0;   // -1 previous month, 0 this month, 1 next month
    bool marked = false;
    QColor textColor;   // by column: Sunday red, Saturday blue, others black
  };

  explicit CMonthCalCtrlEx(QWidget* parent = nullptr);

  QDate GetCurSel() const { return current_; }
  // Fills the cells for the date's month and selects the date (no notification).
  void SetCurSel(QDate date, bool redraw = true);
  // Starts at today (or at 1 January 1970 when cleared).
  void ShowToday(bool show);
  // Whether the days of the neighbouring months are shown (they are by default).
  void ShowNeighbourDays(bool show);

  void ClearMarks();
  // Marks a day once; a day already marked is not added again.
  void MarkDay(const QDate& date);
  bool IsMarked(const QDate& date) const;
  const std::vector<QDate>& MarkedDays() const { return marks_; }

  const DayCell& Cell(int index) const { return cells_[index]; }
  int SelectedCell() const { return selected_; }
  int PressedCell() const { return pressed_; }
  int HoveredArrow() const { return hoverArrow_; }
  QRect CellRect(int index) const;
  QRect WeekdayRect(int index) const;
  // The two arrows: 0 previous month, 1 next month.
  QPolygon ArrowPolygon(int arrow) const;
  QComboBox* YearList() const { return yearList_; }
  QComboBox* MonthList() const { return monthList_; }
  QFont CalendarFont() const { return font_; }
  // The name drawn above a column (0 Sunday .. 6 Saturday), in the language in use.
  QString WeekdayName(int column) const { return weekdayNames_[column]; }

signals:
  void Notify(int code);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // A language change takes the weekday names anew.
  void changeEvent(QEvent* event) override;

private:
  void FillCells(const QDate& date);
  void RefillYearList(int year);
  void Layout();
  int ArrowAt(const QPoint& p) const;
  int CellAt(const QPoint& p) const;
  void TrackPointer(const QPoint& p, bool leftHeld);
  // A date chosen by the user: select it and notify when it differs.
  void ChooseDate(QDate date, bool redraw); // by value: the cells it may come from are refilled
  void OnYearChosen(int index);
  void OnMonthChosen(int index);

  void TranslateWeekdays();

  QFont font_;
  QString weekdayNames_[7];
  QComboBox* yearList_ = nullptr;
  QComboBox* monthList_ = nullptr;
  std::vector<QDate> marks_;
  std::array<DayCell, kCells> cells_;
  QDate current_;
  int selected_ = -1;
  int pressed_ = -1;
  int hoverArrow_ = -1;
  bool leftHeld_ = false;
  int listedYear_ = 0;
  int cellWidth_ = 20;
  int weekdayWidth_ = 20;
  int cellHeight_ = 12;
  int margin_ = 0;
  bool startToday_ = true;
  bool showNeighbours_ = true;
};
