#pragma once
// Everything that differs between the six builds, decided at compile time.

#include <cinttypes>
#include <cstdint>

namespace build {

#if defined(__x86_64__) || defined(_M_X64)
constexpr bool is64Bit = true;
constexpr const char* wordSizeText = "64 bits";
constexpr int maxHashMb = 16384;
#else
constexpr bool is64Bit = false;
constexpr const char* wordSizeText = "32 bits";
constexpr int maxHashMb = 2048;
#endif

#if defined(VORLIX_HW_POPCNT)
constexpr bool hardwarePopcount = true;
constexpr const char* popcountText = "Using hardware popcount\n";
#else
constexpr bool hardwarePopcount = false;
constexpr const char* popcountText = "Using software popcount\n";
#endif

constexpr const char* engineName = "Vorlix";
constexpr const char* engineVersion = "2.1";
constexpr const char* engineAuthor = "Osvane Kreelith";

}  // namespace build

// 64-bit counters and keys in printf formats: "%" PRIu64 / "%" PRIx64 expand to
// the long formats of 64-bit builds and the long-long formats of 32-bit builds.
