// The timer counts from before main and never runs backwards.
#include <gtest/gtest.h>

#include "mytimer.h"

TEST(Timer, ReadingsStartNonNegativeAndNeverDecrease) {
  long double last = GetTimer_Q();
  EXPECT_GE(last, 0.0L);
  for (int i = 0; i < 100000; ++i) {
    const long double now = GetTimer_Q();
    ASSERT_GE(now, last);
    last = now;
  }
}
