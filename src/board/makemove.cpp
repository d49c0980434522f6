// Make and unmake: the innermost operations of the search and of perft.
// Everything is adjusted incrementally from the move word and small tables;
// nothing here validates the move or loops over the board.

#include "board/position.h"
#include "eval/weights.h"

namespace {

// King and rook destinations of castling, [wing][colour]: the same squares in
// standard chess and Chess960.
constexpr int castleKingTarget[2][2] = {{62, 6}, {58, 2}};
constexpr int castleRookTarget[2][2] = {{61, 5}, {59, 3}};

// The pawn taken en passant stands behind the to square, seen from the mover.
constexpr int epVictimOffset[2] = {8, -8};

inline Bitboard bitOf(int square) { return Bitboard(1) << square; }

}  // namespace

void Position::makeMove(Move move, UndoRecord& undo) {
    using namespace ZobristKeys;
    const int us = sideToMove;
    const int them = us ^ 1;
    const int from = moveFrom(move);
    const int to = moveTo(move);
    const int moving = movePiece(move);
    const int captured = moveCaptured(move);

    undo.key = key;
    undo.pawnKey = pawnKey;
    undo.move = move;
    undo.castlingRights = castlingRights;
    undo.epFile = epFile;
    undo.halfmoveClock = halfmoveClock;

    Key k = key ^ side ^ enPassant[epFile] ^ castling[castlingRights];

    // The clock is a byte: it sticks at 255 instead of wrapping to 0, which
    // would hide a fifty-move draw.
    if (moving == Pawn || captured)
        halfmoveClock = 0;
    else
        halfmoveClock = uint8_t(halfmoveClock + (halfmoveClock != 255));

    if (captured) {
        int victim = to;
        if (move & EnPassantFlag) {
            victim = to + epVictimOffset[us];
            occupied ^= bitOf(victim);
            board[victim] = 0;
        }
        const Bitboard victimBit = bitOf(victim);
        byColor[them] ^= victimBit;
        pieces[them][captured] ^= victimBit;
        k ^= piece[them][captured][victim];
        if (captured == Pawn) pawnKey ^= piece[them][Pawn][victim];
        materialSignature -= signatureUnit(them, captured);
        material[them] -= pieceValue[captured];
        phase[them] -= phaseWeight[captured];
    }

    // A king or castling rook leaving its start square, or a rook taken on
    // its start square, gives up the rights tied to that square.
    castlingRights &= castlingKept[from] & castlingKept[to];

    uint8_t newEpFile = 0;
    if (move & CastlingFlag) {
        // Lift both pieces before placing either: in Chess960 a destination
        // may be the other piece's start square.
        const int wing = from < to ? ShortWing : LongWing;
        const int kingTo = castleKingTarget[wing][us];
        const int rookTo = castleRookTarget[wing][us];
        const Bitboard lifted = bitOf(from) | bitOf(to);
        const Bitboard placed = bitOf(kingTo) | bitOf(rookTo);
        occupied = (occupied & ~lifted) | placed;
        byColor[us] = (byColor[us] & ~lifted) | placed;
        pieces[us][King] = bitOf(kingTo);
        pieces[us][Rook] = (pieces[us][Rook] & ~bitOf(to)) | bitOf(rookTo);
        board[from] = 0;
        board[to] = 0;
        board[kingTo] = King;
        board[rookTo] = Rook;
        k ^= piece[us][Rook][to] ^ piece[us][Rook][rookTo] ^ piece[us][King][from] ^ piece[us][King][kingTo];
        kingSquare[us] = kingTo;
    } else {
        const int promotion = movePromotion(move);
        int placedType = moving;
        if (promotion) {
            placedType = promotion;
            materialSignature += signatureUnit(us, promotion) - signatureUnit(us, Pawn);
            material[us] += pieceValue[promotion] - pieceValue[Pawn];
            phase[us] += phaseWeight[promotion];
        }
        const Bitboard fromBit = bitOf(from);
        const Bitboard toBit = bitOf(to);
        occupied = (occupied ^ fromBit) | toBit;
        byColor[us] ^= fromBit | toBit;
        pieces[us][moving] ^= fromBit;
        pieces[us][placedType] ^= toBit;
        board[from] = 0;
        board[to] = uint8_t(placedType);
        k ^= piece[us][moving][from] ^ piece[us][placedType][to];

        if (moving == Pawn) {
            pawnKey ^= piece[us][Pawn][from];
            if (!promotion) pawnKey ^= piece[us][Pawn][to];
            if (to - from == 16 || from - to == 16) newEpFile = uint8_t(fileOf(to) + 1);
        } else if (moving == King) {
            kingSquare[us] = to;
        }
    }

    epFile = newEpFile;
    key = k ^ enPassant[newEpFile] ^ castling[castlingRights];
    sideToMove = them;
}

void Position::unmakeMove(Move move, const UndoRecord& undo) {
    const int them = sideToMove;
    const int us = them ^ 1;
    const int from = moveFrom(move);
    const int to = moveTo(move);
    const int moving = movePiece(move);
    const int captured = moveCaptured(move);
    sideToMove = us;

    if (move & CastlingFlag) {
        const int wing = from < to ? ShortWing : LongWing;
        const int kingTo = castleKingTarget[wing][us];
        const int rookTo = castleRookTarget[wing][us];
        const Bitboard lifted = bitOf(kingTo) | bitOf(rookTo);
        const Bitboard placed = bitOf(from) | bitOf(to);
        occupied = (occupied & ~lifted) | placed;
        byColor[us] = (byColor[us] & ~lifted) | placed;
        pieces[us][King] = bitOf(from);
        pieces[us][Rook] = (pieces[us][Rook] & ~bitOf(rookTo)) | bitOf(to);
        board[kingTo] = 0;
        board[rookTo] = 0;
        board[from] = King;
        board[to] = Rook;
        kingSquare[us] = from;
    } else {
        const int promotion = movePromotion(move);
        int placedType = moving;
        if (promotion) {
            placedType = promotion;
            materialSignature += signatureUnit(us, Pawn) - signatureUnit(us, promotion);
            material[us] += pieceValue[Pawn] - pieceValue[promotion];
            phase[us] -= phaseWeight[promotion];
        }
        const Bitboard fromBit = bitOf(from);
        const Bitboard toBit = bitOf(to);
        byColor[us] ^= fromBit | toBit;
        pieces[us][placedType] ^= toBit;
        pieces[us][moving] ^= fromBit;
        board[from] = uint8_t(moving);
        if (moving == King) kingSquare[us] = from;

        if (captured) {
            int victim = to;
            if (move & EnPassantFlag) {
                victim = to + epVictimOffset[us];
                occupied ^= toBit | bitOf(victim);
                board[to] = 0;
            }
            const Bitboard victimBit = bitOf(victim);
            occupied |= fromBit;
            byColor[them] |= victimBit;
            pieces[them][captured] |= victimBit;
            board[victim] = uint8_t(captured);
            materialSignature += signatureUnit(them, captured);
            material[them] += pieceValue[captured];
            phase[them] += phaseWeight[captured];
        } else {
            occupied ^= fromBit | toBit;
            board[to] = 0;
        }
    }

    key = undo.key;
    pawnKey = undo.pawnKey;
    castlingRights = undo.castlingRights;
    epFile = undo.epFile;
    halfmoveClock = undo.halfmoveClock;
}
