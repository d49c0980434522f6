#pragma once
// A pause for busy-wait loops: lets the other hyperthread of the core run
// and spares the memory order flush when the awaited word changes.

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

inline void cpuRelax() {
#if defined(__i386__) || defined(__x86_64__)
    _mm_pause();
#endif
}
