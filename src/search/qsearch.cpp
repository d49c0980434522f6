// Quiescence: below the nominal depth only captures (and, in check, every
// evasion) are searched, so that no position is scored in the middle of an
// exchange. The side to move may stand pat on its static score.

#include "search/eval_hook.h"
#include "search/move_picker.h"
#include "search/searcher.h"

int Searcher::quiesce(int alpha, int beta, int qd, int ply, bool isPV, bool inCheck) {
    const int p = ply;
    pvLength[p] = 0;
    pv[p][0] = NoMove;
    // A window with nothing inside it has nothing to search (the alpha-beta
    // search answers such a window the same way, through its mate bounds).
    if (alpha >= beta) return alpha;
    if (pollStops()) return 0;
    // The fifty-move rule looks at the board: a caller's inCheck is only a hint here.
    if (isDraw(p, false)) return drawValue();

    ScoredMove list[MaxMoves];
    int count;
    if (!inCheck) {
        const int standPat = evaluate(*evalParams, position, alpha, beta);
        if (standPat > alpha) {
            if (standPat >= beta) return standPat;
            alpha = standPat;
        }
        count = position.generateQsearchCaptures(list);
        scoreCaptures(list, count);
    } else {
        count = position.generateQsearchEvasions(list);
        scoreEvasions(position, list, count);
    }

    const Key key = position.key;
    const int us = position.sideToMove;
    const int them = us ^ 1;
    int legal = 0;
    for (int i = 0; i < count; i++) {
        const Move move = list[i].move;
        // Only captures of a cheaper piece (and the like) can lose material;
        // the cheap score test spares the exchange evaluation for the rest.
        if (!inCheck && list[i].score <= QsearchLosingScore && position.see(move) < 0) continue;
        UndoRecord undo;
        if (!makeLegalMove(move, undo, p, key, us)) continue;
        legal++;
        const bool givesCheck = position.isAttacked(position.kingSquare[them], us);
        const int v = -quiesce(-beta, -alpha, qd - 1, p + 1, isPV, givesCheck);
        takeBack(move, undo);
        if (engine->stopState.load(std::memory_order_relaxed) != Running) return 0;
        if (v > alpha) {
            if (v >= beta) return v;
            alpha = v;
            if (isPV) updatePv(p, move);
        }
    }

    if (qd < 0 || inCheck) return inCheck && legal == 0 ? p - InfiniteScore : alpha;

    // First quiescence ply: quiet checks too, in generation order.
    count = position.generateQuietChecks(list);
    for (int i = 0; i < count; i++) {
        const Move move = list[i].move;
        if (position.see(move) < 0) continue;
        UndoRecord undo;
        if (!makeLegalMove(move, undo, p, key, us)) continue;
        const int v = -quiesce(-beta, -alpha, qd - 1, p + 1, isPV, true);
        takeBack(move, undo);
        if (engine->stopState.load(std::memory_order_relaxed) != Running) return 0;
        if (v > alpha) {
            if (v >= beta) return v;
            alpha = v;
            if (isPV) updatePv(p, move);
        }
    }
    return alpha;
}
