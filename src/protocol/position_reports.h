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

// Answers a command that isPositionReport accepts. The evaluation uses a pawn
// table of the interpreter's own, made on first use: thread 0's table may be
// in use by a search.
inline void sendPositionReport(Engine& engine, const Tokenizer& line,
                               std::unique_ptr<PawnHashTable>& evalPawnHash) {
    if (tokenIs(line, "printBoard")) {
        engine.position.print();
    } else if (tokenIs(line, "eval")) {
        if (!evalPawnHash) {
            evalPawnHash.reset(new PawnHashTable());
            evalPawnHash->clear();
        }
        evalPawnHash->clearIfStale();
        // A running search followed the weights when it began, and they
        // cannot change before it ends.
        if (!engine.searchActive()) engine.followWeights();
        const int score = evaluate(engine.evalParams, engine.position, *evalPawnHash, -32000, 32000);
        sendToGui(engine, "eval = %.2f", double(score) * 0.01);
    } else if (tokenIs(line, "printHashKey")) {
        sendToGui(engine, "%" PRIx64, engine.position.key);
    } else if (tokenIs(line, "printFEN")) {
        char fen[FenBufferSize];
        engine.toFen(engine.position, fen);
        sendToGui(engine, "%s", fen);
    }
}
