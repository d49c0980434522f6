#pragma once
// Make and unmake: the innermost operations of the search and of perft.
// Everything is adjusted incrementally from the move word and small tables;
// nothing here validates the move or loops over the board.
//
// Both are inline so that every caller's loop compiles them in place: the
// ordinary move (quiet or capture, any piece) is straight-line code here,
// while castling, en passant and promotion, a few per cent of all moves, go
// through one out-of-line function each way (makemove.cpp).

#include "board/position.h"
#include "eval/weights.h"

namespace moveupdate {

// King and rook destinations of castling, [wing][colour]: the same squares in
// standard chess and Chess960.
constexpr int castleKingTarget[2][2] = {{62, 6}, {58, 2}};
constexpr int castleRookTarget[2][2] = {{61, 5}, {59, 3}};

// The pawn taken en passant stands behind the to square, seen from the mover.
constexpr int epVictimOffset[2] = {8, -8};

// Move-word bits of the rare kinds: promotion piece, castling, en passant.
constexpr Move rareKindBits = (Move(7) << 18) | CastlingFlag | EnPassantFlag;

// The bit of each square as a table: one load instead of a variable shift,
// which on x86 without BMI2 costs several micro-operations.
struct SquareBits {
    Bitboard bit[64];
    constexpr SquareBits() : bit() {
        for (int square = 0; square < 64; square++) bit[square] = Bitboard(1) << square;
    }
};
inline constexpr SquareBits squareBits{};

inline Bitboard bitOf(int square) { return squareBits.bit[square]; }

// signatureUnit as a table, [colour][piece type]: zero for no piece and king.
struct SignatureUnits {
    uint64_t unit[2][8];
    constexpr SignatureUnits() : unit() {
        for (int color = 0; color < 2; color++)
            for (int type = 0; type < 8; type++) unit[color][type] = signatureUnit(color, type);
    }
};
inline constexpr SignatureUnits signatureUnits{};

// The rare kinds. On entry the side to move, the clock, the castling rights
// and the en-passant file are already those after the move, and `k` holds
// the key with every term except the pieces' ones; makeRareMove completes it.
void makeRareMove(Position& pos, Move move, Key k);
void unmakeRareMove(Position& pos, Move move);

// The colour parameter of the two below: White or Black when the caller
// knows the mover at compile time, which turns every per-colour index into a
// fixed offset, else AnyColor to read it from the position.
constexpr int AnyColor = -1;

template <int Us>
inline void makeMoveAs(Position& p, Move move, UndoRecord& undo) {
    using namespace ZobristKeys;
    const int us = Us >= 0 ? Us : p.sideToMove;
    const int them = us ^ 1;
    const int from = moveFrom(move);
    const int to = moveTo(move);
    const int moving = movePiece(move);
    const int captured = moveCaptured(move);

    undo.key = p.key;
    undo.pawnKey = p.pawnKey;
    undo.move = move;
    undo.castlingRights = p.castlingRights;
    undo.epFile = p.epFile;
    undo.halfmoveClock = p.halfmoveClock;

    Key k = p.key ^ side;
    if (p.epFile) {
        k ^= enPassant[p.epFile];
        p.epFile = 0;
    }
    // A king or castling rook leaving its start square, or a rook taken on
    // its start square, gives up the rights tied to that square.
    const uint8_t rights = p.castlingRights & p.castlingKept[from] & p.castlingKept[to];
    if (__builtin_expect(rights != p.castlingRights, 0)) {
        k ^= castling[p.castlingRights] ^ castling[rights];
        p.castlingRights = rights;
    }
    // The clock is a byte: it sticks at 255 instead of wrapping to 0, which
    // would hide a fifty-move draw.
    const uint8_t clock = p.halfmoveClock;
    p.halfmoveClock = (moving == Pawn || captured) ? 0 : uint8_t(clock + (clock != 255));
    p.sideToMove = them;

    if (__builtin_expect(move & rareKindBits, 0)) {
        makeRareMove(p, move, k);
        return;
    }

    const Bitboard fromBit = bitOf(from);
    const Bitboard toBit = bitOf(to);
    if (captured) {
        p.byColor[them] ^= toBit;
        p.pieces[them][captured] ^= toBit;
        k ^= piece[them][captured][to];
        if (captured == Pawn) p.pawnKey ^= piece[them][Pawn][to];
        p.materialSignature -= signatureUnits.unit[them][captured];
        p.material[them] -= pieceValue[captured];
        p.phase[them] -= phaseWeight[captured];
    }
    p.occupied = (p.occupied ^ fromBit) | toBit;
    p.byColor[us] ^= fromBit | toBit;
    p.pieces[us][moving] ^= fromBit | toBit;
    p.board[from] = 0;
    p.board[to] = uint8_t(moving);
    k ^= piece[us][moving][from] ^ piece[us][moving][to];

    if (moving == Pawn) {
        p.pawnKey ^= piece[us][Pawn][from] ^ piece[us][Pawn][to];
        // A double push, the only pawn move that keeps the file and changes
        // the rank by two (ranks 2 and 4, or 7 and 5, differ in one bit).
        if ((from ^ to) == 16) {
            p.epFile = uint8_t(fileOf(to) + 1);
            k ^= enPassant[p.epFile];
        }
    } else if (moving == King) {
        p.kingSquare[us] = to;
    }
    p.key = k;
}

template <int Us>
inline void unmakeMoveAs(Position& p, Move move, const UndoRecord& undo) {
    const int us = Us >= 0 ? Us : p.sideToMove ^ 1;
    p.sideToMove = us;
    p.key = undo.key;
    p.pawnKey = undo.pawnKey;
    p.castlingRights = undo.castlingRights;
    p.epFile = undo.epFile;
    p.halfmoveClock = undo.halfmoveClock;

    if (__builtin_expect(move & rareKindBits, 0)) {
        unmakeRareMove(p, move);
        return;
    }

    const int them = us ^ 1;
    const int from = moveFrom(move);
    const int to = moveTo(move);
    const int moving = movePiece(move);
    const int captured = moveCaptured(move);
    const Bitboard fromBit = bitOf(from);
    const Bitboard toBit = bitOf(to);

    p.byColor[us] ^= fromBit | toBit;
    p.pieces[us][moving] ^= fromBit | toBit;
    p.board[from] = uint8_t(moving);
    p.board[to] = uint8_t(captured);
    if (moving == King) p.kingSquare[us] = from;
    if (captured) {
        p.occupied ^= fromBit;
        p.byColor[them] ^= toBit;
        p.pieces[them][captured] ^= toBit;
        p.materialSignature += signatureUnits.unit[them][captured];
        p.material[them] += pieceValue[captured];
        p.phase[them] += phaseWeight[captured];
    } else {
        p.occupied ^= fromBit | toBit;
    }
}

}  // namespace moveupdate

inline void Position::makeMove(Move move, UndoRecord& undo) {
    moveupdate::makeMoveAs<moveupdate::AnyColor>(*this, move, undo);
}

inline void Position::unmakeMove(Move move, const UndoRecord& undo) {
    moveupdate::unmakeMoveAs<moveupdate::AnyColor>(*this, move, undo);
}
