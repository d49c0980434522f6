#pragma once
// The perft suite: checks the move generator against a file of positions with
// known perft counts, one position per line: a FEN, then fields such as
// ";D1 20 ;D2 400" giving the expected count at each depth.

#include <cstdio>
#include <string>
#include <vector>

class Engine;
struct PerftRunner;

// At most this many fields of a line are kept; later ones are ignored.
constexpr int MaxPerftFields = 16;

// The field texts of one line in file order, each as "D<depth> <count>"
// (the letter as written, "D" or "d"). Other characters inside a field are
// skipped. Control characters must already be blanks.
std::vector<std::string> scanPerftFields(const char* line);

// The count text of the first field whose depth is `depth`, or an empty text
// when the line has none.
std::string expectedPerftCount(const std::vector<std::string>& fields, int depth);

// Runs every line of the file at `depth` on the runner's engine and prints
// "score = <agreed> / <lines>". A line whose FEN is rejected, or that has no
// count for the depth, fails. Returns 1 after a run, 0 (ERROR log line, no
// output) when the runner has no engine, and 0 without the score line, the
// reason on standard error, when the file cannot be read or the depth is
// above MaxPerftDepth.
int runPerftSuiteFile(PerftRunner& runner, const char* fileName, int depth, FILE* out = stdout);

// The "-perftsuite" tool: initialises the engine with its Hash setting, runs
// the suite (a negative depth means 5) and releases the engine. Returns the
// suite's result.
int runPerftSuite(Engine& engine, const char* fileName, int depth, FILE* out = stdout);
