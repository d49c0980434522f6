#pragma once
// A small, separately written move-legality checker on a 0x88 mailbox board.
// It shares nothing with the engine's bitboard code: it exists so that a fault
// in the engine's move generator cannot also hide itself in the referee that
// checks the engine's moves. Written for clarity, not speed.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace soak {

enum PieceKind { NoKind = 0, PawnKind, KnightKind, BishopKind, RookKind, QueenKind, KingKind };

struct Move88 {
    int from = 0;
    int to = 0;          // the king's destination for castling
    int promotion = 0;   // piece kind, 0 for none
    int castleRook = -1; // the castling rook's square, -1 for other moves
};

class Board88 {
public:
    // Standard start, or a back rank of piece kinds (a to h) for the
    // shuffled starts, both sides mirrored.
    void setStart(const int backRank[8], bool chess960Notation);
    void setStandardStart() {
        static const int standard[8] = {RookKind, KnightKind, BishopKind, QueenKind,
                                        KingKind, BishopKind, KnightKind, RookKind};
        setStart(standard, false);
    }

    std::vector<Move88> legalMoves() const;
    std::vector<std::string> legalMoveTexts() const;
    // The legal move written as `text`, when there is one.
    bool find(const std::string& text, Move88& move) const;
    // Plays `text` when it is a legal move.
    bool play(const std::string& text);
    void make(const Move88& move);

    std::string text(const Move88& move) const;
    std::string fen(int fullmove = 1) const;
    // What makes a position the same for repetition: pieces, side, castling
    // rights and an en-passant capture that some pawn could make.
    std::string repetitionKey() const;

    bool inCheck() const { return attacked(kingSquare(side), side ^ 1); }
    bool insufficientMaterial() const;
    int sideToMove() const { return side; }
    int halfmoveClock() const { return halfmove; }

private:
    static int square(int file, int rank) { return rank * 16 + file; }
    static bool onBoard(int s) { return (s & 0x88) == 0; }
    static int fileOf(int s) { return s & 7; }
    static int rankOf(int s) { return s >> 4; }
    static int colourOf(int piece) { return piece > 0 ? 1 : 0; }
    static std::string squareText(int s) {
        return std::string(1, char('a' + fileOf(s))) + char('1' + rankOf(s));
    }

    int kingSquare(int colour) const;
    bool attacked(int target, int by) const;
    void pseudoMoves(std::vector<Move88>& moves) const;
    void addPawnMove(std::vector<Move88>& moves, int from, int to) const;

    int8_t cells[128] = {};       // +kind white, -kind black, 0 empty
    int side = 1;                 // 1 white, 0 black
    int castleRook[2][2] = {{-1, -1}, {-1, -1}};  // [colour][0 short, 1 long]
    int epTarget = -1;
    int halfmove = 0;
    bool chess960 = false;        // castling written as the king taking its rook
};

}  // namespace soak
