#include "search/searcher.h"

#include <climits>
#include <cstring>

#include "eval/weights.h"
#include "search/eval_hook.h"
#include "search/pruning.h"

namespace {

// Marks a static evaluation not computed yet; outside every score.
constexpr int NoEval = INT_MIN;

}  // namespace

Searcher::Searcher(Engine& owningEngine, SearchThread& searchThread, const Position& source,
                   const Key* sourceKeys, int sourceKeyCount, int ply)
    : engine(&owningEngine),
      thread(&searchThread),
      pool(&owningEngine.threadPool),
      evalParams(&owningEngine.evalParams),
      table(&owningEngine.transpositionTable),
      killers(searchThread.killers),
      history(searchThread.history),
      nodes(0),
      selDepth(0),
      position(source),
      keyCount(0),
      rootMoves(nullptr),
      drawScore(owningEngine.settings.drawScore),
      rootSide(owningEngine.rootSide),
      mainThread(searchThread.index == 0),
      multiThreaded(owningEngine.threadPool.threads.size() > 1) {
    position.owner = &searchThread;

    // Every ply below `ply` appends one key. The draw test never looks back
    // further than the halfmove clock, and a node whose clock passed 99 is a
    // draw (or mated) before it gets there, so older keys cannot decide any
    // result: keep only the newest that fit.
    if (ply < 0) ply = 0;
    if (ply > MaxPly) ply = MaxPly;
    int keep = MaxSearchKeys - MaxPly + ply;
    if (sourceKeyCount < keep) keep = sourceKeyCount;
    if (keep > 0) std::memcpy(keys, sourceKeys + (sourceKeyCount - keep), sizeof(Key) * size_t(keep));
    keyCount = keep > 0 ? keep : 0;

    std::memset(curMove, 0, sizeof(curMove));
    std::memset(pvLength, 0, sizeof(pvLength));
}

bool Searcher::hasLegalEvasion() {
    ScoredMove list[MaxMoves];
    const int count = position.generateEvasions(list);
    const int mover = position.sideToMove;
    for (int i = 0; i < count; i++) {
        UndoRecord undo;
        position.makeMove(list[i].move, undo);
        const bool legal = !position.isAttacked(position.kingSquare[mover], mover ^ 1);
        position.unmakeMove(list[i].move, undo);
        if (legal) return true;
    }
    return false;
}

bool Searcher::isRepetition() const {
    const int n = keyCount;
    int lowest = n - 1 - int(position.halfmoveClock);
    if (lowest < 0) lowest = 0;
    for (int i = n - 4; i >= lowest; i -= 2)
        if (keys[i] == position.key) return true;
    return false;
}

bool Searcher::isDraw(int ply, bool knownNotInCheck) {
    if (ply >= MaxPly - 1) return true;
    // A lone minor piece or bare kings cannot mate.
    if ((position.pieces[Black][Pawn] | position.pieces[White][Pawn]) == 0 &&
        position.material[Black] + position.material[White] <= pieceValue[Bishop])
        return true;
    // Fifty moves without a capture or pawn move, unless this move is mate.
    if (position.halfmoveClock > 99 &&
        (knownNotInCheck || !position.inCheck() || hasLegalEvasion()))
        return true;
    return position.halfmoveClock >= 4 && isRepetition();
}

void Searcher::throttle() {
    const uint64_t count = engine->throttleCounter.load(std::memory_order_relaxed) + 1;
    if (count <= 63) {
        engine->throttleCounter.store(count, std::memory_order_relaxed);
        return;
    }
    engine->throttleCounter.store(0, std::memory_order_relaxed);
    uint64_t total = 0;
    for (const SearchThread* other : pool->threads)
        total += other->nodes.load(std::memory_order_relaxed);
    const double rate = double(total) / ((engine->searchTimer.elapsed() + 1.0) * 0.000001);
    if (rate > double(engine->npsLimit)) engine->slowDown(mainThread);
}

bool Searcher::offerSplit(MovePicker& picker, int alpha, int beta, int depth, int ply,
                          int moveCount, bool inCheck, bool futilityOn, int futilityValue,
                          int* alphaOut, Move* bestMoveOut) {
    if (depth <= pool->minSplitDepth ||
        thread->splitPointCount.load(std::memory_order_relaxed) >= MaxSplitPointsPerThread ||
        !pool->helperAvailable(*thread))
        return false;
    return split(picker, alpha, beta, depth, ply, moveCount, inCheck, false, futilityOn,
                 futilityValue, alphaOut, bestMoveOut);
}

int Searcher::nullMoveSearch(int beta, int depth, int ply) {
    pushKey(position.key);
    const Key savedKey = position.key;
    const uint8_t savedClock = position.halfmoveClock;
    const uint8_t savedEpFile = position.epFile;
    // The clock restarts, so no repetition is found across the null move.
    position.halfmoveClock = 0;
    if (savedEpFile != 0) {
        position.key ^= ZobristKeys::enPassant[savedEpFile];
        position.epFile = 0;
    }
    position.sideToMove ^= 1;
    position.key ^= ZobristKeys::side;
    curMove[ply] = NoMove;

    const int nd = nullMoveDepth(depth);
    const int v = nd > 1 ? -search(-beta, -beta + 1, nd, ply + 1, false, false)
                         : -quiesce(-beta, -beta + 1, 0, ply + 1, false, false);

    position.key = savedKey;
    position.sideToMove ^= 1;
    position.epFile = savedEpFile;
    position.halfmoveClock = savedClock;
    keyCount--;
    return v;
}

