// Move text and the board diagram.

#include "board/notation.h"

#include <cstdio>
#include <string>

namespace {

char* writeSquare(char* out, int square) {
    *out++ = char('a' + fileOf(square));
    *out++ = char('1' + rankOf(square));
    return out;
}

// Writes one move in coordinate form without the NUL; returns the end.
char* writeMove(const Position& position, Move move, char* out) {
    static const char promotionLetters[] = "0pnbrqk";
    const int from = moveFrom(move);
    int to = moveTo(move);
    // Without the Chess960 flag a GUI reads castling as the king's two-square
    // step, which only exists for a king starting on e1 or e8 with the rook
    // in the corner. Any other castling stays the king taking its rook: a
    // king on f1 written f1g1 would read as a plain king move.
    if (isCastling(move) && !position.chess960 && (from == E1 || from == E8)) {
        if (to == A1) to = C1;
        else if (to == H1) to = G1;
        else if (to == A8) to = C8;
        else if (to == H8) to = G8;
    }
    out = writeSquare(out, from);
    out = writeSquare(out, to);
    if (const int promotion = movePromotion(move)) *out++ = promotionLetters[promotion];
    return out;
}

}  // namespace

void formatMove(const Position& position, Move move, char* buffer) {
    if (move == NoMove) {
        buffer[0] = buffer[1] = buffer[2] = buffer[3] = '0';
        buffer[4] = '\0';
        return;
    }
    *writeMove(position, move, buffer) = '\0';
}

void formatMoveList(const Position& position, const Move* moves, int count, char* buffer) {
    char* out = buffer;
    for (int i = 0; i < count; ++i) {
        if (i) *out++ = ' ';
        out = writeMove(position, moves[i], out);
    }
    *out = '\0';
}

void formatMoveLong(Move move, char* buffer) {
    static const char pieceLetters[] = "  NBRQK";
    static const char promotionLetters[] = "  NBRQK";
    char* out = buffer;
    if (move == NoMove) {
        *out = '\0';
        return;
    }
    const int from = moveFrom(move), to = moveTo(move);
    if (isCastling(move)) {
        const char* text = fileOf(to) >= fileOf(from) ? "O-O" : "O-O-O";
        while (*text) *out++ = *text++;
        *out = '\0';
        return;
    }
    const int moving = movePiece(move);
    if (moving != Pawn && moving >= Knight && moving <= King) *out++ = pieceLetters[moving];
    out = writeSquare(out, from);
    *out++ = moveCaptured(move) ? 'x' : '-';
    out = writeSquare(out, to);
    if (isEnPassant(move)) {
        *out++ = 'e';
        *out++ = '.';
        *out++ = 'p';
    }
    if (const int promotion = movePromotion(move)) {
        if (promotion >= Knight && promotion <= King) {
            *out++ = '=';
            *out++ = promotionLetters[promotion];
        }
    }
    *out = '\0';
}

void Position::print() const {
    static const char whiteLetters[] = " PNBRQK";
    static const char blackLetters[] = " pnbrqk";
    static const char separator[] = "|---|---|---|---|---|---|---|---|\n";
    // Written in one piece: lines a search sends meanwhile from another
    // thread stay outside the diagram.
    std::string text = separator;
    for (int rank = 7; rank >= 0; --rank) {
        text += "|";
        for (int file = 0; file < 8; ++file) {
            const int s = makeSquare(file, rank);
            const int type = board[s] & 7;
            const bool black = (byColor[Black] >> s) & 1;
            const char letter = type > King ? ' ' : black ? blackLetters[type] : whiteLetters[type];
            text += ' ';
            text += letter;
            text += " |";
        }
        text += "\n";
        text += separator;
    }
    text += sideToMove == White ? "White to play\n" : "Black to play\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}
