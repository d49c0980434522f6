// Putting a Position into a defined state: cleared, set up from a signed
// board, or the standard initial position. Everything computed from scratch
// lives here; make and unmake only ever adjust these values incrementally.

#include <cstring>

#include "board/bitops.h"
#include "board/position.h"
#include "eval/weights.h"

namespace {

constexpr int colourRights[2] = {BlackShort | BlackLong, WhiteShort | WhiteLong};
constexpr int wingRight[2][2] = {{BlackShort, WhiteShort}, {BlackLong, WhiteLong}};  // [wing][colour]
constexpr int kingTarget[2][2] = {{62, 6}, {58, 2}};                                  // [wing][colour]
constexpr int rookTarget[2][2] = {{61, 5}, {59, 3}};                                  // [wing][colour]

// Squares from a to b inclusive, in either order; both lie on one rank.
Bitboard squaresFromTo(int a, int b) {
    if (a > b) {
        int t = a;
        a = b;
        b = t;
    }
    Bitboard span = 0;
    for (int s = a; s <= b; ++s) span |= Bitboard(1) << s;
    return span;
}

}  // namespace

void Position::clear() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
}

void Position::setup(const int8_t signedBoard[64], int side, int rights, int epFileValue, int halfmoves) {
    setup(signedBoard, side, rights, epFileValue, halfmoves, nullptr);
}

void Position::setup(const int8_t signedBoard[64], int side, int rights, int epFileValue, int halfmoves,
                     const int rookFiles[2][2]) {
    std::memset(material, 0, sizeof(material));
    std::memset(phase, 0, sizeof(phase));
    materialSignature = 0;
    occupied = 0;
    std::memset(byColor, 0, sizeof(byColor));
    std::memset(pieces, 0, sizeof(pieces));

    for (int s = 0; s < 64; ++s) {
        const int v = signedBoard[s];
        const int t = v < 0 ? -v : v;
        board[s] = 0;
        if (t < Pawn || t > King) continue;
        const int c = v > 0 ? White : Black;
        const Bitboard bit = Bitboard(1) << s;
        occupied |= bit;
        byColor[c] |= bit;
        pieces[c][t] |= bit;
        board[s] = uint8_t(t);
        material[c] += pieceValue[t];
        materialSignature += signatureUnit(c, t);
        phase[c] += phaseWeight[t];
        if (t == King) kingSquare[c] = s;
    }

    sideToMove = side;
    epFile = uint8_t(epFileValue);
    // The clock is a byte that saturates rather than wraps (see makeMove).
    halfmoveClock = uint8_t(halfmoves < 0 ? 0 : halfmoves > 255 ? 255 : halfmoves);

    rights &= 15;
    if (kingSquare[White] >= 8) rights &= ~colourRights[White];
    if (kingSquare[Black] < 56) rights &= ~colourRights[Black];

    kingStart[Black] = (rights & colourRights[Black]) ? kingSquare[Black] : 60;
    kingStart[White] = (rights & colourRights[White]) ? kingSquare[White] : 4;

    rookStart[ShortWing][Black] = 63;
    rookStart[ShortWing][White] = 7;
    rookStart[LongWing][Black] = 56;
    rookStart[LongWing][White] = 0;

    // Find each castling rook on the back rank. Without a named file the
    // outermost rook on that side of the king is kept (KQkq); a named file
    // (file-lettered castling) picks that rook even when it is an inner one.
    static const struct {
        int right, colour, wing;
    } order[4] = {{BlackShort, Black, ShortWing},
                  {BlackLong, Black, LongWing},
                  {WhiteShort, White, ShortWing},
                  {WhiteLong, White, LongWing}};
    for (const auto& o : order) {
        if (!(rights & o.right)) continue;
        const int backRank = o.colour == White ? 0 : 7;
        const int kingFile = fileOf(kingSquare[o.colour]);
        const int step = o.wing == ShortWing ? 1 : -1;
        const int named = rookFiles ? rookFiles[o.wing][o.colour] : -1;
        bool found = false;
        for (int f = kingFile + step; f >= 0 && f <= 7; f += step) {
            const int s = makeSquare(f, backRank);
            if (!(pieces[o.colour][Rook] & (Bitboard(1) << s))) continue;
            if (named >= 0 && f != named) continue;
            rookStart[o.wing][o.colour] = s;
            found = true;
        }
        if (!found) rights &= ~o.right;
    }
    castlingRights = uint8_t(rights);

    for (int wing = 0; wing < 2; ++wing) {
        for (int c = 0; c < 2; ++c) {
            castleEmptyMask[wing][c] = 0;
            if (!(rights & wingRight[wing][c])) continue;
            const int k = kingStart[c], r = rookStart[wing][c];
            castleEmptyMask[wing][c] = (squaresFromTo(k, kingTarget[wing][c]) | squaresFromTo(r, rookTarget[wing][c])) &
                                       ~(Bitboard(1) << k) & ~(Bitboard(1) << r);
        }
    }

    std::memset(castlingKept, 15, sizeof(castlingKept));
    for (int c = 0; c < 2; ++c) {
        castlingKept[kingStart[c]] &= uint8_t(~colourRights[c]);
        for (int wing = 0; wing < 2; ++wing) castlingKept[rookStart[wing][c]] &= uint8_t(~wingRight[wing][c]);
    }

    key = ZobristKeys::castling[castlingRights] ^ ZobristKeys::enPassant[epFile];
    if (sideToMove == Black) key ^= ZobristKeys::side;
    pawnKey = 0;
    for (int c = 0; c < 2; ++c) {
        for (int t = Pawn; t <= King; ++t) {
            for (Bitboard b = pieces[c][t]; b; b &= b - 1) {
                const Key k = ZobristKeys::piece[c][t][__builtin_ctzll(b)];
                key ^= k;
                if (t == Pawn) pawnKey ^= k;
            }
        }
    }
}

