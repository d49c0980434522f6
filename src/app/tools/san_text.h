#pragma once
// The engine's own short notation for test-suite answers: piece letter,
// disambiguation, capture sign, destination, promotion; castling as O-O or
// O-O-O. No check or mate sign is written.

#include "board/types.h"

// Longest text formatSan writes, and the buffer size it needs with the NUL.
constexpr int SanBufferSize = 12;

// `moves` are the pseudo-legal moves of the position the move is played
// from, in generator order; the moves of the same piece type to the same
// square decide the disambiguation. The move 0 gives an empty text.
void formatSan(Move move, const ScoredMove* moves, int moveCount, char* buffer);
