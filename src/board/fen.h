#pragma once
// FEN text in and out. parseFen reads text into FenFields, a neutral form that
// setupFromFen (or Position::setup) turns into a position; toFen writes a
// position back.

#include <cstddef>
#include <cstdint>
#include <string>

#include "board/position.h"

struct FenFields {
    int8_t board[64];        // +type white, -type black, 0 empty; a1 = 0
    int side;                // 1 white (default), 0 black
    int castlingRights;      // CastlingRights mask, default 0
    int epFile;              // 1 + file of the en-passant target, 0 for none
    int halfmoveClock;       // default 0, at most 255
    int rookFile[2][2];      // [wing][colour]: file named by a file-lettered
                             // castling field, -1 = the outermost rook (KQkq)
};

// Reads FEN text from its first character. Returns false on a syntax error or
// on a position the engine cannot play from: not exactly one king per side,
// more than 16 pieces or 8 pawns for a side, or the side not to move in
// check. An en-passant target that no capture can use (no enemy pawn behind
// it, or the target occupied) is read as no en passant. On failure the fields
// hold whatever was read before the parser stopped. Needs the attack tables.
bool parseFen(const char* text, FenFields& fields);

// Sets a position from parsed FEN fields, castling rooks included.
void setupFromFen(Position& position, const FenFields& fields);

// Longest text toFen writes, and the buffer size it needs with the NUL.
constexpr int FenMaxLength = 96;
constexpr int FenBufferSize = FenMaxLength + 1;

// Writes the FEN text of the position into buffer (FenBufferSize characters).
// The last field is historyLength, the number of moves in the game history,
// not a fullmove number. Castling rights are written KQkq, or as the rook's
// file letter where the castling rook is not the outermost one on its side
// (which KQkq would name instead). Returns true.
bool toFen(const Position& position, int historyLength, char* buffer);

// The longest part of a refused FEN text that a message repeats: room for
// any position the engine could accept, while a text of any size the GUI
// sends still makes a line of bounded size.
constexpr size_t FenEchoLength = 100;

// The text as messages about it repeat it: whole up to FenEchoLength
// characters, else its head (never ending inside a UTF-8 character) followed
// by "...".
std::string fenEcho(const char* text);
