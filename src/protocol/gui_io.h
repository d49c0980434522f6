#pragma once
// Line traffic with the GUI: every line read is logged as "<< line" and every
// line sent as ">> line" at level GUI, so the log shows the whole dialogue.

#include <string>
#include <vector>

class Engine;

// Reads one whole line of standard input (any length; the newline and a
// trailing carriage return removed), logs it and hands it to the engine's
// current protocol. Sets the engine's quit flag when the command ends the
// program. Returns 0 at the end of input (nothing dispatched), else 1.
int readAndDispatchInput(Engine& engine);

// True once readAndDispatchInput has met the end of standard input and has
// nothing held left; later calls return 0 at once without reading again.
bool inputHasEnded();

// Hands over input that another reader took from standard input while the
// reading thread was busy (a count, protocol/count_watch.h): whole lines,
// already logged and cut at their newline, which readAndDispatchInput
// dispatches first, in order; the start of a line whose end was not read yet,
// which the next line read completes; and whether standard input has ended.
// Only the reading thread calls it. `lines` is emptied.
void holdInput(std::vector<std::string>& lines, const std::string& lineStart, bool ended);

// Cuts a line read from standard input at its newline and drops the carriage
// returns before it, as readAndDispatchInput does.
void cleanInputLine(std::string& text);

// A search's own poll for input (no input thread): dispatches one line; at
// the end of input it stops a search that only a command could end (an
// infinite or ponder search) so that it answers.
void readInputDuringSearch(Engine& engine);

// The end of input acts as "quit", but only once a running search has sent
// its answer: a search bounded by depth, nodes or time is left to finish, an
// infinite or ponder search is stopped. Must not be called from inside a
// search (the search would never end).
void handleEndOfInput(Engine& engine);

// Formats one line, writes it to standard output with its newline in a single
// write and logs it. The engine argument is not used.
void sendToGui(Engine& engine, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Writes one complete line and logs it.
void sendLine(const char* text);

// Reports a move of a move list that could not be played: "Illegal move: "
// with the move's first five characters, or four when the fifth is missing or
// a blank. Goes to the current listener's onMessage and to the log. Always 0.
int reportIllegalMove(Engine& engine, const char* text);

// The report text alone (for callers that format it themselves).
std::string illegalMoveText(const char* text);
