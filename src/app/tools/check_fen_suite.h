#pragma once
// The check-FEN suite: judges the syntax of every line of a file of FEN
// positions with an automaton of its own, stricter than the engine's reader
// about piece counts and pawns on the edge ranks, looser about what follows
// the en-passant field.

#include <cstdio>

// True when the line (its text ends at the first control character) is a
// well-formed FEN by the suite's rules.
bool checkFenLine(const char* line);

// Prints every rejected line and the count of valid lines to `out`. Returns 1
// after a run; 0 without the count, the reason on standard error, when the
// file cannot be read.
int runCheckFenSuite(const char* fileName, FILE* out = stdout);