void Position::refreshMaterial() {
    for (int c = Black; c <= White; ++c) {
        material[c] = 0;
        for (int t = Pawn; t <= King; ++t) material[c] += popCount(pieces[c][t]) * pieceValue[t];
    }
}

void Position::setStartPosition() {
    std::memset(material, 0, sizeof(material));
    occupied = 0;
    std::memset(byColor, 0, sizeof(byColor));
    std::memset(pieces, 0, sizeof(pieces));
    key = ZobristKeys::castling[15];
    pawnKey = 0;
    for (int s = 0; s < 64; ++s) {
        const int v = startBoard[s];
        const int t = v < 0 ? -v : v;
        board[s] = uint8_t(t);
        if (!t) continue;
        const int c = v > 0 ? White : Black;
        const Bitboard bit = Bitboard(1) << s;
        occupied |= bit;
        byColor[c] |= bit;
        pieces[c][t] |= bit;
        key ^= ZobristKeys::piece[c][t][s];
        if (t == Pawn) pawnKey ^= ZobristKeys::piece[c][t][s];
    }
    material[Black] = material[White] = startMaterial;
    sideToMove = White;
    phase[Black] = phase[White] = 12;
    materialSignature = 0x0001222800012228ULL;
    kingSquare[Black] = 60;
    kingSquare[White] = 4;
    castlingRights = 15;
    epFile = 0;
    halfmoveClock = 0;
    castleEmptyMask[ShortWing][Black] = (Bitboard(1) << 61) | (Bitboard(1) << 62);
    castleEmptyMask[ShortWing][White] = (Bitboard(1) << 5) | (Bitboard(1) << 6);
    castleEmptyMask[LongWing][Black] = (Bitboard(1) << 57) | (Bitboard(1) << 58) | (Bitboard(1) << 59);
    castleEmptyMask[LongWing][White] = (Bitboard(1) << 1) | (Bitboard(1) << 2) | (Bitboard(1) << 3);
    kingStart[Black] = 60;
    kingStart[White] = 4;
    rookStart[ShortWing][Black] = 63;
    rookStart[ShortWing][White] = 7;
    rookStart[LongWing][Black] = 56;
    rookStart[LongWing][White] = 0;
    std::memset(castlingKept, 15, sizeof(castlingKept));
    castlingKept[60] = uint8_t(~(BlackShort | BlackLong) & 15);
    castlingKept[63] = uint8_t(~BlackShort & 15);
    castlingKept[56] = uint8_t(~BlackLong & 15);
    castlingKept[4] = uint8_t(~(WhiteShort | WhiteLong) & 15);
    castlingKept[7] = uint8_t(~WhiteShort & 15);
    castlingKept[0] = uint8_t(~WhiteLong & 15);
}
