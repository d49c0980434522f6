#pragma once
// The command-line switches: each known switch with acceptable arguments
// prepares the engine and runs one tool; anything else leaves the program to
// its protocol loop, so a GUI that passes stray arguments still gets an
// engine.

#include <cstdio>
#include <string>
#include <vector>

class Engine;
class ConsoleListener;

// Runs the tool that args[0] selects (args holds the arguments after the
// program name). Returns false when the protocol loop should run instead:
// no argument, an unknown switch (logged as a warning) or a known switch with
// an argument count it does not take. Returns true after a tool, with the
// exit status: 0 when the program ends through the orderly stop, 1 after the
// test suite, the benchmark, a book build that failed (after one line on
// standard error) and a bad FEN given with "-fen", which end without it (the
// first three have released the engine themselves; after a bad FEN the quit
// flag is set and the engine is left to its destructor).
// `console` is the console listener the searching tools read results from.
bool runCommandLine(Engine& engine, ConsoleListener& console, const std::vector<std::string>& args,
                    int& exitStatus);

// The "-help" text.
void printHelp(FILE* out = stdout);
