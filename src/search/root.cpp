// The root search driver: from the game position to the answer. Book move or
// search; time allotment; a quiescence pre-sort of the root moves; iterative
// deepening with aspiration windows and several lines (MultiPV); reports
// through the current listener; the best move and a move to ponder on; the
// move played on the game position, or the pondered move taken back.

#include "search/root.h"

#include <climits>
#include <cstring>

#include "foundation/log.h"
#include "foundation/timer.h"
#include "search/engine.h"
#include "search/move_picker.h"
#include "search/pruning.h"
#include "search/searcher.h"

namespace {

constexpr int RootWindow = InfiniteScore + 1;  // the open window (-32001, 32001)
constexpr int MaxIteration = MaxPly - 1;        // iteration 127 is the last in every mode
constexpr int AspirationStart = 30;
constexpr int AspirationOpen = 640;             // a step beyond this opens the side fully
constexpr double VerboseAfterMicros = 2000000.0;

}  // namespace

int32_t clockBudget(float clockMs, int movesToGo, int incrementMs, int searchCount) {
    // The constants are single-precision values (33.333336 is the float with
    // bits 0x42055556); products are doubles, so no clock overflows them.
    double budget;
    if (movesToGo >= 2)
        budget = double(clockMs) * 1000.0 / double(movesToGo);
    else if (movesToGo == 1 || movesToGo < 0)
        budget = double(clockMs) * 500.0;
    else if (incrementMs >= 1)
        budget = double(clockMs) * double(33.333336f) + double(incrementMs) * 1000.0;
    else
        budget = double(clockMs) * 25.0;
    if (!(budget >= 0)) budget = 0;  // a negative (or unreadable) clock
    if (budget > double(INT32_MAX)) budget = double(INT32_MAX);
    budget = double(int32_t(budget));

    // The first searches of a game get more: twice the time, then 0.1 less
    // per search (the factor in single precision: 2.0 - 9 x 0.1 is 1.0999999).
    if (searchCount <= 9) {
        const float factor = 2.0f - float(searchCount) * 0.1f;
        budget = double(factor) * budget;
        if (budget > double(INT32_MAX)) budget = double(INT32_MAX);
        budget = double(int32_t(budget));
    }

    // Never the whole clock: what is left must still answer the next moves.
    const double clockMicros = double(clockMs) * 1000.0;
    double reserve = clockMicros * 0.05;
    if (reserve < 50000.0) reserve = 50000.0;
    double ceiling = clockMicros - reserve;
    if (!(ceiling >= 0)) ceiling = 0;
    if (budget > ceiling) budget = ceiling;
    return int32_t(budget);
}

namespace {

// One call of Engine::think from the start of its search to its answer.
class RootDriver {
public:
    RootDriver(Engine& owner, MovePicker& rootList, const Timer& timer)
        : engine(owner),
          list(rootList),
          callTimer(timer),
          main(*owner.threadPool.mainThread),
          context(owner, main, owner.position, owner.repKeys, owner.repKeyCount) {
        context.rootMoves = &list;
    }

    void preSort();
    // Runs the iterations; returns the iteration counter when they ended.
    int iterate(int maxDepth, int lines);

    Move best = NoMove;
    Move ponder = NoMove;
    double elapsed = 0.0;  // microseconds since the call began, measured after each pass
    int32_t clockShare = INT32_MAX;  // microseconds the clock allows this search

    uint64_t nodes() const { return context.nodes; }
    int selDepth() const { return context.selDepth; }

private:
    int pass(int iteration, int a, int b);
    bool isExcluded(Move move) const;
    void reportLine(int line, int lines, int score, Bound bound);
    void reportFail(int lines, int score, Bound bound);
    void sortLines(int lines);
    void copyPv(PvLine& record, int iteration);
    void moveToFront(Move move);

