#pragma once
// Move ordering. The picker hands one node's moves out best first and
// generates them in stages, so a node cut off by the hash move, a good capture
// or a killer never pays for generating its quiet moves.

#include <cstdint>

#include "board/position.h"
#include "board/types.h"

// The stage that runs on the next call. Generation stages fill the list and
// pass straight on; their numbers are never returned.
enum PickerStage : int32_t {
    StageDone = 0,
    StageTtMove = 1,
    StageGenCaptures = 2,
    StageGoodCaptures = 3,
    StageKiller1 = 4,
    StageKiller2 = 5,
    StageGenQuiets = 6,
    StageQuiets = 7,  // ordinary quiet moves: the only ones pruned by count and reduced
    StageBadCaptures = 8,
    StageEvasionTtMove = 9,
    StageGenEvasions = 10,
    StageEvasions = 11,
};

// Ordering scores.
constexpr int32_t CaptureBase = 50000;
constexpr int32_t QuietBase = 4000;
constexpr int32_t Killer1EvasionScore = 45010;
constexpr int32_t Killer2EvasionScore = 45000;
constexpr int32_t QsearchLosingScore = 2000;  // quiescence: a capture of a cheaper piece
constexpr int32_t QsearchOtherScore = -1;

// 50000 + 16 x victim - mover (+ 16 x promotion piece): most valuable victim
// first, cheapest attacker among equals.
int32_t captureScore(Move move);

// Set up by the caller, no constructor work: `stage` (StageTtMove, or
// StageEvasionTtMove in check), `ttMove` and the two killers of the node's
// ply. `index`, `badCount` and `count` are the picker's own.
struct MovePicker {
    int32_t stage;
    int32_t index;
    int32_t badCount;  // deferred losing captures, kept at the front of `moves`
    Move ttMove;       // cleared when it is not pseudo-legal here
    Move killer1;
    Move killer2;
    int32_t count;
    ScoredMove moves[MaxMoves];

    void setUp(bool inCheck, Move hashMove, Move firstKiller, Move secondKiller) {
        stage = inCheck ? StageEvasionTtMove : StageTtMove;
        ttMove = hashMove;
        killer1 = firstKiller;
        killer2 = secondKiller;
    }

    // The next pseudo-legal move (never one returned before) and the number
    // of the stage that produced it, or 0 when the node has no moves left
    // (and on every call after that). The caller tests legality.
    int32_t next(const Position& position, Move& move);
};

// Quiescence ordering of a capture list (not in check), sorted in place.
void scoreCaptures(ScoredMove* list, int count);
// Quiescence ordering of an evasion list, sorted in place; the history table
// is that of the position's owning thread.
void scoreEvasions(const Position& position, ScoredMove* list, int count);

// Stable descending insertion sort: equal scores keep generation order.
inline void sortMoves(ScoredMove* list, int count) {
    for (int i = 1; i < count; i++) {
        const ScoredMove entry = list[i];
        int j = i;
        while (j > 0 && list[j - 1].score < entry.score) {
            list[j] = list[j - 1];
            j--;
        }
        list[j] = entry;
    }
}
