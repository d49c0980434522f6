#pragma once
// The two bit operations all board code uses: the lowest set bit and the count.

#include <cstdint>

// Index of the lowest set bit of a non-empty bitboard (bit-scan-forward).
inline int lowestBit(uint64_t b) {
    return __builtin_ctzll(b);
}

// Removes and returns the lowest set bit of a non-empty bitboard.
inline int popLowest(uint64_t& b) {
    int square = __builtin_ctzll(b);
    b &= b - 1;
    return square;
}

inline int popCount(uint64_t b) {
#if defined(VORLIX_HW_POPCNT)
    return __builtin_popcountll(b);
#elif defined(__x86_64__)
    b = b - ((b >> 1) & 0x5555555555555555ULL);
    b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
    b = (b + (b >> 4)) & 0x0f0f0f0f0f0f0f0fULL;
    return int((b * 0x0101010101010101ULL) >> 56);
#else
    // Same count on the two 32-bit halves, without 64-bit multiplications.
    uint32_t lo = uint32_t(b), hi = uint32_t(b >> 32);
    lo = lo - ((lo >> 1) & 0x55555555u);
    hi = hi - ((hi >> 1) & 0x55555555u);
    lo = (lo & 0x33333333u) + ((lo >> 2) & 0x33333333u);
    hi = (hi & 0x33333333u) + ((hi >> 2) & 0x33333333u);
    lo = (lo + (lo >> 4)) & 0x0f0f0f0fu;
    hi = (hi + (hi >> 4)) & 0x0f0f0f0fu;
    return int(((lo + hi) * 0x01010101u) >> 24);
#endif
}