    Engine& engine;
    MovePicker& list;
    const Timer& callTimer;
    SearchThread& main;
    Searcher context;
};

void RootDriver::preSort() {
    Position& position = context.position;
    const Key key = position.key;
    const int us = position.sideToMove;
    for (int n = 0; n < list.count; n++) {
        const Move move = list.moves[n].move;
        context.pushKey(key);
        UndoRecord undo;
        position.makeMove(move, undo);
        const bool givesCheck = position.isAttacked(position.kingSquare[us ^ 1], us);
        list.moves[n].score =
            -context.quiesceAtPly1(-InfiniteScore, InfiniteScore, -1, true, givesCheck);
        context.takeBack(move, undo);
    }
    sortMoves(list.moves, list.count);
    context.nodes = 0;
    context.selDepth = 0;
}

bool RootDriver::isExcluded(Move move) const {
    if (engine.multiPv <= 1) return false;
    for (int i = 0; i < engine.excludedCount; i++)
        if (engine.excludedMoves[i] == move) return true;
    return false;
}

// One pass over the root moves with the window (a, b): its score, with the
// line in the context's PV row 0. A stopped pass stores nothing.
int RootDriver::pass(int iteration, int a, int b) {
    Position& position = context.position;
    const Key key = position.key;
    const int us = position.sideToMove;
    const int depth = 2 * iteration;

    context.pvLength[0] = 0;
    context.pv[0][0] = NoMove;
    if (engine.verbose) engine.listener->onDepth(iteration);
    // Searching the root is work: nobody may take this thread for idle.
    main.working.store(true, std::memory_order_relaxed);

    const bool rootInCheck = position.inCheck();
    int alpha = a;
    Move bestMove = NoMove;
    bool stopped = false;
    const int count = list.count;
    for (int n = 0; n < count; n++) {
        const Move move = list.moves[n].move;
        if (isExcluded(move)) continue;
        context.pushKey(key);
        UndoRecord undo;
        position.makeMove(move, undo);
        context.curMove[0] = move;
        context.countNode();
        if (engine.verbose) engine.listener->onCurrentMove(move, n + 1);

        const bool givesCheck = position.isAttacked(position.kingSquare[us ^ 1], us);
        const int ext = count == 1 ? 2 : extensionFor(move, givesCheck);
        const int nd = depth - 2 + ext;
        auto child = [&](int lo, int hi, bool pvChild) {
            return nd > 1 ? -context.searchAtPly1(-hi, -lo, nd, pvChild, givesCheck)
                          : -context.quiesceAtPly1(-hi, -lo, 0, pvChild, givesCheck);
        };
        // The zero window goes by the list position, not by the moves searched.
        int v;
        if (n == 0) {
            v = child(alpha, b, true);
        } else {
            v = child(alpha, alpha + 1, false);
            if (v > alpha && v < b) v = child(alpha, b, true);
        }
        context.takeBack(move, undo);

        if (context.mustStop()) {
            stopped = true;
            break;
        }
        if (v > alpha) {
            alpha = v;
            bestMove = move;
            context.updatePv(0, move);
            if (v >= b) break;
        }

        if (engine.threadPool.size() > 1 && depth > engine.threadPool.minSplitDepth &&
            n + 1 < count - 1 &&
            main.splitPointCount.load(std::memory_order_relaxed) < MaxSplitPointsPerThread &&
            engine.threadPool.helperAvailable(main)) {
            context.split(list, alpha, b, depth, 0, n + 1, rootInCheck, true, false, 0, &alpha,
                          &bestMove);
            // A pass stopped inside the split is as partial as one stopped
            // here: its result must not reach the table.
            stopped = context.mustStop();
            break;
        }
    }

    int score = alpha;
    if (!stopped) {
        if (alpha >= b) {
            // Cut-off: a quiet best move earns its killer slot and history.
            if (isQuiet(bestMove) && !rootInCheck) {
                Move* slots = context.killers[0];
                if (slots[0] != bestMove) {
                    slots[1] = slots[0];
                    slots[0] = bestMove;
                }
                uint16_t& entry = context.history[engine.rootSide][movePiece(bestMove)][moveTo(bestMove)];
                const int bonus = iteration * iteration;
                if (entry + bonus <= 9999) entry = uint16_t(entry + bonus);
            }
            engine.transpositionTable.store(key, bestMove, alpha, depth, 0, Lower);
        } else {
            engine.transpositionTable.store(key, bestMove, alpha, depth, 0,
                                            bestMove != NoMove ? Exact : Upper);
        }
    }

    main.working.store(false, std::memory_order_relaxed);
    elapsed = callTimer.elapsed();
    return score;
}

void RootDriver::copyPv(PvLine& record, int iteration) {
    record.pvLength = context.pvLength[0];
    std::memcpy(record.pv, context.pv[0], sizeof(Move) * size_t(record.pvLength));
    record.depth = iteration;
}

// Deepest first, then best score: a selection sort that swaps whole records.
void RootDriver::sortLines(int lines) {
    for (int i = 0; i < lines; i++) {
        for (int j = i + 1; j < lines; j++) {
            const PvLine& x = engine.pvLines[i];
            const PvLine& y = engine.pvLines[j];
            if (y.depth > x.depth || (y.depth == x.depth && y.score > x.score)) {
                PvLine swap;
                std::memcpy(&swap, &engine.pvLines[i], sizeof(PvLine));
                std::memcpy(&engine.pvLines[i], &engine.pvLines[j], sizeof(PvLine));
                std::memcpy(&engine.pvLines[j], &swap, sizeof(PvLine));
            }
        }
    }
}

// An exact line (or the line of a stopped pass) of line index `line`.
void RootDriver::reportLine(int line, int lines, int score, Bound bound) {
    SearchListener& listener = *engine.listener;
    if (lines == 1) {
        const PvLine& record = engine.pvLines[0];
        listener.onPv(record.depth, score, record.pv, record.pvLength, context.nodes, elapsed,
                      context.selDepth, bound);
        return;
    }
    sortLines(lines);
    if (line == lines - 1 || engine.verbose) {
        for (int j = 0; j < lines; j++) {
            const PvLine& record = engine.pvLines[j];
            listener.onMultiPv(j + 1, record.depth, record.score, record.pv, record.pvLength,
                               elapsed, context.nodes, context.selDepth, bound);
        }
    }
}

void RootDriver::reportFail(int lines, int score, Bound bound) {
    SearchListener& listener = *engine.listener;
    if (lines == 1) {
        const PvLine& record = engine.pvLines[0];
        listener.onPv(record.depth, score, record.pv, record.pvLength, context.nodes, elapsed,
                      context.selDepth, bound);
        return;
    }
    for (int j = 0; j < lines; j++) {
        const PvLine& record = engine.pvLines[j];
        listener.onMultiPv(j + 1, record.depth, record.score, record.pv, record.pvLength, elapsed,
                           context.nodes, context.selDepth, bound);
    }
}

// The best move leads the next iteration; the moves ahead of it move back one
// place with their scores, so the others keep the pre-sort order.
void RootDriver::moveToFront(Move move) {
    for (int n = 0; n < list.count; n++) {
        if (list.moves[n].move != move) continue;
        const ScoredMove front = list.moves[n];
        for (int k = n; k > 0; k--) list.moves[k] = list.moves[k - 1];
        list.moves[0] = front;
        return;
    }
}

int RootDriver::iterate(int maxDepth, int lines) {
    auto running = [&] { return engine.stopState.load(std::memory_order_relaxed) == Running; };
    int i = 1;
    for (; i <= maxDepth; i++) {
        engine.excludedCount = 0;
        for (int k = 0; k < lines; k++) engine.pvLines[k].prevScore = engine.pvLines[k].score;

        int lastScore = 0;
        for (int k = 0; k < lines; k++) {
            PvLine& record = engine.pvLines[k];
            int delta = AspirationStart;
            int a = -RootWindow, b = RootWindow;
            if (i >= 6) {
                a = record.prevScore - AspirationStart > -RootWindow ? record.prevScore - AspirationStart
                                                                    : -RootWindow;
                b = record.prevScore + AspirationStart < RootWindow ? record.prevScore + AspirationStart
                                                                   : RootWindow;
            }

            bool leave = false;
            for (;;) {
                const int v = pass(i, a, b);
                lastScore = v;
                if (!running()) {
                    if (context.pvLength[0] > 0) {
                        copyPv(record, i);
                        reportLine(k, lines, v, Exact);
                    }
                    leave = true;
                    break;
                }
                if (elapsed > VerboseAfterMicros) engine.verbose = true;
                record.score = v;

                Bound bound = Exact;
                if (v <= a) {
                    a -= delta;
                    delta *= 2;
                    if (delta > AspirationOpen || a < -RootWindow) a = -RootWindow;
                    bound = Upper;
                } else if (v >= b) {
                    b += delta;
                    delta *= 2;
                    if (delta > AspirationOpen || b > RootWindow) b = RootWindow;
                    bound = Lower;
                }
                if (v >= MateBound + 1 || v <= -(MateBound + 1)) {
                    // A mate score: the line's window opens completely.
                    delta = AspirationOpen + 1;
                    a = -RootWindow;
                    b = RootWindow;
                }
                if (context.pvLength[0] > 0) copyPv(record, i);

                if (bound != Exact) {
                    if (engine.verbose || engine.toolMode) reportFail(lines, v, bound);
                    if (!running()) {
                        if (context.pvLength[0] > 0) reportLine(k, lines, v, Exact);
                        leave = true;
                        break;
                    }
                    continue;  // again with the widened window
                }
                if (context.pvLength[0] > 0) reportLine(k, lines, v, Exact);
                break;
            }
            if (leave || !running()) break;
            if (k < lines - 1) engine.excludedMoves[engine.excludedCount++] = context.pv[0][0];
        }

        // The clock's end-of-iteration rules, measured by the clock's own
        // share even when a shorter move time is given with it.
        if (engine.limitedBy(Clock) && !engine.ponderSearch.load(std::memory_order_relaxed) &&
            running()) {
            const bool mateFound = lastScore > MateBound || lastScore < -MateBound;
            if (list.count == 1 || (i >= 6 && mateFound) ||
                (i >= 2 && elapsed > 0.6 * double(clockShare)))
                engine.stopState.store(Stopped, std::memory_order_relaxed);
        }

        const PvLine& first = engine.pvLines[0];
        if (first.pvLength > 0) {
            best = first.pv[0];
            ponder = first.pvLength > 1 ? first.pv[1] : NoMove;
            moveToFront(best);
        }
        if (!running()) break;
    }
    if (i > maxDepth) {
        // An analysis or a ponder search answers only when told to.
        engine.waitForEndingCommand();
        // The iterations ran out; a stop that came meanwhile keeps its kind.
        StopState expected = Running;
        engine.stopState.compare_exchange_strong(expected, Stopped, std::memory_order_relaxed);
    }
    return i;
}

}  // namespace

