// FEN reading and writing. The reader is lenient about the optional trailing
// fields and strict about characters it does not know; it refuses positions
// that the move generators and the search cannot survive.

#include "board/fen.h"

#include <cstdio>
#include <cstring>

namespace {

int pieceCode(char c) {
    switch (c) {
        case 'P': return Pawn;
        case 'N': return Knight;
        case 'B': return Bishop;
        case 'R': return Rook;
        case 'Q': return Queen;
        case 'K': return King;
        case 'p': return -Pawn;
        case 'n': return -Knight;
        case 'b': return -Bishop;
        case 'r': return -Rook;
        case 'q': return -Queen;
        case 'k': return -King;
        default: return 0;
    }
}

// Applies one castling letter; false when the character is none.
bool readCastlingLetter(char c, const int kingFile[2], FenFields& fields) {
    int colour, wing, file = -1;
    switch (c) {
        case 'K': colour = White; wing = ShortWing; break;
        case 'Q': colour = White; wing = LongWing; break;
        case 'k': colour = Black; wing = ShortWing; break;
        case 'q': colour = Black; wing = LongWing; break;
        default:
            if (c >= 'A' && c <= 'H') {
                colour = White;
                file = c - 'A';
            } else if (c >= 'a' && c <= 'h') {
                colour = Black;
                file = c - 'a';
            } else {
                return false;
            }
            wing = file >= kingFile[colour] ? ShortWing : LongWing;
            break;
    }
    static const int rightOf[2][2] = {{BlackShort, WhiteShort}, {BlackLong, WhiteLong}};
    fields.castlingRights |= rightOf[wing][colour];
    fields.rookFile[wing][colour] = file;
    return true;
}

// Reads the fields; false on a syntax error.
bool parseSyntax(const char* p, FenFields& fields) {
    // Board. A rank may end early (the rest is empty) but never describes
    // more than eight squares: that would place a piece off the board.
    int squares = 0, file = 0, rank = 7;
    int kingFile[2] = {0, 0};
    for (;;) {
        const char c = *p++;
        if (c >= '1' && c <= '8') {
            file += c - '0';
            squares += c - '0';
            if (file > 8) return false;
        } else if (c == '/') {
            squares += 8 - file;
            file = 0;
            --rank;
        } else if (c == ' ') {
            break;
        } else if (const int code = pieceCode(c)) {
            if (file >= 8 || rank < 0) return false;
            fields.board[rank * 8 + file] = int8_t(code);
            if (code == King) kingFile[White] = file;
            if (code == -King) kingFile[Black] = file;
            ++file;
            ++squares;
        } else {
            return false;
        }
        if (squares >= 64) {
            if (*p++ != ' ') return false;
            break;
        }
    }

    // Side to move.
    if (*p == 'w')
        fields.side = White;
    else if (*p == 'b')
        fields.side = Black;
    else
        return false;
    if (*++p != ' ') return true;
    ++p;

    // Castling.
    if (*p == '-') {
        if (*++p != ' ') return true;
        ++p;
    } else if (*p == ' ') {
        ++p;
    } else {
        for (int letters = 1;; ++letters) {
            if (!readCastlingLetter(*p++, kingFile, fields)) return false;
            if (*p == ' ') {
                ++p;
                break;
            }
            if (letters == 4) return true;
        }
    }

    // En passant. The square must fit the side to move; whether a capture
    // can use it is decided against the board afterwards.
    if (*p == '\0') return true;
    if (*p == '-') {
        ++p;
    } else if (*p >= 'a' && *p <= 'h') {
        const char expectedRank = fields.side == White ? '6' : '3';
        if (p[1] != expectedRank) return false;
        fields.epFile = *p - 'a' + 1;
        p += 2;
    } else {
        return false;
    }
    if (*p != ' ') return true;
    ++p;

    // Halfmove clock: every digit counts, the value saturating at 255 like
    // the clock byte of the position. The fullmove number is not used.
    if (*p >= '0' && *p <= '9') {
        int clock = 0;
        while (*p >= '0' && *p <= '9') {
            clock = clock * 10 + (*p++ - '0');
            if (clock > 255) clock = 255;
        }
        fields.halfmoveClock = clock;
    }
    return true;
}

// The checks that keep the rest of the engine safe: exactly one king per
// side (king squares, evaluation), at most 16 pieces and 8 pawns per side (a
// move list of 256 entries cannot overflow), and no capturable king.
bool playable(FenFields& fields) {
    int kings[2] = {0, 0}, men[2] = {0, 0}, pawns[2] = {0, 0};
    for (int s = 0; s < 64; ++s) {
        const int v = fields.board[s];
        if (!v) continue;
        const int c = v > 0 ? White : Black;
        ++men[c];
        if (v == King || v == -King) ++kings[c];
        if (v == Pawn || v == -Pawn) ++pawns[c];
    }
    for (int c = 0; c < 2; ++c)
        if (kings[c] != 1 || men[c] > 16 || pawns[c] > 8) return false;

    // An en-passant target is only kept when the pawn that double-pushed
    // stands behind it and the target is empty; anything else could make a
    // capture take a pawn that is not there.
    if (fields.epFile) {
        const int f = fields.epFile - 1;
        const int target = fields.side == White ? makeSquare(f, 5) : makeSquare(f, 2);
        const int victim = fields.side == White ? target - 8 : target + 8;
        const int enemyPawn = fields.side == White ? -Pawn : Pawn;
        if (fields.board[target] != 0 || fields.board[victim] != enemyPawn) fields.epFile = 0;
    }

    Position position;
    position.clear();
    setupFromFen(position, fields);
    const int waiting = fields.side ^ 1;
    return !position.isAttacked(position.kingSquare[waiting], fields.side);
}

}  // namespace

