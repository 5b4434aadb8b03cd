#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include <QFocusEvent>
#include <QSignalSpy>
#include <QTest>

#include "app/qt_message_target.h"
#include "skin/skin_bitmaps.h"
#include "skin/skin_messages.h"
#include "skin/vx_skin_button.h"
#include "skin/vx_skin_sld_button.h"
#include "tests/skin/skin_app.h"

using skintest::Flush;
using skintest::Grab;

namespace {

// The cell of a strip that a grabbed button shows: compared on the strip's
// opaque pixels; -1 when no cell matches.
int ShownCell(QWidget* button, int strip) {
  const QImage shown = Grab(button);
  const QImage art = skin::LoadSkinImage(strip, 1.0).convertToFormat(QImage::Format_ARGB32);
  const int cw = art.width() / 4, h = art.height();
  for (int cell = 0; cell < 4; ++cell) {
    bool same = true;
    for (int y = 0; y < h && same; ++y)
      for (int x = 0; x < cw && same; ++x) {
        const QRgb a = art.pixel(cell * cw + x, y);
        if (qAlpha(a) == 255) same = (a & 0xFFFFFF) == (shown.pixel(x, y) & 0xFFFFFF);
      }
    if (same) return cell;
  }
  return -1;
}

// Records what a slider posts.
struct Recorder : platform::MessageTarget {
  std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>> posted;
  void Post(uint32_t m, uintptr_t w, intptr_t l) override { posted.emplace_back(m, w, l); }
};

class SkinButton : public ::testing::Test {
protected:
  static void SetUpTestSuite() { skintest::EnsureApp(); }
  void SetUp() override {
    parent_.resize(400, 200);
    parent_.show();
  }
  QWidget parent_;
};

TEST_F(SkinButton, TakesOneCellAndShowsTheStateCell) {
  CVxSkinButton button(&parent_);
  button.setGeometry(10, 20, 80, 80);
  ASSERT_TRUE(button.SetSkin(134));
  EXPECT_EQ(button.geometry(), QRect(10, 20, 28, 24));
  button.show();
  QSignalSpy clicks(&button, &QAbstractButton::clicked);

  EXPECT_EQ(ShownCell(&button, 134), 0);
  QTest::mouseMove(&button, QPoint(5, 5));
  EXPECT_EQ(ShownCell(&button, 134), 1) << "hover";
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(ShownCell(&button, 134), 2) << "pressed";
  QTest::mouseMove(&button, QPoint(60, 5));
  EXPECT_EQ(ShownCell(&button, 134), 0) << "dragged off while held";
  QTest::mouseMove(&button, QPoint(6, 6));
  EXPECT_EQ(ShownCell(&button, 134), 2) << "back over it";
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(6, 6));
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_NE(ShownCell(&button, 134), 2);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button, &leave);
  EXPECT_EQ(ShownCell(&button, 134), 0);
  button.setEnabled(false);
  EXPECT_EQ(ShownCell(&button, 134), 3) << "disabled";

  // Released away from the button: no click.
  button.setEnabled(true);
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseMove(&button, QPoint(60, 5));
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(60, 5));
  EXPECT_EQ(clicks.count(), 1);
}

