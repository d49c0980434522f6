#include "eval/evaluate.h"

#include <cstdlib>

#include "board/attacks.h"
#include "board/bitops.h"
#include "board/position.h"
#include "eval/endgame.h"
#include "eval/eval_params.h"
#include "eval/pawns.h"
#include "eval/score_math.h"
#include "eval/weights.h"

// The divisions (all in score_math.h) come in a fixed order and truncate
// toward zero: the scores must agree to the centipawn with any other
// evaluation of the same rules.

namespace {

using AttackTables::fileMask;
using AttackTables::kingAttacks;
using AttackTables::knightAttacks;
using AttackTables::rankMask;

// Material more than this far outside the window cannot be brought back by
// the positional terms, so the lazy exit answers with material alone.
constexpr int LazyMargin = 325;

// Endgame knowledge only pays off with at most this much phase left.
constexpr int EndgamePhase = 8;

constexpr Bitboard bit(int square) { return Bitboard(1) << square; }

inline int highestBit(Bitboard b) { return 63 - __builtin_clzll(b); }

inline int kingDistance(int a, int b) {
    const int df = std::abs(fileOf(a) - fileOf(b));
    const int dr = std::abs(rankOf(a) - rankOf(b));
    return df > dr ? df : dr;
}

// Squares attacked by the pawns of one colour. A pawn on its last rank
// (possible in a set-up position) attacks nothing: the shifts push it off
// the board.
inline Bitboard whitePawnAttacks(Bitboard pawns) {
    return ((pawns & ~fileMask[0]) << 7) | ((pawns & ~fileMask[7]) << 9);
}
inline Bitboard blackPawnAttacks(Bitboard pawns) {
    return ((pawns & ~fileMask[0]) >> 9) | ((pawns & ~fileMask[7]) >> 7);
}

// The positional sums of one colour's pieces, and the squares they attack,
// kept by piece type for the king-safety step of the other colour.
struct PieceTerms {
    int mid = 0;
    int end = 0;
    int mobilityMid = 0;
    int mobilityEnd = 0;
    Bitboard knightAttacked = 0;
    Bitboard bishopAttacked = 0;
    Bitboard rookAttacked = 0;
    Bitboard queenAttacked = 0;
};

PieceTerms scorePieces(const Position& position, int colour, const Bitboard pawnAttacked[2]) {
    PieceTerms t;
    const int enemy = colour ^ 1;
    const Bitboard occupied = position.occupied;
    const Bitboard ownPawns = position.pieces[colour][Pawn];
    const Bitboard enemyPawns = position.pieces[enemy][Pawn];
    // Squares a piece can use: not blocked by its own side, not covered by
    // an enemy pawn.
    const Bitboard area = ~position.byColor[colour] & ~pawnAttacked[enemy];

    const int knightRow = colour * 8 + Knight;
    for (Bitboard b = position.pieces[colour][Knight]; b;) {
        const int s = popLowest(b);
        t.mid += pstMid[knightRow][s];
        t.end += pstEnd[knightRow][s];
        const Bitboard attacks = knightAttacks[s];
        t.knightAttacked |= attacks;
        const int count = popCount(attacks & area);
        t.mobilityMid += knightMobilityMid[count];
        t.mobilityEnd += knightMobilityEnd[count];
        const int outpost = knightOutpost[colour][s];
        if (outpost != 0 && !(pawnAttacked[enemy] & bit(s)) && (pawnAttacked[colour] & bit(s))) {
            t.mid += outpost;
            t.end += outpost;
        }
    }

    const int bishopRow = colour * 8 + Bishop;
    for (Bitboard b = position.pieces[colour][Bishop]; b;) {
        const int s = popLowest(b);
        t.mid += pstMid[bishopRow][s];
        t.end += pstEnd[bishopRow][s];
        const Bitboard attacks = bishopAttacks(s, occupied);
        t.bishopAttacked |= attacks;
        const int count = popCount(attacks & area);
        t.mobilityMid += bishopMobilityMid[count];
        t.mobilityEnd += bishopMobilityEnd[count];
    }

    // A rook on the seventh counts when it pins the enemy king to its back
    // rank or has enemy pawns to eat there.
    const int seventh = colour == White ? 6 : 1;
    const int enemyBack = colour == White ? 7 : 0;
    const bool seventhHasPrey = rankOf(position.kingSquare[enemy]) == enemyBack ||
                                (enemyPawns & rankMask[seventh]) != 0;
    const int rookRow = colour * 8 + Rook;
    for (Bitboard b = position.pieces[colour][Rook]; b;) {
        const int s = popLowest(b);
        t.mid += pstMid[rookRow][s];
        t.end += pstEnd[rookRow][s];
        const Bitboard attacks = rookAttacks(s, occupied);
        t.rookAttacked |= attacks;
        const int count = popCount(attacks & area);
        t.mobilityMid += rookMobilityMid[count];
        t.mobilityEnd += rookMobilityEnd[count];
        const Bitboard file = fileMask[fileOf(s)];
        if (!(ownPawns & file)) {
            if (!(enemyPawns & file)) {
                t.mid += rookOpenFileMid;
                t.end += rookOpenFileEnd;
            } else {
                t.mid += rookHalfOpenFileMid;
                t.end += rookHalfOpenFileEnd;
            }
        }
        if (rankOf(s) == seventh && seventhHasPrey) {
            t.mid += rookSeventhMid;
            t.end += rookSeventhEnd;
        }
    }

    const int queenRow = colour * 8 + Queen;
    for (Bitboard b = position.pieces[colour][Queen]; b;) {
        const int s = popLowest(b);
        t.mid += pstMid[queenRow][s];
        t.end += pstEnd[queenRow][s];
        const Bitboard attacks = bishopAttacks(s, occupied) | rookAttacks(s, occupied);
        t.queenAttacked |= attacks;
        const int count = popCount(attacks & area);
        t.mobilityMid += queenMobilityMid[count];
        t.mobilityEnd += queenMobilityEnd[count];
    }
    return t;
}

struct PassedTerms {
    int mid = 0;
    int end = 0;
};

PassedTerms scorePassedPawns(const Position& position, int colour, Bitboard passed,
                             Bitboard ownPawnAttacked) {
    PassedTerms t;
    const int enemy = colour ^ 1;
    const int ownKing = position.kingSquare[colour];
    const int enemyKing = position.kingSquare[enemy];
    const Bitboard enemyPieces = position.byColor[enemy];
    for (Bitboard b = passed; b;) {
        const int s = popLowest(b);
        const int relativeRank = colour == White ? rankOf(s) : 7 - rankOf(s);
        const int bonusMid = passedPawnMid[relativeRank];
        const int bonusEnd = passedPawnEnd[relativeRank];
        const int halfMid = bonusMid >> 1;
        const int halfEnd = bonusEnd >> 1;
        t.mid += bonusMid;
        t.end += bonusEnd;
        // The square in front; a pawn already on its last rank has none.
        const bool hasFront = colour == White ? s < 56 : s >= 8;
        if (hasFront && (enemyPieces & bit(colour == White ? s + 8 : s - 8))) {
            t.mid -= halfMid;
            t.end -= halfEnd;
        }
        if (ownPawnAttacked & bit(s)) {
            t.mid += halfMid;
            t.end += halfEnd;
        }
        t.end += kingDistance(s, enemyKing) - kingDistance(s, ownKing) + 1;
    }
    return t;
}

// Shelter of a king on its first two ranks: the own pawn nearest the own
// back rank on the king's file and the files beside it.
int kingShelterOf(const Position& position, int colour) {
    const int king = position.kingSquare[colour];
    const int relativeKingRank = colour == White ? rankOf(king) : 7 - rankOf(king);
    if (relativeKingRank > 1) return 0;
    const Bitboard pawns = position.pieces[colour][Pawn];
    const int file = fileOf(king);
    int shelter = 0;
    for (int f = file > 0 ? file - 1 : 0; f <= (file < 7 ? file + 1 : 7); ++f) {
        const Bitboard onFile = pawns & fileMask[f];
        int r = 0;
        if (onFile) r = colour == White ? rankOf(lowestBit(onFile)) : 7 - rankOf(highestBit(onFile));
        shelter -= kingShelter[r];
    }
    return shelter;
}

int kingAttackUnits(int king, const PieceTerms& attacker) {
    const Bitboard zone = kingAttacks[king];
    const int units = 2 * popCount(zone & attacker.knightAttacked) +
                      2 * popCount(zone & attacker.bishopAttacked) +
                      3 * popCount(zone & attacker.rookAttacked) +
                      5 * popCount(zone & attacker.queenAttacked);
    return units < 31 ? units : 31;
}

// The danger to one king grows with the attacker's remaining material. The
// product is taken in 64 bits; with all piece values zero (startMaterial 0)
// the term is simply 0.
int64_t kingSafetyOf(const Position& position, int colour, int enemyMid,
                     const PieceTerms& enemyPieces, const EvalParams& params) {
    const int units = kingAttackUnits(position.kingSquare[colour], enemyPieces);
    int64_t safety = scoremath::kingSafetyTerm(
        enemyMid, kingShelterOf(position, colour) - kingAttackPenalty[units], startMaterial);
    if (params.loaded) {
        const int factor = params.ownColour == colour ? params.values[EvalParams::KingSafetyOwn]
                                                      : params.values[EvalParams::KingSafetyOpp];
        safety = scoremath::applyPercent(safety, factor);
    }
    return safety;
}

}  // namespace

