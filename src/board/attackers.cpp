// Read-only questions about a position: square attacks, whether a move word
// from outside the current generation is playable, and static exchange.

#include <algorithm>

#include "board/attacks.h"
#include "board/bitops.h"
#include "board/movegen_attacks.h"
#include "board/position.h"
#include "eval/weights.h"

bool Position::isAttacked(int square, int by) const {
    return squareAttackedBy(*this, square, by);
}

namespace {

// The king's destination of a castling move by colour and wing.
constexpr int castleKingTarget[2][2] = {{G8, G1}, {C8, C1}};  // [wing][colour]

constexpr Bitboard lastRank[2] = {0xffULL, 0xff00000000000000ULL};  // [colour]
constexpr Bitboard secondRank[2] = {0x00ff000000000000ULL, 0xff00ULL};

// Every bit of the move word that no generator ever sets.
constexpr Move unusedBits = 0xff400000;

bool castlingPseudoLegal(const Position& pos, Move move, int us) {
    const int from = moveFrom(move), to = moveTo(move);
    if (movePiece(move) != King || moveCaptured(move) != 0 || movePromotion(move) != 0 ||
        isEnPassant(move) || from != pos.kingStart[us])
        return false;
    int wing;
    if (to == pos.rookStart[ShortWing][us])
        wing = ShortWing;
    else if (to == pos.rookStart[LongWing][us])
        wing = LongWing;
    else
        return false;
    const int right = us == White ? (wing == ShortWing ? WhiteShort : WhiteLong)
                                  : (wing == ShortWing ? BlackShort : BlackLong);
    if (!(pos.castlingRights & right) || !(pos.pieces[us][Rook] & AttackTables::squareBit[to]) ||
        (pos.castleEmptyMask[wing][us] & pos.occupied))
        return false;
    const int target = castleKingTarget[wing][us];
    for (int s = std::min(from, target), last = std::max(from, target); s <= last; ++s)
        if (squareAttackedBy(pos, s, us ^ 1))
            return false;
    return true;
}

bool pawnPseudoLegal(const Position& pos, Move move, int us) {
    const int from = moveFrom(move), to = moveTo(move);
    const Bitboard toBit = AttackTables::squareBit[to];
    const int promotion = movePromotion(move);
    // A pawn reaching its last rank must promote, and only there.
    if (bool(toBit & lastRank[us]) != (promotion != 0))
        return false;
    if (promotion != 0 && (promotion < Knight || promotion > Queen))
        return false;
    if (isEnPassant(move)) {
        if (moveCaptured(move) != Pawn || promotion != 0 || pos.epFile == 0)
            return false;
        const int target = us == White ? 39 + pos.epFile : 15 + pos.epFile;
        const int victim = us == White ? target - 8 : target + 8;
        return to == target && !(pos.occupied & toBit) &&
               (pos.pieces[us ^ 1][Pawn] & AttackTables::squareBit[victim]) &&
               (AttackTables::pawnAttacks[us][from] & toBit);
    }
    if (moveCaptured(move) != 0)  // the victim was checked by the caller
        return (AttackTables::pawnAttacks[us][from] & toBit) != 0;
    const int forward = us == White ? 8 : -8;
    if (to == from + forward)
        return true;
    return to == from + 2 * forward && (AttackTables::squareBit[from] & secondRank[us]) &&
           !(pos.occupied & AttackTables::squareBit[from + forward]);
}

}  // namespace

