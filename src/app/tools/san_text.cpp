#include "app/tools/san_text.h"

#include <cstring>

namespace {

constexpr const char* pieceLetters = "  NBRQK";

}  // namespace

void formatSan(Move move, const ScoredMove* moves, int moveCount, char* buffer) {
    char* out = buffer;
    if (move == NoMove) {
        *out = 0;
        return;
    }
    int from = moveFrom(move);
    int to = moveTo(move);
    if (isCastling(move)) {
        std::strcpy(buffer, fileOf(from) <= fileOf(to) ? "O-O" : "O-O-O");
        return;
    }
    int piece = movePiece(move);
    if (piece != Pawn) *out++ = pieceLetters[piece];
    if (piece != Pawn && piece != King) {
        bool other = false;
        bool needFile = false;
        bool needRank = false;
        for (int i = 0; i < moveCount; i++) {
            Move rival = moves[i].move;
            if (movePiece(rival) != piece || moveTo(rival) != to || moveFrom(rival) == from) {
                continue;
            }
            other = true;
            if (fileOf(moveFrom(rival)) == fileOf(from)) {
                needRank = true;
            } else if (rankOf(moveFrom(rival)) == rankOf(from)) {
                needFile = true;
            } else if (!needRank && !needFile) {
                needFile = true;
            }
        }
        if (other) {
            if (needFile) *out++ = char('a' + fileOf(from));
            if (needRank) *out++ = char('1' + rankOf(from));
        }
    }
    if (moveCaptured(move) != 0) {
        if (piece == Pawn) *out++ = char('a' + fileOf(from));
        *out++ = 'x';
    }
    *out++ = char('a' + fileOf(to));
    *out++ = char('1' + rankOf(to));
    if (movePromotion(move) != 0) {
        *out++ = '=';
        *out++ = pieceLetters[movePromotion(move)];
    }
    *out = 0;
}
