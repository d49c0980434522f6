#include "foundation/timer.h"

#include <cstdio>
#include <sys/time.h>

void Timer::start() {
    timeval now;
    gettimeofday(&now, nullptr);
    seconds = now.tv_sec;
    microseconds = now.tv_usec;
}

double Timer::elapsed() const {
    timeval now;
    gettimeofday(&now, nullptr);
    return double(int64_t(now.tv_sec) - seconds) * 1000000.0 +
           double(int64_t(now.tv_usec) - microseconds);
}

void formatDuration(char* buffer, double micros) {
    // Milliseconds as a 32-bit unsigned count. A clock that stepped back gives
    // a negative interval, which must not wrap into a huge number; converting
    // an out-of-range double would be undefined, so clamp both ends (this
    // also maps NaN to zero).
    const double millis = micros * 0.001;
    unsigned ms;
    if (!(millis >= 0.0))
        ms = 0;
    else if (millis >= 4294967295.0)
        ms = 4294967295u;
    else
        ms = unsigned(millis);
    snprintf(buffer, durationTextSize, "%02u:%02u:%02u.%03u", ms / 3600000u,
             (ms % 3600000u) / 60000u, (ms % 60000u) / 1000u, ms % 1000u);
}
