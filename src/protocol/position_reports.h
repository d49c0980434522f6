#pragma once
// The debugging commands that read the game position ("printBoard", "eval",
// "printHashKey", "printFEN"), answered the same way by both interpreters.

#include <cinttypes>
#include <memory>

#include "board/fen.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "protocol/command_words.h"
#include "protocol/gui_io.h"
#include "search/engine.h"

inline bool isPositionReport(const Tokenizer& line) {
    return tokenIs(line, "printBoard") || tokenIs(line, "eval") ||
           tokenIs(line, "printHashKey") || tokenIs(line, "printFEN");
}

// Answers a command that isPositionReport accepts, also while a search runs:
// on a copy of the game taken whole, less its last move when the game has
// `pliesWithReply` moves (the engine's own expected reply, played to ponder
// on it; pass -1 otherwise). The evaluation uses a pawn table of the
// interpreter's own, made on first use: thread 0's table may be in use by a
// search.
inline void sendPositionReport(Engine& engine, const Tokenizer& line,
                               std::unique_ptr<PawnHashTable>& evalPawnHash,
                               int pliesWithReply = -1) {
    GameSnapshot game = engine.snapshotGame();
    if (game.plies > 0 && game.plies == pliesWithReply) {
        game.position.unmakeMove(game.last.move, game.last);
        game.plies--;
    }
    const Position& position = game.position;
    if (tokenIs(line, "printBoard")) {
        position.print();
    } else if (tokenIs(line, "eval")) {
        if (!evalPawnHash) {
            evalPawnHash.reset(new PawnHashTable());
            evalPawnHash->clear();
        }
        evalPawnHash->clearIfStale();
        // The copy is the report's own: its material sums follow the weights
        // in force now, whatever they were when the game was set up.
        game.position.refreshMaterial();
        const int score = evaluate(engine.evalParams, position, *evalPawnHash, -32000, 32000);
        sendToGui(engine, "eval = %.2f", double(score) * 0.01);
    } else if (tokenIs(line, "printHashKey")) {
        sendToGui(engine, "%" PRIx64, position.key);
    } else if (tokenIs(line, "printFEN")) {
        char fen[FenBufferSize];
        toFen(position, game.plies, fen);
        sendToGui(engine, "%s", fen);
    }
}