TEST_F(SkinButton, CheckBoxesToggleAndRadiosUncheckTheirGroup) {
  CVxSkinButton check(&parent_), push(&parent_);
  check.SetKind(CVxSkinButton::kCheckBox);
  check.SetSkin(140);
  push.SetSkin(141);
  check.show();
  QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_TRUE(check.GetCheck());
  EXPECT_EQ(ShownCell(&check, 140), 2) << "checked shows the pressed cell";
  QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_FALSE(check.GetCheck());
  QTest::keyClick(&check, Qt::Key_Space);
  EXPECT_TRUE(check.GetCheck());
  push.SetCheck(true);
  EXPECT_FALSE(push.GetCheck()) << "a push button is never checked";
  QTest::mouseClick(&push, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_FALSE(push.GetCheck());

  CVxSkinButton a(&parent_), b(&parent_), c(&parent_), other(&parent_);
  for (CVxSkinButton* r : {&a, &b, &c, &other}) {
    r->SetKind(CVxSkinButton::kRadioButton);
    r->SetGroup(1);
    r->SetSkin(161);
    r->show();
  }
  other.SetGroup(2);
  a.SetCheck(true);
  other.SetCheck(true);
  Flush();
  QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_TRUE(b.GetCheck());
  EXPECT_TRUE(a.GetCheck()) << "the others hear of it through a posted message";
  Flush();
  EXPECT_FALSE(a.GetCheck());
  EXPECT_FALSE(c.GetCheck());
  EXPECT_TRUE(b.GetCheck());
  EXPECT_TRUE(other.GetCheck()) << "another group keeps its check";
  QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(4, 4));
  Flush();
  EXPECT_TRUE(b.GetCheck()) << "clicking a checked radio keeps it checked";
}

class SkinSlider : public SkinButton {
protected:
  void SetUp() override {
    SkinButton::SetUp();
    slider_ = new CVxSkinSldButton(&parent_);
    slider_->SetSkin(153); // 199 x 10
    slider_->SetThumb(154);
    slider_->SetRange(0, 8);
    slider_->SetPos(4);
    slider_->SetSliderNumber(3);
    slider_->SetMessageTarget(&posted_);
    slider_->show();
  }
  using Posted = std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>>;
  CVxSkinSldButton* slider_ = nullptr;
  Recorder posted_;
};

