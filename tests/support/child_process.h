#pragma once
// Pieces shared by the tests that run the real program as a child process.
// They start it through launch::ProgramLaunch, which runs the 32-bit builds
// under the emulator where the kernel cannot run them.

#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "launch/program_launch.h"

#ifndef VORLIX_BIN_DIR
#define VORLIX_BIN_DIR "."
#endif

// The main deliverable, or another one by name.
inline std::string programPath(const std::string& name = "vorlix-x64-popcnt") {
    return std::string(VORLIX_BIN_DIR) + "/" + name;
}

// Milliseconds until `deadline`; zero or less once it has passed.
inline long long millisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               deadline - std::chrono::steady_clock::now())
        .count();
}
