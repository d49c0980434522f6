#pragma once
// Wall-clock interval timer in microseconds, and the duration text of the tool
// reports.

#include <cstdint>

struct Timer {
    int64_t seconds = 0;       // time of the last start
    int64_t microseconds = 0;

    void start();
    // Microseconds since the last start; negative when the system clock was
    // set back in between.
    double elapsed() const;
};

// Buffer size formatDuration needs.
constexpr int durationTextSize = 32;

// Writes "hh:mm:ss.mmm" (hours not limited to two digits) into a buffer of at
// least durationTextSize characters. Negative durations print as zero.
void formatDuration(char* buffer, double micros);
