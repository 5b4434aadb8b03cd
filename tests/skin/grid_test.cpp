#include <gtest/gtest.h>

#include <numeric>

#include <QSignalSpy>
#include <QTest>

#include "skin/grid_ctrl.h"
#include "tests/skin/skin_app.h"

namespace {

class Grid : public ::testing::Test {
protected:
  static void SetUpTestSuite() { skintest::EnsureApp(); }
};

TEST_F(Grid, ColumnWidthsShareTheWidthExactly) {
  struct Case {
    int width, columns;
  };
  for (Case c : {Case{328, 30}, {247, 30}, {233, 12}, {311, 12}, {658, 60}, {622, 24}, {5, 7}}) {
    SCOPED_TRACE(testing::Message() << c.width << " over " << c.columns);
    const std::vector<int> widths = GridColumnWidths(c.width, c.columns);
    ASSERT_EQ(static_cast<int>(widths.size()), c.columns);
    EXPECT_EQ(std::accumulate(widths.begin(), widths.end(), 0), c.width);
    const auto [lo, hi] = std::minmax_element(widths.begin(), widths.end());
    EXPECT_EQ(*lo, c.width / c.columns);
    EXPECT_LE(*hi - *lo, 1);
  }
  EXPECT_TRUE(GridColumnWidths(100, 0).empty());
}

// A timeline as the main window builds it: one row, widths from the client width.
struct Timeline {
  explicit Timeline(int width, int columns) {
    grid.resize(width + 20, 14);
    grid.SetRowCount(1);
    grid.SetColumnCount(columns);
    grid.SetRowHeight(0, 15);
    widths = GridColumnWidths(width, columns);
    for (int c = 0; c < columns; ++c) grid.SetColumnWidth(c, widths[c]);
    grid.show();
  }
  int Left(int c) const { return std::accumulate(widths.begin(), widths.begin() + c, 0); }
  CGridCtrl grid;
  std::vector<int> widths;
};

TEST_F(Grid, ClicksReportTheCell) {
  Timeline t(247, 30);
  QSignalSpy clicks(&t.grid, &CGridCtrl::Clicked);
  for (int c : {0, 1, 17, 29}) {
    for (int x : {t.Left(c), t.Left(c) + t.widths[c] - 1}) {
      QTest::mouseClick(&t.grid, Qt::LeftButton, {}, QPoint(x, 5));
      ASSERT_FALSE(clicks.isEmpty());
      const QList<QVariant> args = clicks.takeLast();
      EXPECT_EQ(args[0].toInt(), 0);
      EXPECT_EQ(args[1].toInt(), c) << "x " << x;
      EXPECT_EQ(t.grid.GetClickedCell().col, c);
    }
  }
  EXPECT_EQ(t.grid.GetFocusCell().col, 29);
  QTest::mouseClick(&t.grid, Qt::LeftButton, {}, QPoint(250, 5)); // right of the last column
  EXPECT_EQ(clicks.takeLast()[1].toInt(), -1);
  t.grid.SetFocusCell(-1, -1);
  EXPECT_FALSE(t.grid.GetFocusCell().IsValid());
}

TEST_F(Grid, CellsKeepTextFontAndColourByTheItemMask) {
  Timeline t(328, 30);
  CGridCtrl::Item item;
  item.mask = CGridCtrl::Item::kText | CGridCtrl::Item::kBkColor;
  item.col = 5;
  item.text = "05";
  item.bkColor = QColor(0, 255, 0);
  ASSERT_TRUE(t.grid.SetItem(item));
  item.mask = CGridCtrl::Item::kBkColor;
  item.text = "ignored";
  item.bkColor = QColor(255, 0, 0);
  ASSERT_TRUE(t.grid.SetItem(item));
  EXPECT_EQ(t.grid.GetItemText(0, 5), "05");
  EXPECT_EQ(t.grid.GetItemBkColour(0, 5), QColor(255, 0, 0));
  EXPECT_FALSE(t.grid.SetItemBkColour(1, 0, Qt::red)) << "no such row";
  EXPECT_FALSE(t.grid.GetItemBkColour(0, 30).isValid());

  t.grid.SetItemBkColour(0, 0, QColor(104, 104, 104));
  const QImage shown = skintest::Grab(&t.grid);
  EXPECT_EQ(QColor(shown.pixel(t.Left(5) + 1, 2)), QColor(255, 0, 0));
  EXPECT_EQ(QColor(shown.pixel(2, 2)), QColor(104, 104, 104));

  t.grid.DeleteAllItems();
  EXPECT_EQ(t.grid.GetRowCount(), 0);
  EXPECT_EQ(t.grid.GetColumnCount(), 0);
  EXPECT_FALSE(t.grid.GetItemBkColour(0, 5).isValid());
  EXPECT_FALSE(t.grid.SetRowCount(-1));
}

} // namespace
