#pragma once
// The EPD test suite: searches every position of an EPD file as in a game
// and checks the move played against the line's best ("bm") or avoided
// ("am") moves; prints time, nodes, speed, depths, the score and the failed
// lines.

#include <cstdio>

struct PerftRunner;
class ConsoleListener;

// Works on the engine the runner points to, set up by the caller (table,
// threads, new game, limit); `console` is the engine's current listener,
// from which the depth and nodes of each search are read. Returns 1 after a
// run; 0 (ERROR log line, no output) when the runner has no engine, and 0
// without the summary, the reason on standard error, when the file cannot be
// read.
int runTestSuite(PerftRunner& runner, const ConsoleListener& console, const char* fileName,
                 FILE* out = stdout);
