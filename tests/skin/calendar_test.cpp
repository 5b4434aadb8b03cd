#include <gtest/gtest.h>

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>

#include "skin/month_cal_ctrl_ex.h"
#include "tests/skin/skin_app.h"

namespace {

class Calendar : public ::testing::Test {
protected:
  static void SetUpTestSuite() { skintest::EnsureApp(); }
  void SetUp() override {
    cal_.resize(247, 147); // the 1280*800 layout
    cal_.show();
  }
  void Click(QPoint p) {
    QTest::mouseMove(&cal_, p);
    QTest::mousePress(&cal_, Qt::LeftButton, {}, p);
    QTest::mouseRelease(&cal_, Qt::LeftButton, {}, p);
  }
  void ClickCell(int index) { Click(cal_.CellRect(index).center()); }
  void ClickArrow(int arrow) { Click(arrow == 0 ? QPoint(20, 14) : QPoint(cal_.width() - 20, 14)); }
  CMonthCalCtrlEx cal_;
};

TEST_F(Calendar, FortyTwoCellsWithTheNeighbouringDays) {
  struct Case {
    QDate date;
    int lead;        // cells of the previous month
    QDate firstCell; // date of cell 0
    QDate lastCell;  // date of cell 41
  };
  const Case cases[] = {
      {QDate(2023, 10, 15), 7, QDate(2023, 9, 24), QDate(2023, 11, 4)}, // starts on a Sunday: a whole row before
      {QDate(2024, 2, 29), 4, QDate(2024, 1, 28), QDate(2024, 3, 9)},   // leap February, starts on a Thursday
      {QDate(2024, 1, 1), 1, QDate(2023, 12, 31), QDate(2024, 2, 10)},  // starts on a Monday
      {QDate(2015, 2, 1), 7, QDate(2015, 1, 25), QDate(2015, 3, 7)},    // 28 days from a Sunday
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
    cal_.SetCurSel(c.date, true);
    EXPECT_EQ(cal_.GetCurSel(), c.date);
    EXPECT_EQ(cal_.Cell(0).date, c.firstCell);
    EXPECT_EQ(cal_.Cell(41).date, c.lastCell);
    const int n = c.date.daysInMonth();
    for (int i = 0; i < CMonthCalCtrlEx::kCells; ++i) {
      const int expected = i < c.lead ? -1 : i < c.lead + n ? 0 : 1;
      ASSERT_EQ(cal_.Cell(i).relation, expected) << i;
      ASSERT_EQ(cal_.Cell(i).date, c.firstCell.addDays(i));
      ASSERT_EQ(cal_.Cell(i).text, QString::number(cal_.Cell(i).date.day()));
    }
    EXPECT_EQ(cal_.Cell(c.lead).date.day(), 1);
    EXPECT_EQ(cal_.SelectedCell(), c.lead + c.date.day() - 1);
  }
  EXPECT_EQ(cal_.Cell(0).textColor, QColor(255, 0, 0));
  EXPECT_EQ(cal_.Cell(6).textColor, QColor(0, 0, 255));
  EXPECT_EQ(cal_.Cell(3).textColor, QColor(0, 0, 0));
}

TEST_F(Calendar, WithoutNeighbouringDaysTheFirstSitsUnderItsWeekday) {
  cal_.ShowNeighbourDays(false);
  cal_.SetCurSel(QDate(2024, 2, 10), true);
  EXPECT_EQ(cal_.Cell(4).date, QDate(2024, 2, 1)); // a Thursday
  cal_.SetCurSel(QDate(2023, 10, 3), true);
  EXPECT_EQ(cal_.Cell(0).date, QDate(2023, 10, 1)); // a Sunday
  // Cells of other months are not drawn and cannot be chosen.
  QSignalSpy notes(&cal_, &CMonthCalCtrlEx::Notify);
  ClickCell(40);
  EXPECT_EQ(notes.count(), 0);
  EXPECT_EQ(cal_.GetCurSel(), QDate(2023, 10, 3));
}

TEST_F(Calendar, MarksAreKeptOnceAndShownInAnyMonth) {
  cal_.SetCurSel(QDate(2023, 10, 15), true);
  cal_.MarkDay(QDate(2023, 10, 20));
  cal_.MarkDay(QDate(2023, 10, 20));
  cal_.MarkDay(QDate(2023, 11, 2)); // shown in October's last rows
  cal_.MarkDay(QDate(2023, 12, 25)); // not shown now
  EXPECT_EQ(cal_.MarkedDays().size(), 3u);
  EXPECT_TRUE(cal_.Cell(7 + 19).marked);
  EXPECT_TRUE(cal_.Cell(7 + 31 + 1).marked);
  EXPECT_TRUE(cal_.IsMarked(QDate(2023, 12, 25)));
  int marked = 0;
  for (int i = 0; i < CMonthCalCtrlEx::kCells; ++i) marked += cal_.Cell(i).marked;
  EXPECT_EQ(marked, 2);

  // The frame is drawn one pixel inside the cell.
  const QRect r = cal_.CellRect(7 + 19);
  QImage shown = skintest::Grab(&cal_);
  EXPECT_EQ(QColor(shown.pixel(r.left() + 1, r.top() + 3)), QColor(255, 0, 0));
  EXPECT_EQ(QColor(shown.pixel(r.left() + r.width() - 2, r.top() + 3)), QColor(255, 0, 0));

  cal_.SetCurSel(QDate(2023, 12, 1), true);
  const int lead = QDate(2023, 12, 1).dayOfWeek();
  EXPECT_TRUE(cal_.Cell(lead + 24).marked);
  cal_.ClearMarks();
  EXPECT_TRUE(cal_.MarkedDays().empty());
  EXPECT_FALSE(cal_.Cell(lead + 24).marked);
}

TEST_F(Calendar, UserChangesNotifyAndCodeChangesDoNot) {
  QSignalSpy notes(&cal_, &CMonthCalCtrlEx::Notify);
  cal_.SetCurSel(QDate(2023, 10, 15), true);
  EXPECT_EQ(notes.count(), 0);

  ClickCell(7 + 19); // 20 October
  EXPECT_EQ(cal_.GetCurSel(), QDate(2023, 10, 20));
  ASSERT_EQ(notes.count(), 1);
  EXPECT_EQ(notes[0][0].toInt(), CMonthCalCtrlEx::kDateChanged);
  EXPECT_EQ(cal_.SelectedCell(), 26);
  const QRect sel = cal_.CellRect(26);
  EXPECT_EQ(QColor(skintest::Grab(&cal_).pixel(sel.left() + 2, sel.top() + 2)), QColor(37, 37, 37));

  ClickCell(7 + 19); // the same day again
  EXPECT_EQ(notes.count(), 1);

  ASSERT_EQ(cal_.Cell(40).date, QDate(2023, 11, 3));
  ClickCell(40); // 3 November, shown in the last row
  EXPECT_EQ(cal_.GetCurSel(), QDate(2023, 11, 3));
  EXPECT_EQ(notes.count(), 2);
  EXPECT_EQ(cal_.Cell(cal_.SelectedCell()).date, QDate(2023, 11, 3));
  EXPECT_EQ(cal_.Cell(cal_.SelectedCell()).relation, 0);
}

TEST_F(Calendar, ArrowsMoveAMonthKeepingTheDayWithinIt) {
  QSignalSpy notes(&cal_, &CMonthCalCtrlEx::Notify);
  struct Case {
    QDate from;
    int arrow;
    QDate to;
  };
  const Case cases[] = {
      {QDate(2023, 1, 31), 1, QDate(2023, 2, 28)}, {QDate(2024, 1, 31), 1, QDate(2024, 2, 29)},
      {QDate(2024, 3, 31), 0, QDate(2024, 2, 29)}, {QDate(2024, 1, 15), 0, QDate(2023, 12, 15)},
      {QDate(2023, 12, 15), 1, QDate(2024, 1, 15)},
  };
  int expectedNotes = 0;
  for (const Case& c : cases) {
    cal_.SetCurSel(c.from, true);
    ClickArrow(c.arrow);
    EXPECT_EQ(cal_.GetCurSel(), c.to) << c.from.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(notes.count(), ++expectedNotes);
  }
  EXPECT_EQ(cal_.HoveredArrow(), 1);
}

TEST_F(Calendar, YearAndMonthListsChooseADate) {
  QSignalSpy notes(&cal_, &CMonthCalCtrlEx::Notify);
  cal_.SetCurSel(QDate(2024, 2, 29), true);
  QComboBox* years = cal_.YearList();
  ASSERT_EQ(years->count(), 11);
  EXPECT_EQ(years->itemText(0), "2019");
  EXPECT_EQ(years->currentText(), "2024");
  emit years->activated(0); // the user picks 2019
  EXPECT_EQ(cal_.GetCurSel(), QDate(2019, 2, 28));
  EXPECT_EQ(notes.count(), 1);
  EXPECT_EQ(years->currentText(), "2019");
  EXPECT_EQ(years->itemText(0), "2014") << "refilled around the new year";

  QComboBox* months = cal_.MonthList();
  EXPECT_EQ(months->currentText(), "2");
  cal_.SetCurSel(QDate(2019, 5, 31), true);
  EXPECT_EQ(months->currentText(), "5");
  EXPECT_EQ(notes.count(), 1);
  emit months->activated(5); // June has 30 days
  EXPECT_EQ(cal_.GetCurSel(), QDate(2019, 6, 30));
  EXPECT_EQ(notes.count(), 2);
}

} // namespace