TEST_F(SkinSlider, PressDragAndReleasePostPositionsWithinTheRange) {
  ASSERT_EQ(slider_->width(), 199);
  struct Case {
    const char* name;
    int press, move, release;
    Posted expected;
  };
  const Case cases[] = {
      {"released in the middle", 100, 100, 100, {{WM_SKINSLIDER_DOWN, 3, 4}, {WM_SKINSLIDER_UP, 3, 4}}},
      {"released right of the track", 100, 250, 250,
       {{WM_SKINSLIDER_DOWN, 3, 4}, {WM_SKINSLIDER_MOVE, 3, 8}, {WM_SKINSLIDER_UP, 3, 8}}},
      {"released left of the track", 100, -100, -100,
       {{WM_SKINSLIDER_DOWN, 3, 4}, {WM_SKINSLIDER_MOVE, 3, 0}, {WM_SKINSLIDER_UP, 3, 0}}},
      {"a move within one step posts nothing", 100, 104, 104, {{WM_SKINSLIDER_DOWN, 3, 4}, {WM_SKINSLIDER_UP, 3, 4}}},
      {"pressed at the left end", 0, 0, 0, {{WM_SKINSLIDER_DOWN, 3, 0}, {WM_SKINSLIDER_UP, 3, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    posted_.posted.clear();
    QTest::mousePress(slider_, Qt::LeftButton, {}, QPoint(c.press, 5));
    EXPECT_TRUE(slider_->IsDragging());
    QTest::mouseMove(slider_, QPoint(c.move, 5));
    QTest::mouseRelease(slider_, Qt::LeftButton, {}, QPoint(c.release, 5));
    EXPECT_FALSE(slider_->IsDragging());
    EXPECT_EQ(posted_.posted, c.expected);
    EXPECT_EQ(slider_->GetPos(), std::get<2>(c.expected.back()));
    // The thumb snaps to the step on release.
    EXPECT_EQ(slider_->ThumbX(), static_cast<int>((199 - 10) * (slider_->GetPos() / 8.0)));
  }
}

TEST_F(SkinSlider, EmptyRangeReportsTheMinimum) {
  slider_->SetRange(5, 5);
  slider_->SetPos(5);
  EXPECT_EQ(slider_->Fraction(), 0.0);
  QTest::mousePress(slider_, Qt::LeftButton, {}, QPoint(150, 5));
  QTest::mouseMove(slider_, QPoint(20, 5));
  QTest::mouseRelease(slider_, Qt::LeftButton, {}, QPoint(20, 5));
  EXPECT_EQ(posted_.posted, (Posted{{WM_SKINSLIDER_DOWN, 3, 5}, {WM_SKINSLIDER_UP, 3, 5}}));
  EXPECT_EQ(slider_->ThumbX(), 0);
}

TEST_F(SkinSlider, LosingTheMouseEndsTheDrag) {
  QTest::mousePress(slider_, Qt::LeftButton, {}, QPoint(50, 5));
  ASSERT_TRUE(slider_->IsDragging());
  QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(slider_, &out);
  EXPECT_FALSE(slider_->IsDragging());
  EXPECT_FALSE(slider_->IsPressed());

  QTest::mousePress(slider_, Qt::LeftButton, {}, QPoint(50, 5));
  slider_->hide();
  EXPECT_FALSE(slider_->IsDragging());
}

// A window that records the slider's messages as they arrive, and what the
// slider says at that moment.
class Parent : public QWidget {
public:
  struct Seen {
    uint32_t message;
    intptr_t position;
    int sliderPos;
    bool dragging;
  };
  std::vector<Seen> seen;
  CVxSkinSldButton* slider = nullptr;

protected:
  bool event(QEvent* e) override {
    if (e->type() == MessageEvent::Type()) {
      auto* m = static_cast<MessageEvent*>(e);
      seen.push_back({m->Message(), m->LParam(), slider->GetPos(), slider->IsDragging()});
      return true;
    }
    return QWidget::event(e);
  }
};

TEST_F(SkinSlider, ParentGetsTheMessagesInOrderAfterTheSlidersOwnHandling) {
  Parent parent;
  parent.resize(300, 50);
  parent.show();
  CVxSkinSldButton slider(&parent);
  parent.slider = &slider;
  slider.SetSkin(133);
  slider.SetRange(0, 1000);
  slider.SetSliderNumber(1);
  slider.show();
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(61, 5));
  QTest::mouseMove(&slider, QPoint(122, 5));
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(183, 5));
  EXPECT_TRUE(parent.seen.empty()) << "posted, not sent";
  Flush();
  ASSERT_EQ(parent.seen.size(), 3u);
  EXPECT_EQ(parent.seen[0].message, WM_SKINSLIDER_DOWN);
  EXPECT_EQ(parent.seen[0].position, 250);
  EXPECT_EQ(parent.seen[1].message, WM_SKINSLIDER_MOVE);
  EXPECT_EQ(parent.seen[1].position, 500);
  EXPECT_EQ(parent.seen[2].message, WM_SKINSLIDER_UP);
  EXPECT_EQ(parent.seen[2].position, 750);
  EXPECT_EQ(parent.seen[2].sliderPos, 750);
  EXPECT_FALSE(parent.seen[2].dragging);
}

TEST_F(SkinSlider, ThumbIsCombinedOntoTheTrack) {
  const QImage track = skin::LoadSkinImage(153, 1.0);
  const QImage thumb = skin::LoadSkinImage(154, 1.0);
  for (int pos : {0, 4, 8}) {
    slider_->SetPos(pos);
    const int x = (199 - 10) * pos / 8;
    ASSERT_EQ(slider_->ThumbX(), x);
    const QImage shown = Grab(slider_);
    const int tx = 5, ty = 4; // a lit pixel of the thumb, one of the track below it
    const QRgb expected = (thumb.pixel(tx, ty) | track.pixel(x + tx, ty + 1)) & 0xFFFFFF;
    EXPECT_EQ(shown.pixel(x + tx, ty + 1) & 0xFFFFFF, expected) << pos;
    const int away = pos == 0 ? 150 : 20;
    EXPECT_EQ(shown.pixel(away, 1) & 0xFFFFFF, track.pixel(away, 1) & 0xFFFFFF) << "track elsewhere";
  }
}

} // namespace
