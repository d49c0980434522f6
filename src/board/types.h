#pragma once
// The board vocabulary shared by every subsystem: squares, colours, piece
// types, castling rights and the packed move word.

#include <cstdint>

using Bitboard = uint64_t;
using Key = uint64_t;

// a1 = 0, b1 = 1, ..., h8 = 63.
enum Square : int {
    A1, B1, C1, D1, E1, F1, G1, H1,
    A2, B2, C2, D2, E2, F2, G2, H2,
    A3, B3, C3, D3, E3, F3, G3, H3,
    A4, B4, C4, D4, E4, F4, G4, H4,
    A5, B5, C5, D5, E5, F5, G5, H5,
    A6, B6, C6, D6, E6, F6, G6, H6,
    A7, B7, C7, D7, E7, F7, G7, H7,
    A8, B8, C8, D8, E8, F8, G8, H8,
};

constexpr int fileOf(int square) { return square & 7; }
constexpr int rankOf(int square) { return square >> 3; }
constexpr int makeSquare(int file, int rank) { return rank * 8 + file; }

// Every per-colour array is indexed by Color; the opponent of c is c ^ 1.
enum Color : int { Black = 0, White = 1 };

enum PieceType : int { NoPiece = 0, Pawn = 1, Knight = 2, Bishop = 3, Rook = 4, Queen = 5, King = 6 };

enum CastlingRights : int { WhiteShort = 1, WhiteLong = 2, BlackShort = 4, BlackLong = 8 };

// Castling wings as the first index of the castling geometry arrays.
enum Wing : int { ShortWing = 0, LongWing = 1 };

// Move word: from in bits 0-5, to in 6-11, moving piece 12-14, captured piece
// 15-17, promotion piece 18-20, castling flag bit 21, en-passant flag bit 23.
// Castling is the king taking its own rook: to is the castling rook's square.
using Move = uint32_t;

constexpr Move NoMove = 0;
constexpr Move CastlingFlag = 0x200000;
constexpr Move EnPassantFlag = 0x800000;

constexpr Move makeMove(int from, int to, int piece, int captured = 0, int promotion = 0) {
    return Move(from) | Move(to) << 6 | Move(piece) << 12 | Move(captured) << 15 |
           Move(promotion) << 18;
}
constexpr int moveFrom(Move m) { return int(m & 63); }
constexpr int moveTo(Move m) { return int((m >> 6) & 63); }
constexpr int movePiece(Move m) { return int((m >> 12) & 7); }
constexpr int moveCaptured(Move m) { return int((m >> 15) & 7); }
constexpr int movePromotion(Move m) { return int((m >> 18) & 7); }
constexpr bool isCastling(Move m) { return (m & CastlingFlag) != 0; }
constexpr bool isEnPassant(Move m) { return (m & EnPassantFlag) != 0; }

struct ScoredMove {
    Move move;
    int32_t score;
};

// Generators never produce more moves than this; callers own arrays of it.
constexpr int MaxMoves = 256;

// Saved by makeMove, consumed by unmakeMove; also the game history element.
struct UndoRecord {
    Key key;
    Key pawnKey;
    Move move;
    uint8_t castlingRights;
    uint8_t epFile;
    uint8_t halfmoveClock;
};
