// Sharing one node among threads: the split itself, the booking of idle
// threads, and the stints threads work there.

#include "search/split_point.h"

#include <cstring>

#include "search/engine.h"
#include "search/move_picker.h"
#include "search/pruning.h"
#include "search/reductions.h"
#include "search/searcher.h"
#include "search/thread_pool.h"

namespace {

// Whether `helper` may be booked by `master` now (both under the pool mutex):
// idle, and either free of split points or waiting at one where `master`
// works, so that a waiting master only ever helps those that help it.
bool mayBook(const SearchThread& helper, const SearchThread& master) {
    // Acquire: pairs with the release by which the helper left its last
    // split point, so its last reads of its killers come before our copy.
    if (&helper == &master || helper.working.load(std::memory_order_acquire)) return false;
    const int count = helper.splitPointCount.load(std::memory_order_relaxed);
    return count == 0 ||
           (helper.splitPoints[count - 1].slaveMask.load(std::memory_order_relaxed) & master.bit);
}

// The pool's or a split point's mutex, with the wait for it counted in a
// profiling build.
inline void lockCounted(Mutex& mutex, SearchThread& thread) {
    THREAD_PROFILE(const uint64_t begin = profileTicks();)
    mutex.lockSpinning();
    THREAD_PROFILE(thread.profile.lockTicks += profileTicks() - begin;)
    (void)thread;
}

}  // namespace

bool Searcher::split(MovePicker& picker, int alpha, int beta, int depth, int ply, int moveCount,
                     bool inCheck, bool rootSplit, bool futilityOn, int futilityValue,
                     int* alphaInOut, Move* bestMoveInOut) {
    SearchThread& master = *thread;
    SplitPoint& s = master.splitPoints[master.splitPointCount.load(std::memory_order_relaxed)];
    THREAD_PROFILE(master.profile.splits++;)

    lockCounted(*pool, master);
    lockCounted(s.mutex, master);
    s.parent = master.currentSplitPoint.load(std::memory_order_relaxed);
    s.master = &master;
    s.position = &position;
    s.picker = &picker;
    s.keys = keys;
    s.keyCount = keyCount;
    s.curMove = curMove;
    s.pvLength = pvLength;
    s.pv = pv;
    s.depth = depth;
    s.ply = ply;
    s.futilityValue = futilityValue;
    s.alpha = alpha;
    s.beta = beta;
    s.pvNode = true;
    s.inCheck = inCheck;
    s.rootSplit = rootSplit;
    s.futilityOn = futilityOn;
    s.cutoff.store(false, std::memory_order_relaxed);
    s.moveCount = moveCount;
    s.nodes = 0;
    s.selDepth = selDepth;
    s.bestMove = *bestMoveInOut;
    s.bestScore.store(*alphaInOut, std::memory_order_relaxed);
    s.slaveMask.store(master.bit, std::memory_order_relaxed);
    s.slaveCount = 1;

    master.currentSplitPoint.store(&s, std::memory_order_relaxed);
    master.splitPointCount.store(master.splitPointCount.load(std::memory_order_relaxed) + 1,
                                 std::memory_order_relaxed);

    SearchThread* booked[MaxSearchThreads];
    int bookedCount = 0;
    for (SearchThread* helper : pool->threads) {
        if (!mayBook(*helper, master)) continue;
        s.slaveMask.store(s.slaveMask.load(std::memory_order_relaxed) | helper->bit,
                          std::memory_order_relaxed);
        s.slaveCount++;
        // The helper starts from the master's killers. It is idle, so nobody
        // reads them meanwhile, and the master's own do not change while it
        // sits here.
        const int firstPly = ply >= 2 ? ply - 2 : 0;
        std::memcpy(helper->killers[firstPly], master.killers[firstPly],
                    sizeof(master.killers[0]) * size_t(MaxPly - firstPly));
        helper->currentSplitPoint.store(&s, std::memory_order_relaxed);
        THREAD_PROFILE(helper->profile.bookedAt = profileTicks(); master.profile.booked++;)
        helper->working.store(true, std::memory_order_relaxed);
        booked[bookedCount++] = helper;
    }
    s.mutex.unlock();
    pool->unlock();
    // Woken only now: a sleeping thread's wake-up is a system call, too slow
    // to make under the pool mutex, which every thread starting a stint
    // needs. Nothing is lost: each booked thread tests `working`, set above,
    // under its own mutex before it sleeps.
    for (int i = 0; i < bookedCount; i++) {
        booked[i]->mutex.lock();
        booked[i]->condition.signal();
        booked[i]->mutex.unlock();
    }
    THREAD_PROFILE(master.profile.bookedAt = profileTicks();)

    // Work here like every helper, then wait (helping those who help us)
    // until every thread has left.
    master.idleLoop(&s);

    lockCounted(*pool, master);
    lockCounted(s.mutex, master);
    master.splitPointCount.store(master.splitPointCount.load(std::memory_order_relaxed) - 1,
                                 std::memory_order_relaxed);
    master.currentSplitPoint.store(s.parent, std::memory_order_relaxed);
    nodes += s.nodes;
    if (s.selDepth > selDepth) selDepth = s.selDepth;
    *alphaInOut = s.bestScore.load(std::memory_order_relaxed);
    *bestMoveInOut = s.bestMove;
    master.working.store(true, std::memory_order_relaxed);
    s.mutex.unlock();
    pool->unlock();
    return true;
}

