#pragma once
// The benchmark: full searches on a fixed series of 24 positions (or on the
// positions of a file) at a given hash size, thread count and depth or time
// per position; prints time, nodes and speed, and in time mode the depths
// reached.

#include <cstdio>
#include <string>
#include <vector>

class Engine;
class ConsoleListener;

// The 24 built-in positions, in order.
const std::vector<std::string>& benchmarkPositions();

// The positions of a benchmark file: every line of at least 3 characters, as
// read. Empty when the file cannot be read (not a regular file, or a read
// fails) or has no such line, and the caller then uses the built-in
// positions.
std::vector<std::string> readBenchmarkFile(const std::string& fileName);

struct BenchmarkSettings {
    int hashMb = 256;
    int threads = 1;
    bool timeMode = false;  // value in seconds per position, else a depth
    int value = 12;
    std::string fileName;   // empty: the built-in positions
};

// Clamps the settings to what the engine can do, initialises the engine,
// searches every position with `console` muted, prints the report and
// releases the engine. Returns 1.
int runBenchmark(Engine& engine, ConsoleListener& console, BenchmarkSettings settings,
                 FILE* out = stdout);
