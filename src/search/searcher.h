#pragma once
// The search below the root: principal-variation alpha-beta with quiescence,
// run in a per-thread context that owns a private copy of the position, the
// repetition keys of the game and the path, the moves of the path and the
// triangular principal-variation table.
//
// Depths are in half plies (one ply = 2). Scores are centipawns from the side
// to move; a side mated at ply p scores p - 32000. Results fail hard at the
// lower bound (a node that improves nothing returns alpha) and soft at the
// upper bound (a cut-off returns the score that reached beta). A stopped
// search returns 0 at every level; callers test the stop state before they
// use a result.

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "board/types.h"
#include "search/engine.h"
#include "search/move_picker.h"
#include "search/pv_line.h"
#include "search/scores.h"
#include "search/split_point.h"
#include "search/thread_pool.h"

constexpr int MaxSearchKeys = 256;

struct Searcher {
    Engine* engine;
    SearchThread* thread;
    ThreadPool* pool;
    const EvalParams* evalParams;
    TranspositionTable* table;
    Move (*killers)[2];         // [ply][slot], the thread's own
    uint16_t (*history)[8][64];  // [colour][piece type][to square], the thread's own
    uint64_t nodes;              // legal moves made here (pruned ones included)
    int32_t selDepth;            // highest ply of a search node past the draw tests
    Position position;           // private copy, owned by `thread`
    int32_t keyCount;
    // Keys of the positions before each move: the reversible end of the game,
    // then one per move of the current path.
    Key keys[MaxSearchKeys];
    Move curMove[MaxPly];  // move made at each ply of the path, 0 for a null move
    int32_t pvLength[MaxPly];
    Move pv[MaxPly][MaxPly];
    const MovePicker* rootMoves;  // the root list while the root driver searches

    // Settings that stay fixed for a whole search, read once.
    int32_t drawScore;
    int32_t rootSide;
    bool mainThread;     // thread 0 polls the clock, the node limit and input
    bool multiThreaded;  // more than one thread: nodes may be shared

    // A context for `thread` on a copy of `source`, whose owner becomes
    // `thread`, with the repetition keys `sourceKeys`. `ply` is the ply of
    // the node the context starts from (0 at the root): only the newest keys
    // that a draw test can still reach are kept, leaving room for one key per
    // ply below it.
    Searcher(Engine& owningEngine, SearchThread& searchThread, const Position& source,
             const Key* sourceKeys, int sourceKeyCount, int ply = 0);
    Searcher(const Searcher&) = delete;
    Searcher& operator=(const Searcher&) = delete;

    // Alpha-beta at ply 2..127; depth at least 2; alpha < beta (an inverted
    // window is answered with alpha, unsearched). inCheck: the side to move
    // is in check.
    int search(int alpha, int beta, int depth, int ply, bool isPV, bool inCheck);
    // The children of the root: the same node at ply 1.
    int searchAtPly1(int alpha, int beta, int depth, bool isPV, bool inCheck) {
        return search(alpha, beta, depth, 1, isPV, inCheck);
    }
    // Quiescence at ply 2..127: captures (all evasions in check), and quiet
    // checks at the first quiescence ply (qd >= 0). An inverted window is
    // answered with alpha, unsearched.
    int quiesce(int alpha, int beta, int qd, int ply, bool isPV, bool inCheck);
    int quiesceAtPly1(int alpha, int beta, int qd, bool isPV, bool inCheck) {
        return quiesce(alpha, beta, qd, 1, isPV, inCheck);
    }

    // The best line from `ply`: `move`, then the line found from ply + 1.
    void updatePv(int ply, Move move) {
        const int n = pvLength[ply + 1];
        pv[ply][0] = move;
        for (int i = 0; i < n; i++) pv[ply][i + 1] = pv[ply + 1][i];
        pvLength[ply] = n + 1 < MaxPly - 1 ? n + 1 : MaxPly - 1;
    }

    // The search must unwind: the engine stopped it, or a split point this
    // thread works for (or one above it) was cut off.
    bool mustStop() const {
        return engine->stopState.load(std::memory_order_relaxed) != Running || splitChainCutOff();
    }
    // A split point on this thread's chain (the one it works for, and every
    // one above it) was cut off. The thread's own split point does not change
    // while it searches, so it is read without a lock.
    bool splitChainCutOff() const {
        const SplitPoint* current = thread->currentSplitPoint.load(std::memory_order_relaxed);
        return current != nullptr && current->chainCutOff();
    }

    // Shares the rest of a node with idle threads and searches it together
    // with them (see split_point.h). On return every remaining move has been
    // searched (or the split point was cut off or stopped), *alphaInOut holds
    // the best score and *bestMoveInOut the best move found there; the caller
    // tests the stop state and the cut-off chain before it uses them.
    // `moveCount` is the moves already taken (inner node) or the index of the
    // next root move (root split, ply 0).
    bool split(MovePicker& picker, int alpha, int beta, int depth, int ply, int moveCount,
               bool inCheck, bool rootSplit, bool futilityOn, int futilityValue, int* alphaInOut,
               Move* bestMoveInOut);
    // The work loops of one stint at a split point: entered with s's mutex
    // held, they return with it held, the stint over.
    void workInner(SplitPoint& s);
    void workRoot(SplitPoint& s);

    // Score of a drawn node: -DrawScore for the side that moved at the root.
    int drawValue() const { return position.sideToMove == rootSide ? -drawScore : drawScore; }

    // Node entry: the main thread polls, the others watch the stop state.
    bool pollStops() {
        return mainThread ? engine->poll() == 0
                          : engine->stopState.load(std::memory_order_relaxed) != Running;
    }

    // Draw rules shared by both searches, in their order. At the fifty-move
    // limit a side to move that is in check must still have a legal move;
    // `knownNotInCheck` spares that test when the caller knows.
    bool isDraw(int ply, bool knownNotInCheck);

    // One more legal move made by this context.
    void countNode() {
        nodes++;
        // Only this thread writes its counter; others read it whole.
        thread->nodes.store(thread->nodes.load(std::memory_order_relaxed) + 1,
                            std::memory_order_relaxed);
    }
    void pushKey(Key key) { keys[keyCount++] = key; }

    // Makes a generated move at `ply` for side `us`, `key` being the position
    // before it. A move that leaves the mover's king attacked is taken back at
    // once (false); a legal one becomes the path's move at `ply`, its key
    // joins the repetition keys and it counts as a node.
    bool makeLegalMove(Move move, UndoRecord& undo, int ply, Key key, int us) {
        position.makeMove(move, undo);
        if (position.isAttacked(position.kingSquare[us], us ^ 1)) {
            position.unmakeMove(move, undo);
            return false;
        }
        curMove[ply] = move;
        pushKey(key);
        countNode();
        return true;
    }
    // Takes back a move made after its key was pushed.
    void takeBack(Move move, UndoRecord& undo) {
        position.unmakeMove(move, undo);
        keyCount--;
    }

private:
    [[gnu::noinline]] bool hasLegalEvasion();
    bool isRepetition() const;
    void throttle();
    // Offers the rest of a node to idle threads; true when they searched it
    // (alpha and best move then hold the split point's result).
    bool offerSplit(MovePicker& picker, int alpha, int beta, int depth, int ply, int moveCount,
                    bool inCheck, bool futilityOn, int futilityValue, int* alphaOut,
                    Move* bestMoveOut);
    int nullMoveSearch(int beta, int depth, int ply);
};