void SearchThread::workAt(SplitPoint& s) {
    // A context of our own on this thread's stack, on a copy of the node.
    THREAD_PROFILE(profile.stints++;)
    Searcher context(*engine, *this, *s.position, s.keys, s.keyCount, s.ply);
    // The null-move rule looks at the move that led to the node.
    if (s.ply > 0) context.curMove[s.ply - 1] = s.curMove[s.ply - 1];

    lockCounted(s.mutex, *this);
    if (s.rootSplit)
        context.workRoot(s);
    else
        context.workInner(s);

    // Leave: our nodes and depth flow into the split point; the last helper
    // out wakes the master (which tests the mask under its own mutex).
    working.store(false, std::memory_order_release);
    s.nodes += context.nodes;
    if (context.selDepth > s.selDepth) s.selDepth = context.selDepth;
    const uint64_t remaining = s.slaveMask.load(std::memory_order_relaxed) & ~bit;
    s.slaveMask.store(remaining, std::memory_order_relaxed);
    s.slaveCount--;
    if (s.master != this && remaining == 0) {
        s.master->mutex.lock();
        s.master->condition.signal();
        s.master->mutex.unlock();
    }
    s.mutex.unlock();
}

namespace {

// The master's PV row `ply`: `move`, then the line the context found below it.
void writeMasterPv(SplitPoint& s, const Searcher& context, int ply, Move move) {
    const int n = context.pvLength[ply + 1];
    Move* row = s.pv[ply];
    row[0] = move;
    for (int i = 0; i < n; i++) row[i + 1] = context.pv[ply + 1][i];
    s.pvLength[ply] = n + 1 < MaxPly - 1 ? n + 1 : MaxPly - 1;
}

inline int maxScore(int a, int b) { return a > b ? a : b; }

}  // namespace

