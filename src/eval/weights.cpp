#include "eval/weights.h"

#include <cstring>

#include "board/types.h"
#include "eval/eval_params.h"
#include "foundation/log.h"

// The piece and exchange values and startMaterial are initialised statically
// to their built-in values: the board code reads them when it sets up a
// position, which may happen before the engine initialises the weights.
int pieceValue[8] = {0, 100, 325, 325, 500, 975, 0, 0};
int seeValue[8] = {0, 100, 325, 325, 500, 975, 5000, 0};
int startMaterial = 4075;

int pstMid[16][64];
int pstEnd[16][64];
int knightOutpost[2][64];

int knightMobilityMid[9];
int knightMobilityEnd[9];
int bishopMobilityMid[14];
int bishopMobilityEnd[14];
int rookMobilityMid[15];
int rookMobilityEnd[15];
int queenMobilityMid[28];
int queenMobilityEnd[28];
int mobilityWeightMid[8];
int mobilityWeightEnd[8];
int mobilityOffset[8];

int passedPawnMid[8];
int passedPawnEnd[8];
int kingShelter[8];
int kingAttackPenalty[32];
int kingProximity[8];

int bishopPairMid;
int bishopPairEnd;
int pawnDoubledMid;
int pawnDoubledEnd;
int pawnIsolatedMid;
int pawnIsolatedEnd;
int pawnBackwardMid;
int pawnBackwardEnd;
int rookOpenFileMid;
int rookOpenFileEnd;
int rookHalfOpenFileMid;
int rookHalfOpenFileEnd;
int rookSeventhMid;
int rookSeventhEnd;
int rookTrapped;
int bishopTrapped;
int knightTrapped;
int blockedCentrePawn;
int tempoMid;
int tempoEnd;
int noPawnsPenalty;

