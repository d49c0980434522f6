#pragma once
// Building blocks shared by the generators. Everything here is inline and
// parametrised on the colour at compile time, so each generator becomes
// straight-line bitboard code without colour branches.

#include "board/attacks.h"
#include "board/bitops.h"
#include "board/movegen_sink.h"
#include "board/position.h"

namespace movegen {

constexpr Bitboard notFileA = 0xfefefefefefefefeULL;
constexpr Bitboard notFileH = 0x7f7f7f7f7f7f7f7fULL;
constexpr Bitboard innerRanks = 0x00ffffffffffff00ULL;  // ranks 2-7

// Colour-dependent offsets (destination minus origin) and masks. "Left" captures are the ones taken by a
// shift of 7 (toward the a-file for White, toward the h-file for Black); both
// colours list them first.
template <int Us>
struct PawnGeometry;

template <>
struct PawnGeometry<White> {
    static constexpr int forward = 8;
    static constexpr int captureLeft = 7;
    static constexpr int captureRight = 9;
    static constexpr Bitboard leftMask = notFileH;
    static constexpr Bitboard rightMask = notFileA;
    static constexpr Bitboard lastRank = 0xff00000000000000ULL;
    static constexpr Bitboard doublePushRank = 0x00000000ff000000ULL;  // rank 4
};

template <>
struct PawnGeometry<Black> {
    static constexpr int forward = -8;
    static constexpr int captureLeft = -7;
    static constexpr int captureRight = -9;
    static constexpr Bitboard leftMask = notFileA;
    static constexpr Bitboard rightMask = notFileH;
    static constexpr Bitboard lastRank = 0x00000000000000ffULL;
    static constexpr Bitboard doublePushRank = 0x000000ff00000000ULL;  // rank 5
};

// Shift a set the given number of squares toward the colour's far side.
template <int Us>
inline Bitboard advance(Bitboard b, int squares) {
    return Us == White ? b << squares : b >> squares;
}

constexpr Move pawnBits = Move(Pawn) << 12;

// Attack set of a non-pawn piece for the current occupancy.
template <int Type>
inline Bitboard pieceAttacks(int square, Bitboard occupied) {
    static_assert(Type >= Knight && Type <= King, "pawns are generated as sets");
    if (Type == Knight)
        return AttackTables::knightAttacks[square];
    if (Type == Bishop)
        return bishopAttacks(square, occupied);
    if (Type == Rook)
        return rookAttacks(square, occupied);
    if (Type == Queen)
        return bishopAttacks(square, occupied) | rookAttacks(square, occupied);
    return AttackTables::kingAttacks[square];
}

// One word per destination of a fixed origin; the captured field comes from
// the board. Lists known to hold only empty destinations skip that load.
template <bool ToEmpty = false>
inline void addFromOrigin(const Position& pos, Move base, Bitboard targets, MoveSink& out) {
    while (targets) {
        const int to = popLowest(targets);
        out.add(base | Move(to) << 6 | (ToEmpty ? 0 : Move(pos.board[to]) << 15));
    }
}

// Every piece of one type of colour Us, by ascending origin and destination.
template <int Us, int Type, bool ToEmpty = false>
inline void addPieceMoves(const Position& pos, Bitboard targets, MoveSink& out) {
    Bitboard origins = pos.pieces[Us][Type];
    while (origins) {
        const int from = popLowest(origins);
        addFromOrigin<ToEmpty>(pos, Move(from) | Move(Type) << 12,
                               pieceAttacks<Type>(from, pos.occupied) & targets, out);
    }
}

// Knights, bishops, rooks and queens, each type complete before the next.
template <int Us, bool ToEmpty = false>
inline void addMinorAndMajorMoves(const Position& pos, Bitboard targets, MoveSink& out) {
    addPieceMoves<Us, Knight, ToEmpty>(pos, targets, out);
    addPieceMoves<Us, Bishop, ToEmpty>(pos, targets, out);
    addPieceMoves<Us, Rook, ToEmpty>(pos, targets, out);
    addPieceMoves<Us, Queen, ToEmpty>(pos, targets, out);
}

// Pawn moves given as a set of destinations and the distance back to origin.
template <bool ToEmpty = false>
inline void addPawnSet(const Position& pos, Bitboard destinations, int back, MoveSink& out) {
    while (destinations) {
        const int to = popLowest(destinations);
        out.add(Move(to - back) | Move(to) << 6 | pawnBits | (ToEmpty ? 0 : Move(pos.board[to]) << 15));
    }
}

// Promotions: queen, rook, knight, bishop per destination; the quiescence
// lists take the queen only.
template <bool Underpromotions>
inline void addPromotionSet(const Position& pos, Bitboard destinations, int back, MoveSink& out) {
    while (destinations) {
        const int to = popLowest(destinations);
        const Move base = Move(to - back) | Move(to) << 6 | pawnBits | Move(pos.board[to]) << 15;
        out.add(base | Move(Queen) << 18);
        if (Underpromotions) {
            out.add(base | Move(Rook) << 18);
            out.add(base | Move(Knight) << 18);
            out.add(base | Move(Bishop) << 18);
        }
    }
}

// En-passant captures of colour Us, when the last move was a double push of
// an enemy pawn that still stands behind an empty target square. A FEN may
// name an impossible en-passant square; the pawn and emptiness tests keep
// such a field from producing a move that would corrupt the board. Evasions
// pass the checker as `victimFilter` and the interposition squares as
// `targetFilter`: taking the checking pawn and landing on the checking line
// both answer the check.
template <int Us>
inline void addEnPassant(const Position& pos, Bitboard victimFilter, Bitboard targetFilter,
                         MoveSink& out) {
    if (!pos.epFile)
        return;
    const int target = Us == White ? 39 + pos.epFile : 15 + pos.epFile;
    const int victim = Us == White ? target - 8 : target + 8;
    const Bitboard victimBit = AttackTables::squareBit[victim];
    const Bitboard targetBit = AttackTables::squareBit[target];
    if (!(pos.pieces[Us ^ 1][Pawn] & victimBit) || (pos.occupied & targetBit) ||
        !((victimBit & victimFilter) | (targetBit & targetFilter)))
        return;
    Bitboard takers = pos.pieces[Us][Pawn] & AttackTables::pawnAttacks[Us ^ 1][target];
    while (takers) {
        const int from = popLowest(takers);
        out.add(Move(from) | Move(target) << 6 | 0x809000u);
    }
}

// The eleven capture groups of colour Us; the quiescence list differs only
// in dropping under-promotions.
template <int Us, bool Underpromotions>
inline void addCaptures(const Position& pos, MoveSink& out) {
    using G = PawnGeometry<Us>;
    const Bitboard targets = pos.byColor[Us ^ 1];
    const Bitboard pawns = pos.pieces[Us][Pawn];
    addMinorAndMajorMoves<Us>(pos, targets, out);
    addFromOrigin(pos, Move(pos.kingSquare[Us]) | Move(King) << 12,
                  AttackTables::kingAttacks[pos.kingSquare[Us]] & targets, out);
    const Bitboard left = advance<Us>(pawns, 7) & targets & G::leftMask;
    const Bitboard right = advance<Us>(pawns, 9) & targets & G::rightMask;
    addPawnSet(pos, left & innerRanks, G::captureLeft, out);
    addPawnSet(pos, right & innerRanks, G::captureRight, out);
    addEnPassant<Us>(pos, ~Bitboard(0), 0, out);
    addPromotionSet<Underpromotions>(pos, left & G::lastRank, G::captureLeft, out);
    addPromotionSet<Underpromotions>(pos, right & G::lastRank, G::captureRight, out);
    addPromotionSet<Underpromotions>(pos, advance<Us>(pawns, 8) & ~pos.occupied & G::lastRank, G::forward,
                                     out);
}

}  // namespace movegen
