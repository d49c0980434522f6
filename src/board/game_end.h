#pragma once
// Whether the side to move can still play, and when it cannot, how the game
// has ended: mated when its king is attacked, stalemated otherwise.

#include "board/position.h"
#include "board/types.h"

enum class GameEnd { None, Checkmate, Stalemate };

// The legal test makes and unmakes each move on `position`.
inline GameEnd gameEndOnTurn(Position& position) {
    ScoredMove moves[MaxMoves];
    const bool inCheck = position.inCheck();
    if (position.generateLegalMoves(moves, inCheck) > 0) return GameEnd::None;
    return inCheck ? GameEnd::Checkmate : GameEnd::Stalemate;
}

inline bool hasLegalMove(Position& position) { return gameEndOnTurn(position) == GameEnd::None; }