bool Position::isPseudoLegal(Move move) const {
    if (move == NoMove || (move & unusedBits))
        return false;
    const int us = sideToMove, them = us ^ 1;
    const int from = moveFrom(move), to = moveTo(move);
    const int piece = movePiece(move), captured = moveCaptured(move);
    if (piece < Pawn || piece > King || !(pieces[us][piece] & AttackTables::squareBit[from]))
        return false;
    if (isCastling(move))
        return castlingPseudoLegal(*this, move, us);
    if (piece != Pawn && (movePromotion(move) != 0 || isEnPassant(move)))
        return false;
    const Bitboard toBit = AttackTables::squareBit[to];
    if (captured == NoPiece || isEnPassant(move)) {
        if (occupied & toBit)
            return false;
    } else if (captured > Queen || !(pieces[them][captured] & toBit)) {
        return false;  // a king is never captured; the victim must be the named piece
    }
    switch (piece) {
    case Pawn:
        return pawnPseudoLegal(*this, move, us);
    case Knight:
        return (AttackTables::knightAttacks[from] & toBit) != 0;
    case Bishop:
        return (bishopAttacks(from, occupied) & toBit) != 0;
    case Rook:
        return (rookAttacks(from, occupied) & toBit) != 0;
    case Queen:
        return (queenAttacks(from, occupied) & toBit) != 0;
    default:
        return (AttackTables::kingAttacks[from] & toBit) != 0;
    }
}

namespace {

// Which slider lines a first capture by this piece type can open behind it:
// 1 the diagonals, 2 the lines.
constexpr int xrayFlags[8] = {0, 1, 0, 1, 2, 3, 0, 0};

// One exchange entry per capture: every piece on the board except the first
// victim can capture once at most, so 32 attackers plus the first gain bound
// the list on any board.
constexpr int MaxExchange = 33;

}  // namespace

int Position::see(Move move) const {
    using namespace AttackTables;
    const int from = moveFrom(move), to = moveTo(move);
    const Bitboard diagonalPieces = pieces[0][Bishop] | pieces[1][Bishop] | pieces[0][Queen] |
                                    pieces[1][Queen];
    const Bitboard linePieces = pieces[0][Rook] | pieces[1][Rook] | pieces[0][Queen] |
                                pieces[1][Queen];
    Bitboard occupancy = occupied;
    Bitboard attackers =
        (kingAttacks[to] & (pieces[0][King] | pieces[1][King])) |
        (knightAttacks[to] & (pieces[0][Knight] | pieces[1][Knight])) |
        (pawnAttacks[White][to] & pieces[Black][Pawn]) |
        (pawnAttacks[Black][to] & pieces[White][Pawn]) |
        (bishopAttacks(to, occupancy) & diagonalPieces) | (rookAttacks(to, occupancy) & linePieces);

    int gain[MaxExchange];
    gain[0] = seeValue[moveCaptured(move)];
    occupancy &= ~squareBit[from];
    if (isEnPassant(move))
        occupancy &= ~squareBit[sideToMove == White ? to - 8 : to + 8];

    const int firstPiece = movePiece(move);
    if (xrayFlags[firstPiece] & 1)
        attackers |= bishopAttacks(to, occupancy) & diagonalPieces;
    if (firstPiece == Pawn || (xrayFlags[firstPiece] & 2))
        attackers |= rookAttacks(to, occupancy) & linePieces;
    attackers &= occupancy;
    if (!attackers)
        return gain[0];

    int side = sideToMove ^ 1;
    int pieceOnTo = firstPiece;
    int count = 1;
    while (count < MaxExchange) {
        const Bitboard own = attackers & byColor[side];
        if (!own)
            break;
        int type = Pawn;
        Bitboard candidates = own & pieces[side][Pawn];
        while (!candidates) {
            ++type;
            candidates = own & pieces[side][type];
        }
        occupancy &= ~squareBit[lowestBit(candidates)];
        if (type == Pawn || type == Bishop || type == Queen)
            attackers |= bishopAttacks(to, occupancy) & diagonalPieces;
        if (type == Rook || type == Queen)
            attackers |= rookAttacks(to, occupancy) & linePieces;
        gain[count] = seeValue[pieceOnTo] - gain[count - 1];
        ++count;
        if (pieceOnTo == King)
            break;
        side ^= 1;
        attackers &= occupancy;
        if (!attackers)
            break;
        pieceOnTo = type;
    }
    for (int k = count - 2; k >= 0; --k)
        gain[k] = -std::max(-gain[k], gain[k + 1]);
    return gain[0];
}
