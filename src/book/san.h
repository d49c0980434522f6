#pragma once
// Reading moves in Standard Algebraic Notation against a position.

#include <string>

#include "board/position.h"

enum class SanResult {
    Ok,
    Unreadable,  // the text fits no SAN form or names no piece that reaches the square
    Illegal,     // the text names a move that is not legal in the position
};

// The square a knight, bishop, rook, queen or king of the side to move comes
// from to reach `to`, given the optional origin file and rank (-1 for none).
// With several candidates the first one in square order that is not pinned to
// its king wins. Sets `captured` to the piece type standing on `to`. False
// when no piece qualifies, when every candidate is pinned, or for a pawn.
bool findSanOrigin(const Position& position, int to, int pieceType, int fileFilter,
                   int rankFilter, int& from, int& captured);

// Reads `text` as a move of the side to move. The move is accepted only when
// it is one of the position's legal moves, and is then returned as the
// generator's own move word. The position is left as it was.
SanResult resolveSan(Position& position, const std::string& text, Move& move);