int Searcher::search(int alpha, int beta, int depth, int ply, bool isPV, bool inCheck) {
    const int d = depth;
    const int h = depth / 2;
    const int p = ply;

    pvLength[p] = 0;
    pv[p][0] = NoMove;
    if (pollStops()) return 0;
    if (isDraw(p, !inCheck)) return drawValue();
    if (p > selDepth) selDepth = p;

    // Mate-distance pruning: nothing here can beat a mate found nearer the root.
    if (alpha < p - InfiniteScore) alpha = p - InfiniteScore;
    if (beta > InfiniteScore - p) beta = InfiniteScore - p;
    if (alpha >= beta) return alpha;

    const Key key = position.key;
    Move hashMove = NoMove;
    int tableScore = 0;
    if (table->probe(key, d, p, alpha, beta, hashMove, tableScore) != ProbeMiss) return tableScore;

    int eval = NoEval;
    const int us = position.sideToMove;
    if (isPV || inCheck) {
        // Internal iterative deepening: a PV node without a hash move gets one
        // from a shallower search of itself.
        if (isPV && !inCheck && hashMove == NoMove && d > 9) {
            search(alpha, beta, d - 4, p, true, false);
            hashMove = pv[p][0];
        }
    } else if (nodePruningAllowed(isPV, inCheck, position.phase[us])) {
        if (shallowPruningAllowed(d, beta)) {
            eval = evaluate(*evalParams, position, alpha, beta);
            if (razoringTried(eval, beta, d, hashMove)) {
                const int lowered = razorBeta(beta, d);
                const int v = quiesce(lowered - 1, lowered, 0, p + 1, false, false);
                if (v < lowered) return v;
            }
            if (staticNullMoveCuts(eval, beta, d)) return staticNullMoveScore(eval, d);
        }
        if (nullMoveAllowed(d, curMove[p - 1], engine->useNullMove)) {
            const int v = nullMoveSearch(beta, d, p);
            if (engine->stopState.load(std::memory_order_relaxed) != Running) return 0;
            if (v >= beta) return v;
        }
    }

    if (mustStop()) return 0;
    pvLength[p] = 0;
    pv[p][0] = NoMove;

    bool futilityOn = false;
    int futilityValue = 0;
    if (futilityAllowed(d, isPV, inCheck, position.phase[Black] + position.phase[White])) {
        if (eval == NoEval) eval = evaluate(*evalParams, position, alpha, beta);
        futilityValue = futilityValueOf(eval, d);
        futilityOn = futilityValue <= alpha;
    }

    const bool lmrAllowed = reductionsAllowed(d, inCheck, engine->useLmr);
    MovePicker picker;
    picker.setUp(inCheck, hashMove, killers[p][0], killers[p][1]);
    int moveCount = 0;
    Move bestMove = NoMove;

    // The child at ply p + 1: quiescence once the depth is spent.
    auto child = [&](int a, int b, int e, bool pvChild, bool checked) {
        return e > 1 ? -search(-b, -a, e, p + 1, pvChild, checked)
                     : -quiesce(-b, -a, 0, p + 1, pvChild, checked);
    };

    Move move;
    int stage;
    while ((stage = picker.next(position, move)) != StageDone) {
        UndoRecord undo;
        if (!makeLegalMove(move, undo, p, key, us)) continue;
        const int them = us ^ 1;

        const bool givesCheck = position.isAttacked(position.kingSquare[them], us);
        const int ext = extensionFor(move, givesCheck);
        const int nd = d - 2 + ext;

        const bool quietStage = stage == StageQuiets;
        if (futilityPrunes(futilityOn, futilityValue, alpha, moveCount, move, ext) ||
            lateMovePrunes(quietStage, inCheck, isPV, d, moveCount, ext)) {
            moveCount++;
            takeBack(move, undo);
            continue;
        }

        if (engine->npsLimit != 0) throttle();

        int v;
        if (moveCount == 0) {
            v = child(alpha, beta, nd, isPV, givesCheck);
        } else {
            bool done = false;
            const int r = lateMoveReduction(lmrAllowed, quietStage, moveCount, ext, d, isPV);
            if (r > 0) {
                v = child(alpha, alpha + 1, nd - 2 * r, false, false);
                done = v <= alpha;
            }
            if (!done) {
                v = child(alpha, alpha + 1, nd, false, givesCheck);
                if (v > alpha && v < beta) v = child(alpha, beta, nd, isPV, givesCheck);
            }
        }

        moveCount++;
        takeBack(move, undo);
        if (mustStop()) return 0;

        if (v > alpha) {
            alpha = v;
            bestMove = move;
            if (v >= beta) break;
            if (isPV) updatePv(p, move);
        }

        if (multiThreaded &&
            offerSplit(picker, alpha, beta, d, p, moveCount, inCheck, futilityOn, futilityValue,
                       &alpha, &bestMove)) {
            if (mustStop()) return 0;
            break;
        }
    }

    if (alpha >= beta) {
        if (isQuiet(bestMove) && !inCheck) {
            Move* slots = killers[p];
            if (slots[0] != bestMove) {
                slots[1] = slots[0];
                slots[0] = bestMove;
            }
            uint16_t& entry = history[us][movePiece(bestMove)][moveTo(bestMove)];
            if (entry + h * h <= 9999) entry = uint16_t(entry + h * h);
        }
        table->store(key, bestMove, alpha, d, p, Lower);
        return alpha;
    }

    if (moveCount == 0) return inCheck ? p - InfiniteScore : drawValue();

    table->store(key, bestMove != NoMove ? bestMove : picker.ttMove, alpha, d, p,
                 bestMove != NoMove ? Exact : Upper);
    return alpha;
}