// The reply expected after `best`: the table's move for the position after
// it when that move is legal there, else the first legal reply.
Move Engine::findPonderMove(Move best) {
    const int mover = position.sideToMove;
    UndoRecord undo;
    position.makeMove(best, undo);
    Move result = NoMove;
    if (!position.isAttacked(position.kingSquare[mover], mover ^ 1)) {
        ScoredMove replies[MaxMoves];
        const int count = position.generateLegalMoves(replies, position.inCheck());
        Move tableMove = NoMove;
        int score = 0;
        transpositionTable.probe(position.key, 0, 0, -RootWindow, RootWindow, tableMove, score);
        // Compared with the legal replies rather than made: a table move can
        // belong to another position with the same bucket and key bits.
        for (int k = 0; k < count && tableMove != NoMove; k++)
            if (replies[k].move == tableMove) result = tableMove;
        if (result == NoMove && count > 0) result = replies[0].move;
    }
    position.unmakeMove(best, undo);
    return result;
}

void Engine::finishSearch(Move best, Move ponder, int depth, int maxDepth, int selDepth,
                          uint64_t nodes, double elapsed, bool fromBook) {
    // Every change to the game position, the ponder move's trial included,
    // is made under `gameGuard`: reports copy the game while a search runs.
    gameGuard.lock();
    if (ponderAllowed && ponder == NoMove && best != NoMove) ponder = findPonderMove(best);
    if (ponderSearch.load(std::memory_order_relaxed)) {
        // The pondered move goes back; the listeners decide what the best and
        // ponder moves become.
        ponderSearch = false;
        if (stopState.load(std::memory_order_relaxed) != PonderStopped)
            stopState = fromBook || depth >= maxDepth ? PonderFinished : PonderStopped;
        takeBack();
    } else if (best != NoMove && limitMode != Infinite) {
        pushRepetitionKey(position.key);
        UndoRecord undo;
        position.makeMove(best, undo);
        gameHistory.push_back(undo);
    }
    gameGuard.unlock();
    listener->onSearchDone(stopState.load(std::memory_order_relaxed), best, ponder, depth, selDepth,
                           nodes, elapsed);
    searching = false;
}

