#pragma once
// Where the search threads' time goes, for tuning the parallel search: time
// waiting to be booked, waiting at one's own split point, acquiring locks and
// setting up splits and stints, and how many splits, bookings and stints
// there were. Off by default; a build with -DVORLIX_THREAD_PROFILE=1 counts
// (parallel_bench then prints the table), and every other build compiles the
// counting away.

#include <cstdint>

#if VORLIX_THREAD_PROFILE
#include <x86intrin.h>
#define THREAD_PROFILE(...) __VA_ARGS__
#else
#define THREAD_PROFILE(...)
#endif

struct alignas(64) ThreadProfile {
    uint64_t idleTicks = 0;        // waiting to be booked (no split point to wait for)
    uint64_t masterWaitTicks = 0;  // a master waiting for its helpers
    uint64_t lockTicks = 0;        // acquiring the pool and split-point mutexes
    uint64_t poolLockTicks = 0;    // of which the pool mutex
    uint64_t splitTicks = 0;       // a master opening and closing its split points
    uint64_t stintSetupTicks = 0;  // building the context of a stint
    uint64_t wakeTicks = 0;        // from being booked to starting the stint
    uint64_t splits = 0;
    uint64_t booked = 0;           // threads booked by this thread's splits
    uint64_t stints = 0;
    uint64_t splitMoves = 0;       // moves taken at split points
    uint64_t sleeps = 0;           // waits on the condition
    uint64_t bookedAt = 0;         // tick of the last booking of this thread
    // Waits by length: below 10, 50, 100, 200, 500, 1000, 2000 us, longer.
    uint64_t waitsByLength[8] = {};
};

#if VORLIX_THREAD_PROFILE
inline uint64_t profileTicks() { return __rdtsc(); }
// Tick at which the current search began; waits before it are not counted.
inline uint64_t& profileSearchStart() {
    static uint64_t start = 0;
    return start;
}
#endif
