#pragma once
// The engine's board: one fixed-size plain record, copied whole by a search
// thread that takes a private copy. Nothing in it points into itself.

#include <cstdint>

#include "board/types.h"

struct SearchThread;  // the search thread whose tables evaluate this position

namespace ZobristKeys {
extern const Key piece[2][8][64];  // [colour][piece type][square]; types 0 and 7 are zero
extern const Key castling[16];     // by castling-rights mask
extern const Key enPassant[9];     // by en-passant file + 1
constexpr Key side = 0xf039404e0dd3333fULL;  // present when black is to move
}  // namespace ZobristKeys

// Signed board of the initial position: +type white, -type black.
extern const int8_t startBoard[64];

// phaseWeight by piece type (knight 1, bishop 1, rook 2, queen 4).
constexpr int phaseWeight[8] = {0, 0, 1, 1, 2, 4, 0, 0};

// Change of the material signature for one piece of a colour and type.
constexpr uint64_t signatureUnit(int color, int type) {
    return (type >= Pawn && type <= Queen) ? uint64_t(1) << (4 * (type - 1) + 32 * color) : 0;
}

struct Position {
    Key key;
    Key pawnKey;
    Bitboard occupied;
    Bitboard byColor[2];
    Bitboard pieces[2][8];
    uint8_t board[64];  // piece type on each square, 0 empty; no colour
    int32_t material[2];
    int32_t sideToMove;
    int32_t phase[2];
    uint64_t materialSignature;
    int32_t kingSquare[2];
    uint8_t castlingRights;
    uint8_t epFile;  // 1 + file of the pawn that just double-pushed, else 0
    uint8_t halfmoveClock;
    Bitboard castleEmptyMask[2][2];  // [wing][colour]
    int32_t kingStart[2];
    int32_t rookStart[2][2];  // [wing][colour]
    int32_t chess960;
    SearchThread* owner;
    // Castling rights that survive a move from or to each square: a king or a
    // castling rook standing on its start square takes its rights with it
    // when it moves or is captured. Fixed by set-up, like the geometry above.
    uint8_t castlingKept[64];

    // Set-up (position.cpp).
    void clear();
    void setup(const int8_t signedBoard[64], int side, int rights, int epFileValue, int halfmoves);
    // The same, with the castling rook of each right chosen by file
    // ([wing][colour], -1 = the outermost rook on that side of the king), as
    // file-lettered castling fields name them. A right whose named file holds
    // no own rook on that side of the king is dropped.
    void setup(const int8_t signedBoard[64], int side, int rights, int epFileValue, int halfmoves,
               const int rookFiles[2][2]);
    void setStartPosition();
    // Recomputes the material sums from the pieces on the board with the
    // piece values in force, for a position set up under other weights.
    void refreshMaterial();

    // Make and unmake (makemove.h, inline): makeMove takes a pseudo-legal move and
    // may leave the mover's king in check; unmakeMove is last-in first-out.
    void makeMove(Move move, UndoRecord& undo);
    void unmakeMove(Move move, const UndoRecord& undo);

    // Generators (movegen.cpp): write only the move field of consecutive
    // entries of a caller-owned array of MaxMoves entries; return the count.
    int generateCapturesWhite(ScoredMove* list) const;
    int generateCapturesBlack(ScoredMove* list) const;
    int generateQuietsWhite(ScoredMove* list) const;
    int generateQuietsBlack(ScoredMove* list) const;
    int generateMoves(ScoredMove* list, bool inCheck) const;
    int generateLegalMoves(ScoredMove* list, bool inCheck);
    int generateEvasions(ScoredMove* list) const;
    int generateQsearchEvasions(ScoredMove* list) const;
    int generateQuietChecks(ScoredMove* list) const;
    int generateQsearchCaptures(ScoredMove* list) const;

    // Attack and legality tests, static exchange (attackers.cpp).
    bool isAttacked(int square, int by) const;
    bool isPseudoLegal(Move move) const;
    int see(Move move) const;

    bool inCheck() const { return isAttacked(kingSquare[sideToMove], sideToMove ^ 1); }

    // Board diagram on standard output (notation.cpp).
    void print() const;
};

// The inline definitions of makeMove and unmakeMove.
#include "board/makemove.h"