void Engine::finishAbortedSearch(Move best, Move ponder, int depth, int selDepth, uint64_t nodes,
                                 double elapsed) {
    searching = false;
    if (ponderSearch.load(std::memory_order_relaxed)) {
        gameGuard.lock();
        takeBack();
        gameGuard.unlock();
    }
    listener->onSearchDone(Aborted, best, ponder, depth, selDepth, nodes, elapsed);
}

bool Engine::think(int ponder, bool armedByRequest) {
    if (searching.load()) return true;  // never nested

    // Settled before the search counts as searching: a ponder hit waits for
    // that, then clears the ponder flag and reads the search clock.
    Timer callTimer;
    searchTimer.start();
    callTimer.start();
    ponderSearch = ponder != 0 && ponderAllowed;
    searching = true;

    rootSide = Color(position.sideToMove);
    evalParams.ownColour = position.sideToMove;

    if (threadPool.mainThread == nullptr) {
        logger.log(LogError, "search requested before the engine was initialised");
        listener->onSearchDone(Stopped, NoMove, NoMove, 0, 0, 0, 0.0);
        ponderSearch = false;
        searching = false;
        return true;
    }

    // The legality test makes and unmakes each move on the game position.
    gameGuard.lock();
    followWeights();
    MovePicker rootList;
    rootList.count = position.generateLegalMoves(rootList.moves, position.inCheck());
    gameGuard.unlock();
    // Known before the book, which ends a ponder search by it.
    int maxDepth = limitedBy(Depth) ? depthLimit : MaxIteration;
    if (maxDepth > MaxIteration) maxDepth = MaxIteration;

    if (rootList.count == 0) {
        if (limitMode != Infinite && !ponderSearch.load(std::memory_order_relaxed)) {
            listener->onSearchDone(Stopped, NoMove, NoMove, 0, 0, 0, 0.0);
            ponderSearch = false;
            searching = false;
            return true;
        }
        // The side to move is mated or stalemated. An analysis or a ponder
        // search still answers only when told to, like one that has run out
        // of iterations, and it has no line of its own to answer with.
        if (!armedByRequest) stopState = Running;
        pvLines[0].pvLength = 0;
        waitForEndingCommand();
        StopState expected = Running;
        stopState.compare_exchange_strong(expected, Stopped, std::memory_order_relaxed);
        if (stopState.load(std::memory_order_relaxed) == Aborted)
            finishAbortedSearch(NoMove, NoMove, 0, 0, 0, 0.0);
        else
            finishSearch(NoMove, NoMove, 0, maxDepth, 0, 0, 0.0, false);
        return true;
    }

    // The book's switches change with a load on the protocol thread, under
    // the book's lock.
    book.guard.lock();
    const bool probeBook = bookInUse && int64_t(gameHistory.size()) < int64_t(bookPlyLimit);
    book.guard.unlock();
    if (probeBook) {
        const Move bookMove = book.probe(position.key, rootList.moves, rootList.count);
        if (bookMove != NoMove) {
            if (limitMode == Infinite && !ponderSearch.load(std::memory_order_relaxed)) {
                // An analysis answers only when told to, from the book too;
                // a stop that ends it keeps its kind.
                if (!armedByRequest) stopState = Running;
                waitForEndingCommand();
                StopState expected = Running;
                stopState.compare_exchange_strong(expected, Stopped, std::memory_order_relaxed);
            } else {
                stopState = Stopped;
            }
            finishSearch(bookMove, NoMove, 1, maxDepth, 0, 0, 0.0, true);
            return true;
        }
    }

    // Search set-up.
    if (!armedByRequest) stopState = Running;
    pollCounter = 0;
    throttleCounter = 0;
    // With a move time and a clock both given, the shorter of the two counts.
    timeBudget = limitedBy(MoveTime) ? moveTime : INT32_MAX;
    int32_t clockShare = INT32_MAX;
    int lines = multiPv < 1 ? 1 : multiPv > MaxLines ? MaxLines : multiPv;
    if (limitedBy(Clock)) {
        clockShare = clockBudget(clock[rootSide], movesToGo, increment[rootSide], searchCount);
        if (clockShare < timeBudget) timeBudget = clockShare;
        lines = 1;  // no MultiPV under a clock
    }
    if (lines > rootList.count) lines = rootList.count;
    verbose = false;
    searchCount++;
    transpositionTable.age = (transpositionTable.age + 1) & 63;
    linesInUse = lines;
    for (int k = 0; k < lines; k++) {
        pvLines[k].prevScore = 0;
        pvLines[k].score = 0;
        pvLines[k].depth = 0;
        pvLines[k].pvLength = 0;
        pvLines[k].pv[0] = NoMove;
    }
    for (SearchThread* thread : threadPool.threads) {
        std::memset(thread->history, 0, sizeof(thread->history));
        std::memset(thread->killers, 0, sizeof(thread->killers));
        thread->nodes.store(0, std::memory_order_relaxed);
    }

    RootDriver driver(*this, rootList, callTimer);
    driver.clockShare = clockShare;
    driver.preSort();
    const int i = maxDepth >= 1 ? driver.iterate(maxDepth, lines) : 1;
    const int depth = maxDepth >= 1 ? i - 1 : 0;
    if (maxDepth < 1) {
        StopState expected = Running;
        stopState.compare_exchange_strong(expected, Stopped, std::memory_order_relaxed);
    }

    // A search stopped before any pass produced a line still answers with a
    // legal move: the first of the pre-sorted list.
    Move best = driver.best;
    if (best == NoMove) best = rootList.moves[0].move;

    if (stopState.load(std::memory_order_relaxed) == Aborted) {
        finishAbortedSearch(best, driver.ponder, i, driver.selDepth(), driver.nodes(),
                            driver.elapsed);
        return true;
    }
    finishSearch(best, driver.ponder, depth, maxDepth, driver.selDepth(), driver.nodes(),
                 driver.elapsed, false);
    return true;
}
