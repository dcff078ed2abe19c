// The time left of long work, over made-up runs of progress: steps done at
// once (kept pieces) must neither count as time spent nor shorten the rest.
#include "os/work_time_left.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct Moment {
    const char* what;
    int count;
    int index;
    double within;
    std::set<int> atOnce;
    double elapsed;
    double bar;          // Fraction()
    const char* left;    // TimeLeftText(elapsed, TimedFraction())
};

TEST(WorkTimeLeft, MadeUpRunsOfProgress)
{
    const Moment moments[] = {
        {"before the first step", 4, 0, 0.0, {}, 3.0, 0.0, "estimating"},
        {"a step just begun: too little to guess from", 200, 1, 0.5, {}, 10.0, 0.0025, "estimating"},
        {"a quarter in 10 s: 30 s more", 4, 2, 0.0, {}, 10.0, 0.25, "about 0:30"},
        {"half of the second of four in 15 s", 4, 2, 0.5, {}, 15.0, 0.375, "about 0:25"},
        {"three kept pieces at once, then half a step in 6 s", 4, 4, 0.5, {1, 2, 3}, 6.0, 0.875, "about 0:06"},
        {"a kept piece under way adds nothing timed", 4, 2, 0.9, {2}, 8.0, 0.475, "about 0:16"},
        {"every step kept: no guess", 3, 3, 1.0, {1, 2, 3}, 1.0, 1.0, "estimating"},
        {"done", 2, 2, 1.0, {}, 40.0, 1.0, "about 0:00"},
        {"an hour and more to go", 100, 2, 0.0, {}, 60.0, 0.01, "about 1:39:00"},
        {"a clock that went back counts as no time", 4, 3, 0.0, {}, -5.0, 0.5, "about 0:00"},
        {"a step past the count stays within the bar", 2, 5, 0.5, {}, 10.0, 1.0, "about 0:00"},
    };
    for (const Moment& moment : moments) {
        SCOPED_TRACE(moment.what);
        WorkProgress progress;
        progress.count = moment.count;
        progress.index = moment.index;
        progress.within = moment.within;
        progress.atOnce = moment.atOnce;
        EXPECT_NEAR(progress.Fraction(), moment.bar, 1e-9);
        EXPECT_EQ(TimeLeftText(moment.elapsed, progress.TimedFraction()), moment.left);
    }
}

} // namespace
