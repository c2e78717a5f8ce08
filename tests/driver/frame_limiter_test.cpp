// The frame limiter (fps_limit): on the stand-ins' virtual clock, flips are
// spaced by 1/N s, the wait mostly slept, a late frame not made up for; off
// by default, when a flip never reads the clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "api/kxapi.h"
#include "platform/posix/standin_control.h"
#include "platform/win32.h"

namespace {

// Flips `frames` frames, each after `workMs` of work, and returns the clock
// (microseconds) after each flip.
std::vector<uint64_t> flipTimes(int frames, unsigned workMs) {
    std::vector<uint64_t> times;
    for (int f = 0; f < frames; ++f) {
        Sleep(workMs);
        EXPECT_EQ(PageFlip(), 0);
        times.push_back(kxstandClockUs());
    }
    return times;
}

TEST(FrameLimiter, FlipsAreSpacedByTheLimit) {
    setenv("KXPWRVR_FPS_LIMIT", "60", 1); // read when the driver first needs it
    ASSERT_EQ(Init(), 1);
    const int sleepsBefore = kxstandCallCount("Sleep");
    const std::vector<uint64_t> times = flipTimes(30, 5);
    for (size_t i = 1; i < times.size(); ++i) {
        const uint64_t gap = times[i] - times[i - 1];
        EXPECT_GE(gap, 1000000u / 60) << "frame " << i;
        EXPECT_LE(gap, 1000000u / 60 + 50) << "frame " << i; // the clock's readings
    }
    // The wait is slept but for its last millisecond: one sleep a frame.
    EXPECT_EQ(kxstandCallCount("Sleep") - sleepsBefore, 30 + 29);
    // A frame that took 40 ms flips at once; the next waits a whole period.
    const std::vector<uint64_t> late = flipTimes(2, 40);
    EXPECT_LE(late[0] - times.back(), 40000u + 50);
    EXPECT_GE(late[1] - late[0], 1000000u / 60);
    Shutdown();
}

TEST(FrameLimiter, OffByDefaultFlipsDoNotWait) {
    unsetenv("KXPWRVR_FPS_LIMIT");
    ASSERT_EQ(Init(), 1);
    const uint64_t before = kxstandClockUs();
    for (int f = 0; f < 10; ++f)
        EXPECT_EQ(PageFlip(), 0);
    EXPECT_EQ(kxstandClockUs(), before);
    Shutdown();
}

} // namespace
