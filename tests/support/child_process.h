#pragma once
// Pieces shared by the tests that run the real program as a child process.

#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#ifndef VORLIX_BIN_DIR
#define VORLIX_BIN_DIR "."
#endif

// The main deliverable, or another one by name.
inline std::string programPath(const std::string& name = "vorlix-x64-popcnt") {
    return std::string(VORLIX_BIN_DIR) + "/" + name;
}

// In the child after fork: becomes `program` with `args`, or ends with exit
// status 127 when it cannot be started.
[[noreturn]] inline void execProgram(const std::string& program,
                                     const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

// Milliseconds until `deadline`; zero or less once it has passed.
inline long long millisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               deadline - std::chrono::steady_clock::now())
        .count();
}
