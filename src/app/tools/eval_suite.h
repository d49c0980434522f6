#pragma once
// The eval suite: prints the static evaluation of every position of a FEN
// file, and the evaluation speed.

#include <cstdio>

struct PerftRunner;

// Works on the engine and position the runner points to (the engine must be
// initialised). Returns 1 after a run; 0 (with an ERROR log line and no
// output) when the runner has no engine, and 0 without the closing lines,
// the reason on standard error, when the file cannot be read.
int runEvalSuite(PerftRunner& runner, const char* fileName, FILE* out = stdout);