void Searcher::workInner(SplitPoint& s) {
    const int p = s.ply;
    const int d = s.depth;
    const int h = d / 2;
    const int beta = s.beta;
    const int lmrRow = h < 63 ? h : 63;
    const Key key = position.key;
    const int us = position.sideToMove;
    const int them = us ^ 1;

    pvLength[p] = 0;
    pv[p][0] = NoMove;
    const bool lmrAllowed = d > 5 && !s.inCheck && engine->useLmr;
    int a = s.bestScore.load(std::memory_order_relaxed);
    int seen = s.moveCount;

    auto child = [&](int lo, int hi, int e, bool pvChild, bool checked) {
        return e > 1 ? -search(-hi, -lo, e, p + 1, pvChild, checked)
                     : -quiesce(-hi, -lo, 0, p + 1, pvChild, checked);
    };

    Move move;
    int stage;
    while ((stage = s.picker->next(position, move)) != StageDone) {
        UndoRecord undo;
        if (!makeLegalMove(move, undo, p, key, us)) continue;
        const int mc = ++s.moveCount;
        THREAD_PROFILE(thread->profile.splitMoves++;)
        a = maxScore(a, s.bestScore.load(std::memory_order_relaxed));
        s.mutex.unlock();

        const bool givesCheck = position.isAttacked(position.kingSquare[them], us);
        const int ext = extensionFor(move, givesCheck);
        const int nd = d - 2 + ext;

        // Futility against our current view of alpha; no late-move pruning,
        // as every split point is searched like a PV node.
        if (futilityPrunes(s.futilityOn, s.futilityValue, a, seen, move, ext)) {
            takeBack(move, undo);
            lockCounted(s.mutex, *thread);
            seen = mc;
            continue;
        }

        a = maxScore(a, s.bestScore.load(std::memory_order_relaxed));
        int v = a + 1;
        if (seen > 2 && lmrAllowed && ext == 0 && stage == StageQuiets) {
            int r = lmrTable[lmrRow][mc < 63 ? mc : 63];
            if (r > 0) r--;
            if (r > 0) v = child(a, a + 1, nd - 2 * r, false, false);
        }
        if (v > a) {
            v = child(a, a + 1, nd, false, givesCheck);
            if (v > a && v < beta) {
                a = maxScore(a, s.bestScore.load(std::memory_order_relaxed));
                // Another thread may have closed the window meanwhile.
                if (a < beta) v = child(a, beta, nd, true, givesCheck);
            }
        }

        takeBack(move, undo);
        lockCounted(s.mutex, *thread);
        if (mustStop()) return;

        a = maxScore(a, s.bestScore.load(std::memory_order_relaxed));
        seen = s.moveCount;
        if (v > a) {
            s.bestMove = move;
            if (v >= beta) {
                s.bestScore.store(v, std::memory_order_relaxed);
                s.cutoff.store(true, std::memory_order_relaxed);
                return;
            }
            writeMasterPv(s, *this, p, move);
            s.bestScore.store(v, std::memory_order_relaxed);
            a = v;
        }
    }
}

void Searcher::workRoot(SplitPoint& s) {
    const MovePicker& list = *s.picker;
    const int d = s.depth;
    const int beta = s.beta;
    const Key key = position.key;
    const int us = position.sideToMove;
    const int them = us ^ 1;

    pvLength[0] = 0;
    pv[0][0] = NoMove;
    int a = s.bestScore.load(std::memory_order_relaxed);
    int k = s.moveCount;

    auto child = [&](int lo, int hi, int e, bool pvChild, bool checked) {
        return e > 1 ? -searchAtPly1(-hi, -lo, e, pvChild, checked)
                     : -quiesceAtPly1(-hi, -lo, 0, pvChild, checked);
    };
    auto excluded = [&](Move m) {
        if (engine->multiPv <= 1) return false;
        for (int i = 0; i < engine->excludedCount; i++)
            if (engine->excludedMoves[i] == m) return true;
        return false;
    };

    while (k < list.count) {
        const Move move = list.moves[k].move;
        if (excluded(move)) {
            k = ++s.moveCount;
            continue;
        }
        pushKey(key);
        UndoRecord undo;
        position.makeMove(move, undo);  // root moves are legal
        curMove[0] = move;
        countNode();
        s.moveCount++;
        THREAD_PROFILE(thread->profile.splitMoves++;)
        a = maxScore(a, s.bestScore.load(std::memory_order_relaxed));
        if (engine->verbose) engine->listener->onCurrentMove(move, k + 1);
        s.mutex.unlock();

        const bool givesCheck = position.isAttacked(position.kingSquare[them], us);
        const int nd = d - 2 + extensionFor(move, givesCheck);
        a = maxScore(a, s.bestScore.load(std::memory_order_relaxed));
        int v = child(a, a + 1, nd, false, givesCheck);
        if (v > a && v < beta) {
            a = maxScore(a, s.bestScore.load(std::memory_order_relaxed));
            if (a < beta) v = child(a, beta, nd, true, givesCheck);
        }

        takeBack(move, undo);
        lockCounted(s.mutex, *thread);
        if (mustStop()) return;

        a = maxScore(a, s.bestScore.load(std::memory_order_relaxed));
        k = s.moveCount;
        if (v > a) {
            s.bestMove = move;
            writeMasterPv(s, *this, 0, move);
            s.bestScore.store(v, std::memory_order_relaxed);
            a = v;
            if (v >= beta) {
                s.cutoff.store(true, std::memory_order_relaxed);
                return;
            }
        }
    }
}
