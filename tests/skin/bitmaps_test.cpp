#include <gtest/gtest.h>

#include <map>
#include <set>

#include "skin/skin_bitmaps.h"
#include "tests/skin/skin_app.h"

namespace {

struct Expected {
  int number;
  int width;
  int height;
  int cells;
};

// Every numbered bitmap the windows use, written out from their layout tables.
// Sizes marked "ours" are not fixed by the layouts and are the artwork's choice.
const Expected kShared[] = {
    {459, 480, 30, 1},                                           // title banner
    {134, 112, 24, 4}, {135, 112, 24, 4}, {136, 112, 24, 4},     // close, maximize, minimize
    {158, 15, 51, 1},                                            // compass needle
    {161, 128, 22, 4}, {146, 128, 22, 4}, {447, 128, 22, 4}, {141, 128, 22, 4}, {142, 128, 22, 4},
    {140, 128, 22, 4}, {145, 128, 22, 4}, {162, 128, 22, 4}, {450, 128, 22, 4}, {451, 128, 22, 4},
    {452, 128, 22, 4}, {456, 128, 22, 4},                        // button rows 1 and 2: 32 x 22 cells
    {139, 148, 34, 4}, {449, 148, 34, 4}, {147, 148, 34, 4}, {437, 148, 34, 4}, {163, 148, 34, 4}, // row 3
    {457, 128, 22, 4}, {148, 128, 22, 4}, {138, 128, 22, 4}, {143, 128, 22, 4}, {144, 128, 22, 4}, // ours
    {166, 52, 20, 1}, {167, 52, 20, 1},                          // unit pictures: the control's size
    {151, 24, 18, 1}, {155, 10, 16, 1}, {154, 10, 8, 1},         // thumbs (ours)
    {170, 120, 360, 1},                                          // dialogs' side decoration (ours)
};

const std::map<int, std::vector<Expected>> kByMode = {
    {0, {{438, 960, 600, 1}, {439, 203, 600, 1}, {446, 732, 18, 4}, {442, 596, 16, 4}, {445, 596, 8, 4},
         {441, 188, 55, 1}, {440, 162, 171, 1}, {444, 152, 35, 1}, {443, 152, 35, 1}}},
    {1, {{131, 1280, 800, 1}, {130, 271, 800, 1}, {133, 976, 18, 4}, {152, 796, 16, 4}, {153, 796, 10, 4},
         {132, 251, 73, 1}, {156, 216, 209, 1}, {159, 202, 46, 1}, {160, 202, 46, 1}}},
    {2, {{448, 1920, 1080, 1}, {454, 271, 800, 1}, {133, 976, 18, 4}, {152, 796, 16, 4}, {153, 796, 10, 4},
         {132, 251, 73, 1}, {156, 216, 209, 1}, {159, 202, 46, 1}, {160, 202, 46, 1}}},
};

class SkinBitmaps : public ::testing::Test {
protected:
  static void SetUpTestSuite() { skintest::EnsureApp(); }
};

TEST_F(SkinBitmaps, TableHoldsExactlyTheNumbersTheWindowsUse) {
  std::set<int> expected;
  for (const Expected& e : kShared) expected.insert(e.number);
  for (const auto& [mode, list] : kByMode)
    for (const Expected& e : list) expected.insert(e.number);
  std::set<int> table;
  for (const skin::SkinBitmapInfo& info : skin::SkinBitmapTable()) table.insert(info.number);
  EXPECT_EQ(table, expected);
}

TEST_F(SkinBitmaps, EveryModeHasEveryBitmapAtItsSizeAndCells) {
  for (const auto& [mode, specific] : kByMode) {
    std::vector<Expected> all(std::begin(kShared), std::end(kShared));
    all.insert(all.end(), specific.begin(), specific.end());
    const std::vector<int> used = skin::SkinBitmapsForMode(mode);
    EXPECT_EQ(used.size(), all.size()) << "mode " << mode;
    for (const Expected& e : all) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << ", bitmap " << e.number);
      EXPECT_NE(std::find(used.begin(), used.end(), e.number), used.end());
      const skin::SkinBitmapInfo* info = skin::FindSkinBitmap(e.number);
      ASSERT_NE(info, nullptr);
      EXPECT_EQ(info->width, e.width);
      EXPECT_EQ(info->height, e.height);
      EXPECT_EQ(info->cells, e.cells);
      const QImage image = skin::LoadSkinImage(e.number, 1.0);
      ASSERT_FALSE(image.isNull());
      EXPECT_EQ(image.size(), QSize(e.width, e.height));
      if (e.cells == 4) {
        // The states must look different: normal, hover and disabled cells differ.
        const int cw = e.width / 4;
        const QImage normal = image.copy(0, 0, cw, e.height);
        EXPECT_NE(normal, image.copy(cw, 0, cw, e.height)) << "hover looks like normal";
        EXPECT_NE(normal, image.copy(3 * cw, 0, cw, e.height)) << "disabled looks like normal";
      }
    }
  }
}

TEST_F(SkinBitmaps, ModeTableNamesTheModesBitmaps) {
  for (const auto& [mode, specific] : kByMode) {
    const skin::SkinModeBitmaps& m = skin::SkinBitmapsOf(mode);
    std::set<int> named = {m.mainBackground, m.panelBackground, m.positionTrack, m.volumeTrack, m.speedTrack,
                           m.gsensorGraph,   m.compassDial,     m.volumeFilled,  m.volumeEmpty};
    std::set<int> expected;
    for (const Expected& e : specific) expected.insert(e.number);
    EXPECT_EQ(named, expected) << "mode " << mode;
  }
  // Thumbs fit the height of their tracks in every layout.
  for (int mode = 0; mode < 3; ++mode) {
    const skin::SkinModeBitmaps& m = skin::SkinBitmapsOf(mode);
    for (auto [track, thumb] : {std::pair{m.positionTrack, 151}, {m.volumeTrack, 155}, {m.speedTrack, 154}})
      EXPECT_LE(skin::FindSkinBitmap(thumb)->height, skin::FindSkinBitmap(track)->height) << track;
  }
}

TEST_F(SkinBitmaps, RendersAtThePixelRatioKeepingTheLogicalSize) {
  const QPixmap sharp = skin::LoadSkinBitmap(134, 2.0);
  ASSERT_FALSE(sharp.isNull());
  EXPECT_EQ(sharp.size(), QSize(224, 48));
  EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(112, 24));
  EXPECT_TRUE(skin::LoadSkinBitmap(12345).isNull());
  EXPECT_EQ(skin::FindSkinBitmap(12345), nullptr);
}

} // namespace
