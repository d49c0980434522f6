#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <unistd.h>

#include "foundation/timer.h"

namespace {

struct DurationCase {
    double micros;
    const char* text;
};

TEST(FormatDuration, Texts) {
    const DurationCase cases[] = {
        {3723004000.0, "01:02:03.004"},
        {999.0, "00:00:00.000"},
        {0.0, "00:00:00.000"},
        {1000.0, "00:00:00.001"},
        {59999999.0, "00:00:59.999"},
        {360000000000.0, "100:00:00.000"},  // hours are not limited to two digits
        {-5000000.0, "00:00:00.000"},       // clock stepped back
        {-0.5, "00:00:00.000"},
        {1e300, "1193:02:47.295"},          // clamped to the 32-bit millisecond count
        {std::nan(""), "00:00:00.000"},
    };
    for (const DurationCase& c : cases) {
        char buffer[durationTextSize];
        memset(buffer, '#', sizeof buffer);
        formatDuration(buffer, c.micros);
        EXPECT_STREQ(buffer, c.text) << c.micros;
    }
}

TEST(Timer, ElapsedCountsMicroseconds) {
    Timer timer;
    timer.start();
    usleep(20000);
    const double elapsed = timer.elapsed();
    EXPECT_GE(elapsed, 20000.0);
    EXPECT_LT(elapsed, 2000000.0);
}

TEST(Timer, ElapsedCombinesSecondsAndMicroseconds) {
    Timer timer;
    timer.start();
    // Pretend the start was 1.5 s earlier, with a microsecond part that makes
    // the microsecond difference negative.
    timer.seconds -= 2;
    timer.microseconds += 500000;
    const double elapsed = timer.elapsed();
    EXPECT_GE(elapsed, 1500000.0);
    EXPECT_LT(elapsed, 1500000.0 + 1000000.0);
}

}  // namespace
