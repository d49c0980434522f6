#pragma once
// The counts of the protocols' "perft", "perftd" and "divide" run on the
// thread that reads the GUI's commands, and a deep count runs for longer
// than anyone waits: no command would be read until it ends. While a count
// runs, a watcher thread reads the commands instead. Each protocol says what
// a line read then does: an answer that cannot wait ("isready") goes out at
// once, a command that ends the count ends it, and every other line waits,
// read and logged, until the count has ended, then runs in order
// (holdInput, protocol/gui_io.h).

#include <functional>

class Engine;
struct Tokenizer;

enum class LineDuringCount {
    Waits,     // runs after the count, in order
    Answered,  // dealt with at once on the watcher thread, which may only send lines
    Stops,     // ends the count, and is used up by that
    Quits,     // ends the count, then runs; the lines that waited before it are
               // dropped: the program ends, and one of them (another count, an
               // endless search) could keep it from ending
};

// The protocol's rule for a line read during a count; the tokenizer stands
// on the line's first word.
using CountLineRule = LineDuringCount (*)(Tokenizer& line);

enum class CountEnd { Finished, Stopped, Quit };

// Runs `count`, which counts with the engine's PerftRunner, on this thread
// (the one that reads the commands) while the commands are read by a watcher
// and handled by `rule`. A line that Stops or Quits sets the runner's
// stopRequested; a count that has seen it must not report its result.
// Returns how the watching ended: Finished when no line ended the count.
// Without a watcher (the thread cannot be started) the count runs unwatched.
CountEnd runWatchedCount(Engine& engine, CountLineRule rule, const std::function<void()>& count);