namespace {

uint32_t weightsGeneration = 0;

// Built-in black piece-square rows, written as a board is drawn: rank 8 in the
// first line, files a to h left to right. drawnToSquare turns the drawing
// position into a square index.
using DrawnTable = int[64];

constexpr int drawnToSquare(int drawnIndex) { return drawnIndex ^ 56; }

const DrawnTable zeroTable = {};

const DrawnTable pawnMidDrawn = {
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
     -2,  -1,  -1,  10,  10,  -1,  -1,  -2,
     -4,  -2,  -2,  20,  20,  -2,  -2,  -4,
      0,   0,   0,  10,  10,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
};

const DrawnTable knightMidDrawn = {
    -40, -24, -20, -20, -20, -20, -24, -40,
    -24,  -8,   4,   4,   4,   4,  -8, -24,
    -20,   2,   8,   8,   8,   8,   2, -20,
    -20,   2,   8,   8,   8,   8,   2, -20,
    -20,   2,   4,   4,   4,   4,   2, -20,
    -20,   2,   2,   2,   2,   2,   2, -20,
    -24,  -8,   0,   0,   0,   0,  -8, -24,
    -40, -24, -20, -20, -20, -20, -24, -40,
};

const DrawnTable bishopMidDrawn = {
    -40,  -8,  -8,  -8,  -8,  -8,  -8, -40,
     -8,   8,   4,   4,   4,   4,   8,  -8,
     -8,   2,   6,   8,   8,   6,   2,  -8,
     -8,   2,   6,   8,   8,   6,   2,  -8,
     -8,   2,   4,   4,   4,   4,   2,  -8,
     -8,   2,   2,   2,   2,   2,   2,  -8,
     -8,   0,   0,   0,   0,   0,   0,  -8,
    -40,  -8,  -8,  -8,  -8,  -8,  -8, -40,
};

// Knights and bishops share one end-game table.
const DrawnTable minorEndDrawn = {
    -40, -16,  -8,  -8,  -8,  -8, -16, -40,
    -16,   0,   2,   2,   2,   2,   0, -16,
     -8,   2,   2,   4,   4,   2,   2,  -8,
     -8,   2,   4,   8,   8,   4,   2,  -8,
     -8,   2,   4,   8,   8,   4,   2,  -8,
     -8,   2,   2,   4,   4,   2,   2,  -8,
    -16,   0,   2,   2,   2,   2,   0, -16,
    -40, -16,  -8,  -8,  -8,  -8, -16, -40,
};

const DrawnTable rookMidDrawn = {
     -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
     -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
     -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
     -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
     -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
     -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
     -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
     -4,  -2,  -1,   0,   0,  -1,  -2,  -4,
};

const DrawnTable queenEndDrawn = {
    -32, -16,  -2,  -2,  -2,  -2, -16, -32,
    -16,   0,   8,   8,   8,   8,   0, -16,
     -2,   8,  10,  12,  12,  10,   8,  -2,
     -2,   8,  12,  16,  16,  12,   8,  -2,
     -2,   8,  12,  16,  16,  12,   8,  -2,
     -2,   8,  10,  12,  12,  10,   8,  -2,
    -16,   0,   8,   8,   8,   8,   0, -16,
    -32, -16,  -2,  -2,  -2,  -2, -16, -32,
};

const DrawnTable kingMidDrawn = {
     -8,  32,  32,  -8,   0,  -8,  32,  -8,
    -16, -16, -16, -16, -16, -16, -16, -16,
    -32, -32, -32, -32, -32, -32, -32, -32,
    -32, -32, -32, -32, -32, -32, -32, -32,
    -32, -32, -32, -32, -32, -32, -32, -32,
    -32, -32, -32, -32, -32, -32, -32, -32,
    -32, -32, -32, -32, -32, -32, -32, -32,
    -32, -32, -32, -32, -32, -32, -32, -32,
};

const DrawnTable kingEndDrawn = {
    -50, -30, -30, -30, -30, -30, -30, -50,
    -30,   0,   0,   0,   0,   0,   0, -30,
    -30,   0,  16,  16,  16,  16,   0, -30,
    -30,   0,  16,  32,  32,  16,   0, -30,
    -30,   0,  16,  32,  32,  16,   0, -30,
    -30,   0,  16,  16,  16,  16,   0, -30,
    -30,   0,   0,   0,   0,   0,   0, -30,
    -50, -30, -30, -30, -30, -30, -30, -50,
};

// By piece type 0..7.
const int* const builtinPstMid[8] = {zeroTable,      pawnMidDrawn, knightMidDrawn, bishopMidDrawn,
                                     rookMidDrawn,   zeroTable,    kingMidDrawn,   zeroTable};
const int* const builtinPstEnd[8] = {zeroTable, zeroTable, minorEndDrawn, minorEndDrawn,
                                     zeroTable, queenEndDrawn, kingEndDrawn, zeroTable};

// Knight outposts, black row then white row (its rank mirror), drawn as above.
const DrawnTable blackOutpostDrawn = {
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   8,  16,  16,  16,  16,   8,   0,
      0,   8,  16,  32,  32,  16,   8,   0,
      0,   0,  16,  32,  32,  16,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
};

const DrawnTable whiteOutpostDrawn = {
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,  16,  32,  32,  16,   0,   0,
      0,   8,  16,  32,  32,  16,   8,   0,
      0,   8,  16,  16,  16,  16,   8,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
};

const int builtinPieceValue[8] = {0, 100, 325, 325, 500, 975, 0, 0};
const int builtinSeeValue[8] = {0, 100, 325, 325, 500, 975, 5000, 0};
const int builtinMobilityWeightMid[8] = {0, 0, 48, 48, 32, 16, 0, 0};
const int builtinMobilityWeightEnd[8] = {0, 0, 40, 40, 40, 24, 0, 0};
const int builtinPassedPawnMid[8] = {0, 0, 0, 10, 21, 45, 95, 0};
const int builtinPassedPawnEnd[8] = {0, 10, 10, 21, 43, 90, 191, 0};
const int builtinKingShelter[8] = {50, 0, 10, 20, 30, 30, 30, 50};
const int builtinKingAttackPenalty[32] = {0,   2,   4,   8,   11,  16,  23,  31,  41,  54,  69,
                                          89,  113, 142, 176, 216, 262, 314, 371, 431, 494, 556,
                                          616, 673, 725, 771, 811, 845, 874, 898, 918, 933};
const int builtinKingProximity[8] = {0, 0, 25, 20, 15, 10, 5, 0};

void copyDrawn(int (&row)[64], const int* drawn) {
    for (int i = 0; i < 64; ++i) row[drawnToSquare(i)] = drawn[i];
}

template <int N>
void fillMobility(int (&table)[N], int weight, int offset) {
    // C++ division truncates toward zero, as the tables require even for
    // negative weights a personality could never set but a test might.
    for (int k = 0; k < N; ++k) table[k] = weight * k / 8 - offset;
}

}  // namespace

uint32_t evalWeightsGeneration() { return weightsGeneration; }

