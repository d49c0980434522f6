#pragma once
// Engine set-up shared by the searching tools: hash and thread limits, and
// the fixed depth or move time of each search.

#include <string>

class Engine;

namespace tools {

constexpr int MaxToolDepth = 127;  // deepest iteration a search can run

// 1 .. the build's table cap (16384 MB, 2048 MB in the 32-bit builds).
int clampHashMb(int megabytes);

// 1 .. 64.
int clampThreadCount(int threads);

// Recreates the pool when the count differs from the current one, and points
// the game position back at the new main search thread.
void applyThreadCount(Engine& engine, int threads);

// Fixed time per move: the seconds are turned into microseconds in 64 bits,
// at least 1 s, and held to the engine's 32-bit move-time field.
void setMoveTimeSeconds(Engine& engine, int seconds);

// Fixed depth: 1 .. MaxToolDepth plies.
void setDepthLimit(Engine& engine, int depth);

// A command-line number: decimal, leading blanks skipped, reading stops at
// the first non-digit, no number gives 0; held to the int range.
int readNumber(const std::string& text);

}  // namespace tools
