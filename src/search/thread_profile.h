#pragma once
// Where the search threads' time goes, for tuning the parallel search: time
// waiting to be booked, waiting at one's own split point and acquiring the
// pool and split-point mutexes, how long the waits last, and how many splits,
// bookings and stints there were. Off by default: a build with
// -DVORLIX_THREAD_PROFILE=1 counts (parallel_bench then prints the table),
// every other build compiles the counting away. x86 only (time stamp
// counter).

#include <cstdint>

#if VORLIX_THREAD_PROFILE
#include <x86intrin.h>

#include <chrono>
#include <thread>
#define THREAD_PROFILE(...) __VA_ARGS__
#else
#define THREAD_PROFILE(...)
#endif

struct alignas(64) ThreadProfile {
    uint64_t idleTicks = 0;        // waiting to be booked (no split point to wait for)
    uint64_t masterWaitTicks = 0;  // a master waiting for its helpers
    uint64_t lockTicks = 0;        // acquiring the pool and split-point mutexes
    uint64_t wakeTicks = 0;        // from being booked to starting the stint
    uint64_t bookedAt = 0;         // tick of the last booking of this thread
    uint64_t splits = 0;
    uint64_t booked = 0;           // threads booked by this thread's splits
    uint64_t stints = 0;
    uint64_t splitMoves = 0;       // moves taken at split points
    uint64_t sleeps = 0;           // waits on the condition
    // Waits by length: below 10, 50, 100, 200, 500, 1000, 2000 us, longer.
    uint64_t waitsByLength[8] = {};

    void countWait(double micros) {
        static const double limits[7] = {10, 50, 100, 200, 500, 1000, 2000};
        int bucket = 0;
        while (bucket < 7 && micros >= limits[bucket]) bucket++;
        waitsByLength[bucket]++;
    }
};

#if VORLIX_THREAD_PROFILE
inline uint64_t profileTicks() { return __rdtsc(); }

// Counter ticks per microsecond, measured once against the steady clock.
inline double profileTicksPerMicro() {
    static const double perMicro = [] {
        const auto start = std::chrono::steady_clock::now();
        const uint64_t ticks = profileTicks();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const double micros = std::chrono::duration<double, std::micro>(
                                  std::chrono::steady_clock::now() - start)
                                  .count();
        return double(profileTicks() - ticks) / micros;
    }();
    return perMicro;
}

// Tick at which the current search began; waits before it are not counted.
inline uint64_t& profileSearchStart() {
    static uint64_t start = 0;
    return start;
}
#endif
