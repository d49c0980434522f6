// FEN text: the engine's reader, the check-FEN automaton, and everything a
// position that the reader accepted must survive: set-up, every generator,
// make and unmake two plies deep, static exchange, and the writer's round
// trip.

#include <cstdlib>
#include <cstring>

#include "app/tools/check_fen_suite.h"
#include "board/fen.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "fuzz_support.h"

namespace {

void check(bool condition) {
    if (!condition) abort();
}

// The static evaluation of every position on the walk: full window and a
// narrow one (the lazy exit), with the endgame recognisers and pawn hash.
int evaluateBoth(const Position& position) {
    static EvalParams params{};
    static PawnHashTable* pawnHash = new PawnHashTable();
    params.elo = 2700;
    params.ownColour = White;
    const int full = evaluate(params, position, *pawnHash, -32000, 32000);
    (void)evaluate(params, position, *pawnHash, -10, 10);
    return full;
}

// Every generated move is pseudo-legal, and make followed by unmake gives
// back the same bytes.
void walk(Position& position, int plies) {
    ScoredMove moves[MaxMoves];
    const bool inCheck = position.inCheck();
    (void)evaluateBoth(position);
    const int count = position.generateMoves(moves, inCheck);
    check(count >= 0 && count <= MaxMoves);
    Position before;
    std::memcpy(&before, &position, sizeof before);
    for (int i = 0; i < count; ++i) {
        const Move move = moves[i].move;
        check(position.isPseudoLegal(move));
        if (move & (7u << 15)) (void)position.see(move);
        UndoRecord undo;
        position.makeMove(move, undo);
        const int mover = position.sideToMove ^ 1;
        if (plies > 1 && !position.isAttacked(position.kingSquare[mover], position.sideToMove))
            walk(position, plies - 1);
        position.unmakeMove(move, undo);
        check(std::memcmp(&before, &position, sizeof before) == 0);
    }

    const int legal = position.generateLegalMoves(moves, inCheck);
    check(legal >= 0 && legal <= count);
    if (inCheck) {
        check(position.generateEvasions(moves) <= MaxMoves);
        check(position.generateQsearchEvasions(moves) <= MaxMoves);
    } else {
        check(position.generateQuietChecks(moves) <= MaxMoves);
        check(position.generateQsearchCaptures(moves) <= MaxMoves);
    }
    check(std::memcmp(&before, &position, sizeof before) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    if (size > 4096) return -1;
    const std::string text = fuzz::asText(data, size);

    (void)checkFenLine(text.c_str());

    FenFields fields;
    if (!parseFen(text.c_str(), fields)) return 0;

    Position position;
    position.clear();
    setupFromFen(position, fields);
    walk(position, 2);

    // What the writer produces, the reader takes back to the same position.
    char written[FenBufferSize];
    check(toFen(position, 0, written));
    check(std::strlen(written) <= size_t(FenMaxLength));
    FenFields again;
    check(parseFen(written, again));
    Position reread;
    reread.clear();
    setupFromFen(reread, again);
    check(reread.key == position.key);
    char rewritten[FenBufferSize];
    toFen(reread, 0, rewritten);
    check(std::strcmp(written, rewritten) == 0);
    return 0;
}
