#include <gtest/gtest.h>

#include <QTest>

#include "skin/skin_bitmaps.h"
#include "skin/vx_skin_dialog.h"
#include "tests/skin/skin_app.h"

using skintest::Grab;

namespace {

class SkinDialog : public ::testing::Test {
protected:
  static void SetUpTestSuite() { skintest::EnsureApp(); }
  void SetUp() override {
    QPalette pal = dialog_.palette();
    pal.setColor(QPalette::Window, kUnpainted);
    dialog_.setPalette(pal);
    art_ = skin::LoadSkinImage(438, 1.0).convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(dialog_.SetBackground(438));
  }
  // True when the grabbed area at `to` equals the picture's area at `from`.
  bool SameArea(const QImage& shown, QRect to, QPoint from) const {
    return shown.copy(to) == art_.copy(QRect(from, to.size()));
  }
  const QColor kUnpainted{255, 0, 255};
  CVxSkinDialog dialog_;
  QImage art_;
};

TEST_F(SkinDialog, ExactSizeShowsThePictureUnchanged) {
  dialog_.resize(960, 600);
  EXPECT_EQ(Grab(&dialog_), art_);
  EXPECT_EQ(dialog_.mask(), QRegion(0, 0, 960, 600));
  // An odd width (the small panel, 203 x 600) shows whole, without a seam.
  dialog_.SetBackground(439);
  dialog_.resize(203, 600);
  EXPECT_EQ(Grab(&dialog_), skin::LoadSkinImage(439, 1.0).convertToFormat(QImage::Format_RGB32));
}

TEST_F(SkinDialog, LargerClientStretchesTheEdgesAndLeavesTheCentre) {
  dialog_.resize(1000, 640);
  const QImage shown = Grab(&dialog_);
  EXPECT_TRUE(SameArea(shown, QRect(0, 0, 480, 300), QPoint(0, 0)));
  EXPECT_TRUE(SameArea(shown, QRect(520, 0, 480, 300), QPoint(480, 0)));
  EXPECT_TRUE(SameArea(shown, QRect(0, 340, 480, 300), QPoint(0, 300)));
  EXPECT_TRUE(SameArea(shown, QRect(520, 340, 480, 300), QPoint(480, 300)));
  // The 40 x 40 centre stays unpainted.
  for (int y = 300; y < 340; ++y)
    for (int x = 480; x < 520; ++x) ASSERT_EQ(QColor(shown.pixel(x, y)), kUnpainted) << x << "," << y;
  // The top edge gap repeats pixels of the 96-pixel strip right of the middle,
  // the left edge gap pixels of the 60-pixel strip below it.
  for (int y = 0; y < 300; y += 13)
    for (int x = 480; x < 520; x += 7) {
      bool found = false;
      for (int sx = 480; sx < 576 && !found; ++sx) found = art_.pixel(sx, y) == shown.pixel(x, y);
      ASSERT_TRUE(found) << x << "," << y;
    }
  for (int x = 0; x < 480; x += 11)
    for (int y = 300; y < 340; y += 5) {
      bool found = false;
      for (int sy = 300; sy < 360 && !found; ++sy) found = art_.pixel(x, sy) == shown.pixel(x, y);
      ASSERT_TRUE(found) << x << "," << y;
    }
}

TEST_F(SkinDialog, SmallerClientShowsAnUnscaledCrop) {
  dialog_.resize(900, 500);
  EXPECT_EQ(Grab(&dialog_), art_.copy(0, 0, 900, 500));
}

TEST_F(SkinDialog, CornerEllipseRoundsTheWindowShape) {
  dialog_.resize(960, 600);
  dialog_.SetCornerEllipse(40, 40);
  EXPECT_FALSE(dialog_.mask().contains(QPoint(0, 0)));
  EXPECT_FALSE(dialog_.mask().contains(QPoint(959, 599)));
  EXPECT_TRUE(dialog_.mask().contains(QPoint(480, 0)));
  EXPECT_TRUE(dialog_.mask().contains(QPoint(20, 20)));
}

TEST_F(SkinDialog, DraggingTheClientAreaMovesTheWindow) {
  dialog_.resize(960, 600);
  dialog_.move(100, 100);
  dialog_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
  const QPoint start = dialog_.pos();
  QTest::mousePress(&dialog_, Qt::LeftButton, {}, QPoint(300, 10));
  // Offscreen there is no window-system move: the window follows the mouse.
  QTest::mouseMove(&dialog_, QPoint(330, 30));
  QTest::mouseRelease(&dialog_, Qt::LeftButton, {}, QPoint(330, 30));
  EXPECT_EQ(dialog_.pos(), start + QPoint(30, 20));

  dialog_.EnableDrag(false);
  QTest::mousePress(&dialog_, Qt::LeftButton, {}, QPoint(300, 10));
  QTest::mouseMove(&dialog_, QPoint(200, 100));
  QTest::mouseRelease(&dialog_, Qt::LeftButton, {}, QPoint(200, 100));
  EXPECT_EQ(dialog_.pos(), start + QPoint(30, 20));
}

TEST_F(SkinDialog, WithoutAPictureTheDialogPaintsItsDefault) {
  CVxSkinDialog plain;
  QPalette pal = plain.palette();
  pal.setColor(QPalette::Window, kUnpainted);
  plain.setPalette(pal);
  EXPECT_TRUE(plain.SetBackground(99999));
  EXPECT_FALSE(plain.HasBackground());
  plain.resize(50, 40);
  EXPECT_EQ(QColor(Grab(&plain).pixel(25, 20)), kUnpainted);
}

} // namespace
