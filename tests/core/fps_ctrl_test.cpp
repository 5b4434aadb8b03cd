#include <gtest/gtest.h>

#include "core/fps_ctrl.h"
#include "tests/support/test_support.h"

using testsupport::ManualClock;
using testsupport::ScopedClock;

TEST(FpsCtrl, WaitsOnlyForDeadlinesMoreThanFiveMillisecondsAhead) {
  ManualClock clock;
  ScopedClock use(clock);
  CFpsCtrl fps(30);
  EXPECT_DOUBLE_EQ(fps.SetFps(25), 25);
  EXPECT_DOUBLE_EQ(fps.Interval(), 40);
  fps.Reset();
  size_t before = clock.Waits().size();
  fps.Wait(0); // the pending wake from SetFps ends this wait at once
  fps.Reset();
  fps.Wait(0);
  fps.Wait(6);
  fps.Wait(5);
  auto waits = clock.Waits();
  ASSERT_EQ(waits.size() - before, 3u);
  EXPECT_EQ(waits[before + 1], 40);
  EXPECT_EQ(waits[before + 2], 6);
}

TEST(FpsCtrl, CatchesUpAfterAStallWithoutSleeping) {
  ManualClock clock;
  ScopedClock use(clock);
  CFpsCtrl fps(25);
  fps.Reset();
  fps.Wait(0); // takes the wake of the constructor
  fps.Reset();
  clock.Advance(200); // five intervals late
  size_t before = clock.Waits().size();
  for (int i = 0; i < 5; ++i) fps.Wait(0);
  EXPECT_EQ(clock.Waits().size(), before) << "late pictures are not waited for";
  fps.Wait(0);
  ASSERT_EQ(clock.Waits().size(), before + 1);
  EXPECT_EQ(clock.Waits().back(), 40);
}

TEST(FpsCtrl, WakeEndsAWaitAtOnce) {
  ManualClock clock;
  ScopedClock use(clock);
  CFpsCtrl fps(1);
  fps.Reset();
  fps.Wait(0); // constructor's wake
  fps.Reset();
  int64_t start = clock.NowMs();
  fps.Wake();
  fps.Wait(0);
  EXPECT_EQ(clock.NowMs(), start) << "the one-second wait did not pass";
}

TEST(FpsCtrl, ARestartShowsTheNextPictureAtOnceAndPacesFromIt) {
  ManualClock clock;
  ScopedClock use(clock);
  CFpsCtrl fps(25);
  fps.Reset();
  fps.Wait(0); // constructor's wake
  fps.Reset();
  clock.Advance(300); // a picture slow to come after a seek: it is not "late"
  fps.Restart(40);
  const size_t before = clock.Waits().size();
  fps.Wait(40);
  EXPECT_EQ(clock.Waits().size(), before) << "the first picture is not waited for";
  EXPECT_DOUBLE_EQ(fps.Deadline(), static_cast<double>(clock.NowMs()));
  fps.Wait(40);
  ASSERT_EQ(clock.Waits().size(), before + 1);
  EXPECT_EQ(clock.Waits().back(), 40) << "the next one is one interval after it";
}
