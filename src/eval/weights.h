#pragma once
// Evaluation weights: process-wide globals written only between searches
// (engine initialisation, loading or dropping a personality) and read freely
// by every search thread while it searches.
//
// Colours index every per-colour table as 1 = white, 0 = black; squares run
// a1 = 0 .. h8 = 63; piece types 0 none .. 6 king, 7 unused but present.
// All values are centipawns unless stated otherwise.

#include <cstdint>

struct EvalParams;

// Piece values by piece type; entries 0, 6 and 7 stay 0. A personality may
// change entries 1 to 5.
extern int pieceValue[8];
// Exchange values by piece type, used only by the static exchange evaluation;
// never changed by a personality.
extern int seeValue[8];
// One side's material in the initial position (8 pawns, 2 knights, 2 bishops,
// 2 rooks, 1 queen from pieceValue). A personality with zero piece values
// makes it 0, so anything that divides by it must guard the division.
extern int startMaterial;

// Piece-square tables, [colour * 8 + piece type][square]. Rows 0..7 (black)
// are built-in data, rows 8..15 (white) their rank mirror.
extern int pstMid[16][64];
extern int pstEnd[16][64];
// Bonus of a knight on an outpost square, [colour][square].
extern int knightOutpost[2][64];

// Mobility: entry k scores a piece that reaches k squares of its mobility
// area. Sizes are the largest possible count + 1.
extern int knightMobilityMid[9];
extern int knightMobilityEnd[9];
extern int bishopMobilityMid[14];
extern int bishopMobilityEnd[14];
extern int rookMobilityMid[15];
extern int rookMobilityEnd[15];
extern int queenMobilityMid[28];
extern int queenMobilityEnd[28];
// Slopes (eighths of a centipawn per square) and offsets the mobility tables
// are built from, by piece type; only knight..queen entries are used.
extern int mobilityWeightMid[8];
extern int mobilityWeightEnd[8];
extern int mobilityOffset[8];

// By the pawn's relative rank (0 = its own first rank, 7 = its eighth).
extern int passedPawnMid[8];
extern int passedPawnEnd[8];
// By the relative rank of the own pawn nearest the own back rank on a file
// next to the king; 0 means the file holds no own pawn.
extern int kingShelter[8];
// By king-attack units 0..31.
extern int kingAttackPenalty[32];
// By Chebyshev distance between the two kings.
extern int kingProximity[8];

extern int bishopPairMid;
extern int bishopPairEnd;
extern int pawnDoubledMid;
extern int pawnDoubledEnd;
extern int pawnIsolatedMid;
extern int pawnIsolatedEnd;
extern int pawnBackwardMid;
extern int pawnBackwardEnd;
extern int rookOpenFileMid;
extern int rookOpenFileEnd;
extern int rookHalfOpenFileMid;
extern int rookHalfOpenFileEnd;
extern int rookSeventhMid;
extern int rookSeventhEnd;
extern int rookTrapped;
extern int bishopTrapped;
extern int knightTrapped;
extern int blockedCentrePawn;
extern int tempoMid;
extern int tempoEnd;
extern int noPawnsPenalty;

// Resets every weight to its built-in value; with apply, overlays the first
// 18 personality values of params (piece values, bishop pair, pawn and rook
// weights, taken without range checks); then calls initEvalTables.
void initEvalWeights(const EvalParams& params, bool apply);

// Derives the white piece-square rows, the knight-outpost table,
// startMaterial and the mobility tables from the current weights. Calling it
// again on unchanged weights gives the same tables.
void initEvalTables();

// Weight generation: a counter that initEvalTables (and so initEvalWeights)
// advances on every call. Anything that caches results computed from the
// weights records the generation it computed them under and discards them
// when it differs. The engine does so before every search and every
// evaluation of the game position (Engine::followWeights): it recomputes the
// position's material sums and clears each search thread's pawn hash through
// PawnHashTable::clearIfStale (eval/pawns.h). Never advanced during a
// search, since the weights only change between searches.
uint32_t evalWeightsGeneration();
