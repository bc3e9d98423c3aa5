#include <gtest/gtest.h>

#include "core/Clock.h"

namespace calorix {
namespace {

TEST(VirtualClock, SleepsAdvanceTimeAndLocalTimeFollows) {
  VirtualClock clock(QDateTime(QDate(2026, 3, 5), QTime(23, 59, 59, 900)));
  clock.sleepMs(6030);
  EXPECT_EQ(clock.nowMs(), 6030);
  EXPECT_EQ(clock.localNow(), QDateTime(QDate(2026, 3, 6), QTime(0, 0, 5, 930)));
  clock.advanceTo(100);  // never goes back
  EXPECT_EQ(clock.nowMs(), 6030);
}

}  // namespace
}  // namespace calorix