int evaluate(const EvalParams& params, const Position& position, PawnHashTable& pawnHash,
             int alpha, int beta) {
    const int sideToMove = position.sideToMove;

    // Lazy exit on raw material.
    int material = position.material[White] - position.material[Black];
    if (sideToMove == Black) material = -material;
    if (material + LazyMargin < alpha || material - LazyMargin > beta) return material;

    // Endgame knowledge.
    const int phase = position.phase[White] + position.phase[Black];
    int scale = FullScale;
    if (phase <= EndgamePhase) {
        int finalScore;
        if (probeEndgame(position, finalScore, scale)) return finalScore;
    }

    const Bitboard whitePawns = position.pieces[White][Pawn];
    const Bitboard blackPawns = position.pieces[Black][Pawn];

    // Material, bishop pair, pawnless penalty, tempo.
    int sideMid[2], sideEnd[2];
    for (int c = Black; c <= White; ++c) {
        sideMid[c] = sideEnd[c] = position.material[c];
        const Bitboard bishops = position.pieces[c][Bishop];
        if (bishops & (bishops - 1)) {
            sideMid[c] += bishopPairMid;
            sideEnd[c] += bishopPairEnd;
        }
        if (!position.pieces[c][Pawn]) {
            sideMid[c] -= noPawnsPenalty;
            sideEnd[c] -= noPawnsPenalty;
        }
    }
    int mid = sideMid[White] - sideMid[Black];
    int end = sideEnd[White] - sideEnd[Black];
    if (sideToMove == White) {
        mid += tempoMid;
        end += tempoEnd;
    } else {
        mid -= tempoMid;
        end -= tempoEnd;
    }

    // Middle-game patterns: blocked centre pawns and shut-in pieces.
    const Bitboard occupied = position.occupied;
    const Bitboard whiteKnights = position.pieces[White][Knight];
    const Bitboard blackKnights = position.pieces[Black][Knight];
    const Bitboard whiteBishops = position.pieces[White][Bishop];
    const Bitboard blackBishops = position.pieces[Black][Bishop];
    const Bitboard whiteRooks = position.pieces[White][Rook];
    const Bitboard blackRooks = position.pieces[Black][Rook];
    const int whiteKing = position.kingSquare[White];
    const int blackKing = position.kingSquare[Black];

    if ((whitePawns & bit(D2)) && (occupied & bit(D3))) mid -= blockedCentrePawn;
    if ((whitePawns & bit(E2)) && (occupied & bit(E3))) mid -= blockedCentrePawn;
    if ((blackPawns & bit(D7)) && (occupied & bit(D6))) mid += blockedCentrePawn;
    if ((blackPawns & bit(E7)) && (occupied & bit(E6))) mid += blockedCentrePawn;

    if ((whiteKnights & bit(A7)) && (blackPawns & bit(B7)) && (blackPawns & bit(A6)))
        mid -= knightTrapped;
    if ((whiteKnights & bit(H7)) && (blackPawns & bit(G7)) && (blackPawns & bit(H6)))
        mid -= knightTrapped;
    if ((blackKnights & bit(A2)) && (whitePawns & bit(A3)) && (whitePawns & bit(B2)))
        mid += knightTrapped;
    if ((blackKnights & bit(H2)) && (whitePawns & bit(H3)) && (whitePawns & bit(G2)))
        mid += knightTrapped;

    if ((whiteBishops & bit(A7)) && (blackPawns & bit(B6))) mid -= bishopTrapped;
    if ((whiteBishops & bit(H7)) && (blackPawns & bit(G6))) mid -= bishopTrapped;
    if ((blackBishops & bit(A2)) && (whitePawns & bit(B3))) mid += bishopTrapped;
    if ((blackBishops & bit(H2)) && (whitePawns & bit(G3))) mid += bishopTrapped;

    if ((whiteKing <= C1 && (whiteRooks & (bit(A1) | bit(B1)))) ||
        (whiteKing >= F1 && whiteKing <= H1 && (whiteRooks & (bit(G1) | bit(H1)))))
        mid -= rookTrapped;
    if ((blackKing >= A8 && blackKing <= C8 && (blackRooks & (bit(A8) | bit(B8)))) ||
        (blackKing >= F8 && (blackRooks & (bit(G8) | bit(H8)))))
        mid += rookTrapped;

    // Pawn structure, from the pawn hash when the formation is there.
    const PawnHashEntry pawns = probePawns(position.pawnKey, whitePawns, blackPawns, pawnHash);
    mid += pawns.mid;
    end += pawns.end;
    Bitboard pawnAttacked[2];
    pawnAttacked[White] = whitePawnAttacks(whitePawns);
    pawnAttacked[Black] = blackPawnAttacks(blackPawns);

    // Pieces.
    const PieceTerms white = scorePieces(position, White, pawnAttacked);
    const PieceTerms black = scorePieces(position, Black, pawnAttacked);
    mid += white.mid - black.mid;
    end += white.end - black.end;

    // Passed pawns.
    const PassedTerms whitePassed =
        scorePassedPawns(position, White, pawns.whitePassed, pawnAttacked[White]);
    const PassedTerms blackPassed =
        scorePassedPawns(position, Black, pawns.blackPassed, pawnAttacked[Black]);
    mid += whitePassed.mid - blackPassed.mid;
    end += whitePassed.end - blackPassed.end;

    // Mobility, weighted per colour by a personality.
    if (!params.loaded) {
        mid += white.mobilityMid - black.mobilityMid;
        end += white.mobilityEnd - black.mobilityEnd;
    } else {
        const int own = params.values[EvalParams::MobilityOwn];
        const int opp = params.values[EvalParams::MobilityOpp];
        const int whiteFactor = params.ownColour == White ? own : opp;
        const int blackFactor = params.ownColour == Black ? own : opp;
        mid += scoremath::weightedDifference(white.mobilityMid, black.mobilityMid, whiteFactor,
                                             blackFactor);
        end += scoremath::weightedDifference(white.mobilityEnd, black.mobilityEnd, whiteFactor,
                                             blackFactor);
    }

    // King safety and king placement.
    const int64_t whiteSafety = kingSafetyOf(position, White, sideMid[Black], black, params);
    const int64_t blackSafety = kingSafetyOf(position, Black, sideMid[White], white, params);
    mid += int(whiteSafety - blackSafety) + pstMid[8 + King][whiteKing] - pstMid[King][blackKing];
    end += pstEnd[8 + King][whiteKing] - pstEnd[King][blackKing];

    // Blend by phase, scale drawish endings.
    int score = scoremath::blendByPhase(mid, end, phase);
    if (scale != FullScale) score = scoremath::applyScale(score, scale);

    // Deterministic noise from the position key: the same position always
    // gets the same score. Below 2000 Elo the full score keeps elo / 20
    // percent of its weight.
    const int noise = scoremath::noiseOf(position.key);
    if (params.reducedStrength && !params.loaded) {
        if (params.elo < 2000) score = scoremath::mixNoise(score, noise, 100 - params.elo / 20);
    } else if (params.loaded && params.values[EvalParams::Randomness] != 0) {
        score = scoremath::mixNoise(score, noise, params.values[EvalParams::Randomness]);
    }

    return sideToMove == Black ? -score : score;
}
