#include "search/move_picker.h"

#include <cassert>

#include "eval/weights.h"
#include "search/thread_pool.h"

int32_t captureScore(Move move) {
    int32_t score = CaptureBase + 16 * pieceValue[moveCaptured(move)] - pieceValue[movePiece(move)];
    if (const int promotion = movePromotion(move)) score += 16 * pieceValue[promotion];
    return score;
}

namespace {

inline bool capturesOrQueens(Move move) {
    return moveCaptured(move) != NoPiece || movePromotion(move) == Queen;
}

inline int32_t historyScore(const Position& position, Move move) {
    return int32_t(position.owner->history[position.sideToMove][movePiece(move)][moveTo(move)]) +
           QuietBase;
}

// A capture of a cheaper piece (or a push that promotes, victim worth 0) may
// lose material; only those are worth an exchange evaluation.
inline bool capturesCheaper(Move move) {
    return pieceValue[moveCaptured(move)] < pieceValue[movePiece(move)];
}

}  // namespace

int32_t MovePicker::next(const Position& position, Move& move) {
    for (;;) {
        switch (stage) {
            case StageTtMove:
                stage = StageGenCaptures;
                if (position.isPseudoLegal(ttMove)) {
                    move = ttMove;
                    return StageTtMove;
                }
                ttMove = NoMove;
                break;

            case StageGenCaptures: {
                stage = StageGoodCaptures;
                index = 0;
                badCount = 0;
                count = position.sideToMove == White ? position.generateCapturesWhite(moves)
                                                     : position.generateCapturesBlack(moves);
                assert(count <= MaxMoves);
                if (count == 0) {
                    stage = StageKiller1;
                    break;
                }
                for (int i = 0; i < count; i++) {
                    const Move m = moves[i].move;
                    moves[i].score = capturesOrQueens(m) ? captureScore(m) : QuietBase;
                }
                sortMoves(moves, count);
                break;
            }

            case StageGoodCaptures:
                while (index < count) {
                    const Move m = moves[index++].move;
                    if (capturesCheaper(m) && position.see(m) < 0) {
                        // Entries before `index` are spent, so the deferred
                        // list never overtakes the one being read.
                        moves[badCount++].move = m;
                        continue;
                    }
                    if (m == ttMove) continue;
                    move = m;
                    return StageGoodCaptures;
                }
                stage = StageKiller1;
                break;

            case StageKiller1:
                stage = StageKiller2;
                if (killer1 != ttMove && position.isPseudoLegal(killer1)) {
                    move = killer1;
                    return StageKiller1;
                }
                break;

            case StageKiller2:
                stage = StageGenQuiets;
                if (killer2 != ttMove && position.isPseudoLegal(killer2)) {
                    move = killer2;
                    return StageKiller2;
                }
                break;

            case StageGenQuiets: {
                stage = StageQuiets;
                ScoredMove* quiets = moves + count;
                const int added = position.sideToMove == White ? position.generateQuietsWhite(quiets)
                                                               : position.generateQuietsBlack(quiets);
                assert(count + added <= MaxMoves);
                if (added == 0) {
                    index = 0;
                    count = badCount;
                    stage = StageBadCaptures;
                    break;
                }
                for (int i = 0; i < added; i++) quiets[i].score = historyScore(position, quiets[i].move);
                sortMoves(quiets, added);
                count += added;
                // `index` already points at the first quiet move.
                break;
            }

            case StageQuiets:
                while (index < count) {
                    const Move m = moves[index++].move;
                    if (m == ttMove || m == killer1 || m == killer2) continue;
                    move = m;
                    return StageQuiets;
                }
                stage = StageBadCaptures;
                index = 0;
                count = badCount;
                break;

            case StageBadCaptures:
                while (index < count) {
                    const Move m = moves[index++].move;
                    if (m == ttMove) continue;  // deferred in the capture stage like any other
                    move = m;
                    return StageBadCaptures;
                }
                stage = StageDone;
                return StageDone;

            case StageEvasionTtMove:
                stage = StageGenEvasions;
                if (position.isPseudoLegal(ttMove)) {
                    move = ttMove;
                    return StageEvasionTtMove;
                }
                ttMove = NoMove;
                break;

            case StageGenEvasions: {
                count = position.generateEvasions(moves);
                assert(count <= MaxMoves);
                if (count == 0) {
                    stage = StageDone;
                    return StageDone;
                }
                for (int i = 0; i < count; i++) {
                    const Move m = moves[i].move;
                    moves[i].score = capturesOrQueens(m) ? captureScore(m)
                                     : m == killer1      ? Killer1EvasionScore
                                     : m == killer2      ? Killer2EvasionScore
                                                         : historyScore(position, m);
                }
                sortMoves(moves, count);
                index = 0;
                stage = StageEvasions;
                break;
            }

            case StageEvasions:
                while (index < count) {
                    const Move m = moves[index++].move;
                    if (m == ttMove) continue;
                    move = m;
                    return StageEvasions;
                }
                stage = StageDone;
                return StageDone;

            default:
                stage = StageDone;
                return StageDone;
        }
    }
}

void scoreCaptures(ScoredMove* list, int count) {
    for (int i = 0; i < count; i++) {
        const Move m = list[i].move;
        list[i].score = !capturesOrQueens(m) ? QsearchOtherScore
                        : capturesCheaper(m) ? QsearchLosingScore
                                             : captureScore(m);
    }
    sortMoves(list, count);
}

void scoreEvasions(const Position& position, ScoredMove* list, int count) {
    for (int i = 0; i < count; i++) {
        const Move m = list[i].move;
        list[i].score = capturesOrQueens(m)        ? captureScore(m)
                        : movePromotion(m) != 0    ? QsearchOtherScore
                                                   : historyScore(position, m);
    }
    sortMoves(list, count);
}