bool parseFen(const char* text, FenFields& fields) {
    std::memset(fields.board, 0, sizeof(fields.board));
    fields.side = White;
    fields.castlingRights = 0;
    fields.epFile = 0;
    fields.halfmoveClock = 0;
    for (auto& wing : fields.rookFile) wing[0] = wing[1] = -1;
    if (!text || !parseSyntax(text, fields)) return false;
    return playable(fields);
}

void setupFromFen(Position& position, const FenFields& fields) {
    position.setup(fields.board, fields.side, fields.castlingRights, fields.epFile, fields.halfmoveClock,
                   fields.rookFile);
}

namespace {

// The castling letter of one right: the plain letter when the castling rook
// is the outermost rook on its side of the king (so the plain letter reads
// back to the same rook), else the rook's file letter.
char castlingLetter(const Position& position, int colour, int wing) {
    static const char plain[2][2] = {{'k', 'K'}, {'q', 'Q'}};  // [wing][colour]
    const int rook = position.rookStart[wing][colour];
    const int backRank = rankOf(rook);
    const int corner = wing == ShortWing ? 7 : 0;
    const int step = wing == ShortWing ? -1 : 1;
    for (int f = corner; f != fileOf(rook); f += step) {
        if (position.pieces[colour][Rook] & (Bitboard(1) << makeSquare(f, backRank)))
            return char((colour == White ? 'A' : 'a') + fileOf(rook));
    }
    return plain[wing][colour];
}

}  // namespace

bool toFen(const Position& position, int historyLength, char* buffer) {
    static const char whiteLetters[] = " PNBRQK";
    static const char blackLetters[] = " pnbrqk";
    char* out = buffer;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const int s = makeSquare(file, rank);
            const int type = position.board[s] & 7;
            if (!type) {
                ++empty;
                continue;
            }
            if (empty) *out++ = char('0' + empty);
            empty = 0;
            const bool black = (position.byColor[Black] >> s) & 1;
            *out++ = black ? blackLetters[type] : whiteLetters[type];
        }
        if (empty) *out++ = char('0' + empty);
        if (rank) *out++ = '/';
    }
    *out++ = ' ';
    *out++ = position.sideToMove == White ? 'w' : 'b';
    *out++ = ' ';
    const int rights = position.castlingRights;
    if (!(rights & 15)) *out++ = '-';
    if (rights & WhiteShort) *out++ = castlingLetter(position, White, ShortWing);
    if (rights & WhiteLong) *out++ = castlingLetter(position, White, LongWing);
    if (rights & BlackShort) *out++ = castlingLetter(position, Black, ShortWing);
    if (rights & BlackLong) *out++ = castlingLetter(position, Black, LongWing);
    *out++ = ' ';
    if (position.epFile >= 1 && position.epFile <= 8) {
        *out++ = char('a' + position.epFile - 1);
        *out++ = position.sideToMove == White ? '6' : '3';
    } else {
        *out++ = '-';
    }
    const int used = int(out - buffer);
    std::snprintf(out, size_t(FenBufferSize - used), " %d %d", int(position.halfmoveClock), historyLength);
    return true;
}

std::string fenEcho(const char* text) {
    const size_t length = strnlen(text, FenEchoLength + 1);
    if (length <= FenEchoLength) return std::string(text, length);
    size_t cut = FenEchoLength;
    // Continuation bytes of a UTF-8 character go with the character.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) cut--;
    return std::string(text, cut) + "...";
}
