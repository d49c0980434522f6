#pragma once
// The SEE test: times static exchange evaluation over the legal moves of
// every position of an EPD file.

#include <cstdio>

struct PerftRunner;

// Works on the engine and position the runner points to (the engine must be
// initialised). Returns 1 after a run; 0 (with an ERROR log line and no
// output) when the runner has no engine, and 0 without the closing lines,
// the reason on standard error, when the file cannot be read.
int runSeeTest(PerftRunner& runner, const char* fileName, FILE* out = stdout);
