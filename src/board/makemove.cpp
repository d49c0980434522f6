// The rare move kinds of make and unmake: castling, en passant and
// promotion. Kept out of line so that the inline ordinary path stays small
// at each of its many call sites.

#include "board/makemove.h"

namespace moveupdate {

namespace {

// Takes the piece of `color` and `type` off `square` (or puts it back: the
// same exclusive-or), with everything the piece counts for except the board
// byte and the keys.
inline void togglePieceCounts(Position& pos, int color, int type, int square, int sign) {
    const Bitboard bit = bitOf(square);
    pos.byColor[color] ^= bit;
    pos.pieces[color][type] ^= bit;
    pos.materialSignature += uint64_t(sign) * signatureUnits.unit[color][type];
    pos.material[color] += sign * pieceValue[type];
    pos.phase[color] += sign * phaseWeight[type];
}

}  // namespace

void makeRareMove(Position& pos, Move move, Key k) {
    using namespace ZobristKeys;
    const int them = pos.sideToMove;
    const int us = them ^ 1;
    const int from = moveFrom(move);
    const int to = moveTo(move);

    if (move & CastlingFlag) {
        // Lift both pieces before placing either: in Chess960 a destination
        // may be the other piece's start square.
        const int wing = from < to ? ShortWing : LongWing;
        const int kingTo = castleKingTarget[wing][us];
        const int rookTo = castleRookTarget[wing][us];
        const Bitboard lifted = bitOf(from) | bitOf(to);
        const Bitboard placed = bitOf(kingTo) | bitOf(rookTo);
        pos.occupied = (pos.occupied & ~lifted) | placed;
        pos.byColor[us] = (pos.byColor[us] & ~lifted) | placed;
        pos.pieces[us][King] = bitOf(kingTo);
        pos.pieces[us][Rook] = (pos.pieces[us][Rook] & ~bitOf(to)) | bitOf(rookTo);
        pos.board[from] = 0;
        pos.board[to] = 0;
        pos.board[kingTo] = King;
        pos.board[rookTo] = Rook;
        k ^= piece[us][Rook][to] ^ piece[us][Rook][rookTo] ^ piece[us][King][from] ^ piece[us][King][kingTo];
        pos.kingSquare[us] = kingTo;
        pos.key = k;
        return;
    }

    const int captured = moveCaptured(move);
    if (move & EnPassantFlag) {
        const int victim = to + epVictimOffset[us];
        togglePieceCounts(pos, them, Pawn, victim, -1);
        pos.occupied ^= bitOf(victim);
        pos.board[victim] = 0;
        k ^= piece[them][Pawn][victim];
        pos.pawnKey ^= piece[them][Pawn][victim] ^ piece[us][Pawn][from] ^ piece[us][Pawn][to];
        const Bitboard fromTo = bitOf(from) | bitOf(to);
        pos.occupied ^= fromTo;
        pos.byColor[us] ^= fromTo;
        pos.pieces[us][Pawn] ^= fromTo;
        pos.board[from] = 0;
        pos.board[to] = Pawn;
        pos.key = k ^ piece[us][Pawn][from] ^ piece[us][Pawn][to];
        return;
    }

    // Promotion, with or without a capture.
    const int promotion = movePromotion(move);
    if (captured) {
        togglePieceCounts(pos, them, captured, to, -1);
        k ^= piece[them][captured][to];
    }
    pos.occupied = (pos.occupied ^ bitOf(from)) | bitOf(to);
    pos.byColor[us] ^= bitOf(from) | bitOf(to);
    pos.pieces[us][Pawn] ^= bitOf(from);
    pos.pieces[us][promotion] ^= bitOf(to);
    pos.materialSignature += signatureUnits.unit[us][promotion] - signatureUnits.unit[us][Pawn];
    pos.material[us] += pieceValue[promotion] - pieceValue[Pawn];
    pos.phase[us] += phaseWeight[promotion];
    pos.board[from] = 0;
    pos.board[to] = uint8_t(promotion);
    pos.pawnKey ^= piece[us][Pawn][from];
    pos.key = k ^ piece[us][Pawn][from] ^ piece[us][promotion][to];
}

void unmakeRareMove(Position& pos, Move move) {
    const int us = pos.sideToMove;
    const int them = us ^ 1;
    const int from = moveFrom(move);
    const int to = moveTo(move);

    if (move & CastlingFlag) {
        const int wing = from < to ? ShortWing : LongWing;
        const int kingTo = castleKingTarget[wing][us];
        const int rookTo = castleRookTarget[wing][us];
        const Bitboard lifted = bitOf(kingTo) | bitOf(rookTo);
        const Bitboard placed = bitOf(from) | bitOf(to);
        pos.occupied = (pos.occupied & ~lifted) | placed;
        pos.byColor[us] = (pos.byColor[us] & ~lifted) | placed;
        pos.pieces[us][King] = bitOf(from);
        pos.pieces[us][Rook] = (pos.pieces[us][Rook] & ~bitOf(rookTo)) | bitOf(to);
        pos.board[kingTo] = 0;
        pos.board[rookTo] = 0;
        pos.board[from] = King;
        pos.board[to] = Rook;
        pos.kingSquare[us] = from;
        return;
    }

    const Bitboard fromTo = bitOf(from) | bitOf(to);
    const int captured = moveCaptured(move);
    if (move & EnPassantFlag) {
        const int victim = to + epVictimOffset[us];
        pos.occupied ^= fromTo | bitOf(victim);
        pos.byColor[us] ^= fromTo;
        pos.pieces[us][Pawn] ^= fromTo;
        pos.board[from] = Pawn;
        pos.board[to] = 0;
        togglePieceCounts(pos, them, Pawn, victim, 1);
        pos.board[victim] = Pawn;
        return;
    }

    const int promotion = movePromotion(move);
    pos.byColor[us] ^= fromTo;
    pos.pieces[us][Pawn] ^= bitOf(from);
    pos.pieces[us][promotion] ^= bitOf(to);
    pos.materialSignature += signatureUnits.unit[us][Pawn] - signatureUnits.unit[us][promotion];
    pos.material[us] += pieceValue[Pawn] - pieceValue[promotion];
    pos.phase[us] -= phaseWeight[promotion];
    pos.board[from] = Pawn;
    pos.board[to] = uint8_t(captured);
    if (captured) {
        pos.occupied ^= bitOf(from);
        togglePieceCounts(pos, them, captured, to, 1);
    } else {
        pos.occupied ^= fromTo;
    }
}

}  // namespace moveupdate
