#pragma once
// Move text: the coordinate form of the engine protocols (e2e4, e7e8q,
// castling as the king's destination or, in Chess960, the king taking its
// rook) and a long algebraic form for people (Ng1-f3, e5xd6e.p, O-O). The
// board diagram is Position::print.

#include "board/position.h"

// Coordinate text of one move, NUL-terminated (at most 5 characters plus the
// NUL); the move 0 is "0000". Castling follows position.chess960.
void formatMove(const Position& position, Move move, char* buffer);

// The moves in coordinate form separated by single blanks, NUL-terminated;
// the buffer holds 6 characters per move (1 for a count of 0 or less).
void formatMoveList(const Position& position, const Move* moves, int count, char* buffer);

// Long algebraic text of one move, NUL-terminated (at most 8 characters plus
// the NUL); the move 0 gives an empty text.
void formatMoveLong(Move move, char* buffer);