void initEvalWeights(const EvalParams& params, bool apply) {
    for (int t = 0; t < 8; ++t) {
        copyDrawn(pstMid[t], builtinPstMid[t]);
        copyDrawn(pstEnd[t], builtinPstEnd[t]);
    }
    copyDrawn(knightOutpost[Black], blackOutpostDrawn);
    copyDrawn(knightOutpost[White], whiteOutpostDrawn);

    std::memcpy(pieceValue, builtinPieceValue, sizeof pieceValue);
    std::memcpy(seeValue, builtinSeeValue, sizeof seeValue);
    std::memcpy(mobilityWeightMid, builtinMobilityWeightMid, sizeof mobilityWeightMid);
    std::memcpy(mobilityWeightEnd, builtinMobilityWeightEnd, sizeof mobilityWeightEnd);
    std::memset(mobilityOffset, 0, sizeof mobilityOffset);
    std::memcpy(passedPawnMid, builtinPassedPawnMid, sizeof passedPawnMid);
    std::memcpy(passedPawnEnd, builtinPassedPawnEnd, sizeof passedPawnEnd);
    std::memcpy(kingShelter, builtinKingShelter, sizeof kingShelter);
    std::memcpy(kingAttackPenalty, builtinKingAttackPenalty, sizeof kingAttackPenalty);
    std::memcpy(kingProximity, builtinKingProximity, sizeof kingProximity);

    bishopPairMid = 50;
    bishopPairEnd = 50;
    pawnDoubledMid = 10;
    pawnDoubledEnd = 20;
    pawnIsolatedMid = 10;
    pawnIsolatedEnd = 15;
    pawnBackwardMid = 15;
    pawnBackwardEnd = 15;
    rookOpenFileMid = 30;
    rookOpenFileEnd = 10;
    rookHalfOpenFileMid = 20;
    rookHalfOpenFileEnd = 10;
    rookSeventhMid = 10;
    rookSeventhEnd = 30;
    rookTrapped = 50;
    bishopTrapped = 100;
    knightTrapped = 100;
    blockedCentrePawn = 20;
    tempoMid = 5;
    tempoEnd = 5;
    noPawnsPenalty = 50;

    if (apply) {
        logger.log(LogInfo, "init personality");
        const int32_t* v = params.values;
        for (int t = Pawn; t <= Queen; ++t) pieceValue[t] = v[EvalParams::PawnValue + t - Pawn];
        bishopPairMid = bishopPairEnd = v[EvalParams::BishopPair];
        pawnDoubledMid = v[EvalParams::PawnDoubledMid];
        pawnDoubledEnd = v[EvalParams::PawnDoubledEnd];
        pawnIsolatedMid = v[EvalParams::PawnIsolatedMid];
        pawnIsolatedEnd = v[EvalParams::PawnIsolatedEnd];
        pawnBackwardMid = v[EvalParams::PawnBackwardMid];
        pawnBackwardEnd = v[EvalParams::PawnBackwardEnd];
        rookOpenFileMid = v[EvalParams::RookOpenFileMid];
        rookOpenFileEnd = v[EvalParams::RookOpenFileEnd];
        rookHalfOpenFileMid = v[EvalParams::RookSemiOpenFileMid];
        rookHalfOpenFileEnd = v[EvalParams::RookSemiOpenFileEnd];
        rookSeventhMid = v[EvalParams::Rook7thRankMid];
        rookSeventhEnd = v[EvalParams::Rook7thRankEnd];
    }

    initEvalTables();
}

void initEvalTables() {
    for (int t = 0; t < 8; ++t) {
        for (int s = 0; s < 64; ++s) {
            pstMid[8 + t][s] = pstMid[t][s ^ 56];
            pstEnd[8 + t][s] = pstEnd[t][s ^ 56];
        }
    }

    // The black outposts are made symmetric across the d/e file boundary,
    // then white gets their rank mirror.
    for (int s = 0; s < 64; ++s)
        if (fileOf(s) >= 4) knightOutpost[Black][s] = knightOutpost[Black][s ^ 7];
    for (int s = 0; s < 64; ++s) knightOutpost[White][s] = knightOutpost[Black][s ^ 56];

    startMaterial = 8 * pieceValue[Pawn] + 2 * pieceValue[Knight] + 2 * pieceValue[Bishop] +
                    2 * pieceValue[Rook] + pieceValue[Queen];

    fillMobility(knightMobilityMid, mobilityWeightMid[Knight], mobilityOffset[Knight]);
    fillMobility(knightMobilityEnd, mobilityWeightEnd[Knight], mobilityOffset[Knight]);
    fillMobility(bishopMobilityMid, mobilityWeightMid[Bishop], mobilityOffset[Bishop]);
    fillMobility(bishopMobilityEnd, mobilityWeightEnd[Bishop], mobilityOffset[Bishop]);
    fillMobility(rookMobilityMid, mobilityWeightMid[Rook], mobilityOffset[Rook]);
    fillMobility(rookMobilityEnd, mobilityWeightEnd[Rook], mobilityOffset[Rook]);
    fillMobility(queenMobilityMid, mobilityWeightMid[Queen], mobilityOffset[Queen]);
    fillMobility(queenMobilityEnd, mobilityWeightEnd[Queen], mobilityOffset[Queen]);

    ++weightsGeneration;
}
