#include <gtest/gtest.h>

#include <vector>

#include "skin/digi_static.h"
#include "tests/skin/skin_app.h"

using skintest::Grab;

namespace {

class Digits : public ::testing::Test {
protected:
  static void SetUpTestSuite() { skintest::EnsureApp(); }
};

std::vector<std::pair<int, int>> WidthsAndMasks(const QString& text, int style) {
  std::vector<std::pair<int, int>> out;
  for (const auto& c : CDigiStatic::BuildCharacters(text, style)) out.emplace_back(c->Width(), c->Mask());
  return out;
}

TEST_F(Digits, TextGivesCharactersByKindAndStyle) {
  using V = std::vector<std::pair<int, int>>;
  struct Case {
    QString text;
    int style;
    V expected;
  };
  const Case cases[] = {
      {"12.5", 0x16, {{49, 0x1800}, {49, 0x36C0}, {18, 0x04}, {49, 0x2DC0}}},
      {"12.5", 0x14, {{49, 0x24}, {49, 0x5D}, {18, 0x04}, {49, 0x6B}}},
      {"-", 0x00, {{49, 0x08}}},            // 7-segment middle bar
      {"-", 0x02, {{49, 0x00C0}}},          // the two middle half-bars
      {"12:34", 0x00, {{49, 0x24}, {49, 0x5D}, {18, 0x03}, {49, 0x6D}, {49, 0x2E}}},
      {"kmh", 0x00, {{49, 0x0354}, {49, 0x1B06}, {49, 0x1BC0}}}, // lower case as upper case
      {"A#b", 0x00, {{49, 0x3BC0}, {49, 0x3CA1}}},              // characters without a rule are skipped
      {" 8", 0x00, {{49, 0x00}, {49, 0x7F}}},
      {"", 0x16, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(WidthsAndMasks(c.text, c.style), c.expected) << c.text.toStdString();
  const auto chars = CDigiStatic::BuildCharacters("12.5", 0x16);
  int total = 0;
  for (const auto& c : chars) total += c->Width();
  EXPECT_EQ(total, 165);
  EXPECT_EQ(chars[0]->SegmentCount(), 14);
  EXPECT_EQ(chars[2]->SegmentCount(), 3);
  EXPECT_EQ(CDigiStatic::BuildCharacters("1", 0)[0]->SegmentCount(), 7);
  EXPECT_TRUE(CDigiStatic::BuildCharacters("1", 0x08)[0]->HideUnlit());
}

TEST_F(Digits, SegmentShapesMirrorAboutTheCharacterAxes) {
  auto seven = CDigiStatic::BuildCharacters("8", 0)[0]->Segments();
  ASSERT_EQ(seven.size(), 7u);
  EXPECT_EQ(seven[2], (std::vector<QPoint>{{44, 6}, {44, 40}, {37, 36}, {37, 13}}));  // upper left mirrored in x
  EXPECT_EQ(seven[5], (std::vector<QPoint>{{44, 76}, {44, 42}, {37, 46}, {37, 69}})); // turned
  EXPECT_EQ(seven[6], (std::vector<QPoint>{{5, 78}, {12, 71}, {36, 71}, {43, 78}}));  // top bar mirrored in y
  auto fourteen = CDigiStatic::BuildCharacters("8", 0x02)[0]->Segments();
  ASSERT_EQ(fourteen.size(), 14u);
  EXPECT_EQ(fourteen[10], (std::vector<QPoint>{{6, 78}, {11, 71}, {37, 71}, {42, 78}}));
  EXPECT_EQ(fourteen[11], (std::vector<QPoint>{{44, 75}, {44, 42}, {37, 46}, {37, 56}}));
}

TEST_F(Digits, ControlStateAndStyleChanges) {
  CDigiStatic digits;
  digits.SetCaption("88");
  EXPECT_EQ(digits.Characters().size(), 2u) << "a never-set text shows the caption";
  EXPECT_EQ(digits.DigiStyle(), 0x14);
  EXPECT_FALSE(digits.ModifyDigiStyle(0x04, 0x04));
  EXPECT_EQ(digits.DigiStyle(), 0x14);
  EXPECT_TRUE(digits.ModifyDigiStyle(0, 0x06));
  EXPECT_EQ(digits.DigiStyle(), 0x16);
  digits.SetText("12.5");
  EXPECT_EQ(digits.Characters()[0]->SegmentCount(), 14);
  digits.Format("%3.0f", 7.4);
  EXPECT_EQ(digits.Text(), "  7");
  EXPECT_EQ(digits.SetBkColor(QColor(1, 2, 3)), QColor(0, 0, 0));
}

// Counts pixels of a colour in a column range.
int Count(const QImage& image, QColor colour, int x0, int x1) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = x0; x < x1; ++x) n += QColor(image.pixel(x, y)) == colour;
  return n;
}

TEST_F(Digits, DrawsLitAndUnlitSegmentsScaledToTheControl) {
  CDigiStatic digits;
  const QColor on(0, 255, 0), off(0, 52, 0), back(0, 0, 0);
  digits.ModifyDigiStyle(0x14, 0); // stretched, outlines in the segment colours
  digits.SetText("1");
  digits.resize(49, 83);
  QImage shown = Grab(&digits);
  EXPECT_EQ(QColor(shown.pixel(40, 25)), on) << "upper right lit";
  EXPECT_EQ(QColor(shown.pixel(8, 25)), off) << "upper left unlit";
  EXPECT_EQ(QColor(shown.pixel(24, 41)), off) << "middle bar unlit";
  EXPECT_EQ(QColor(shown.pixel(24, 1)), back);

  digits.ModifyDigiStyle(0, 0x08); // hide unlit
  shown = Grab(&digits);
  EXPECT_EQ(QColor(shown.pixel(8, 25)), back);

  // Stretched across a wide control, or kept in proportion and centred.
  digits.ModifyDigiStyle(0x08, 0);
  digits.SetText("8");
  digits.resize(490, 83);
  shown = Grab(&digits);
  EXPECT_GT(Count(shown, on, 0, 100), 100) << "stretched: lit at the left";
  EXPECT_GT(Count(shown, on, 390, 490), 100) << "stretched: lit at the right";
  digits.ModifyDigiStyle(0, 0x04);
  shown = Grab(&digits);
  EXPECT_EQ(Count(shown, on, 0, 200), 0) << "proportional: centred";
  EXPECT_GT(Count(shown, on, 220, 270), 100);

  // Blended outlines: 3/4 segment colour, 1/4 background.
  digits.SetBkColor(QColor(0, 0, 200));
  digits.ModifyDigiStyle(0, 0x10);
  shown = Grab(&digits);
  EXPECT_GT(Count(shown, QColor(0, 191, 50), 0, 490), 0);

  digits.SetText("");
  shown = Grab(&digits);
  EXPECT_EQ(Count(shown, QColor(0, 0, 200), 0, 490), 490 * 83) << "an empty text paints only the background";
}

} // namespace
