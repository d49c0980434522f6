#include "app/tools/check_fen_suite.h"

#include <cstring>

#include "app/tools/tool_io.h"

namespace {

constexpr const char* suiteName = "check FEN suite";

// Piece letters at the index of their piece type; the blank at index 0 makes
// a blank inside the board count as one square, like a piece.
constexpr const char* blackLetters = " pnbrqk";
constexpr const char* whiteLetters = " PNBRQK";

enum FenState {
    BoardField = 0,
    AfterFullRank = 1,
    BlankExpected = 2,
    SideField = 3,
    CastlingField = 5,
    EnPassantField = 6,
    HalfmoveField = 7,
    FullmoveField = 8,
    RestOfLine = 9,
};

struct FenChecker {
    int state = BoardField;
    int afterBlank = BoardField;  // state entered by the blank of BlankExpected
    int squares = 0;              // squares described in the current rank
    int rank = 7;                 // rank of the text being read, counting down
    int fieldCount = 0;
    int pieceCount[16] = {};      // black letters 0..7, white letters 8..15

    // False when the character makes the line invalid.
    bool examine(char c);

private:
    bool boardCharacter(char c);
    void rankFilled();
    bool counter(char c, int blankState);
};

void FenChecker::rankFilled() {
    if (squares != 8) return;
    if (rank > 0) {
        state = AfterFullRank;
    } else {
        state = BlankExpected;
        afterBlank = SideField;
    }
}

bool FenChecker::boardCharacter(char c) {
    const char* found = c != 0 ? std::strchr(blackLetters, c) : nullptr;
    int index = -1;
    if (found != nullptr) {
        index = int(found - blackLetters);
    } else if (c != 0 && (found = std::strchr(whiteLetters, c)) != nullptr) {
        index = 8 + int(found - whiteLetters);
    }
    if (index >= 0) {
        int count = ++pieceCount[index];
        int type = index & 7;
        if (type == 1) {
            if (count > 8 || rank == 7 || rank == 0) return false;
        } else if (type == 6) {
            if (count > 1) return false;
        } else if (count > 9) {
            return false;
        }
        if (squares >= 8 || rank < 0) return false;
        squares++;
        rankFilled();
        return true;
    }
    if (c >= '1' && c <= '8') {
        squares += c - '0';
        if (squares > 8) return false;
        rankFilled();
        return true;
    }
    if (c == '/') {
        rank--;
        squares = 0;
        return true;
    }
    return false;
}

bool FenChecker::counter(char c, int blankState) {
    if (c == ' ') {
        state = blankState;
        fieldCount = 0;
        return true;
    }
    if (c >= '0' && c <= '9') return ++fieldCount <= 30;
    // Anything else ends the clock fields; the rest of the line is free.
    state = RestOfLine;
    return true;
}

bool FenChecker::examine(char c) {
    switch (state) {
        case BoardField:
            return boardCharacter(c);
        case AfterFullRank:
            if (c == '/') {
                rank--;
                squares = 0;
                state = BoardField;
                return true;
            }
            if (c == ' ') {
                state = SideField;
                return true;
            }
            return false;
        case BlankExpected:
            if (c != ' ') return false;
            state = afterBlank;
            afterBlank = BoardField;
            return true;
        case SideField:
            if (c != 'w' && c != 'b') return false;
            state = BlankExpected;
            afterBlank = CastlingField;
            fieldCount = 0;
            return true;
        case CastlingField:
            if (c == 'K' || c == 'Q' || c == 'k' || c == 'q' || c == '-') return true;
            if (c == ' ') {
                state = EnPassantField;
                fieldCount = 0;
                return true;
            }
            return false;
        case EnPassantField:
            if (c == '-' || c == ';') return true;
            if (c == ' ') {
                state = HalfmoveField;
                fieldCount = 0;
                return true;
            }
            if (c >= 'a' && c <= 'h' && fieldCount == 0) {
                fieldCount = 1;
                return true;
            }
            if (c >= '1' && c <= '8' && fieldCount == 1) {
                fieldCount = 2;
                return true;
            }
            return false;
        case HalfmoveField:
            return counter(c, FullmoveField);
        case FullmoveField:
            return counter(c, RestOfLine);
        default:
            return true;
    }
}

}  // namespace

bool checkFenLine(const char* line) {
    FenChecker checker;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(line); *c >= 0x20; c++) {
        if (*c >= 0x80) return false;
        if (!checker.examine(char(*c))) return false;
    }
    // The line is complete once the blank after the en-passant field was read.
    return checker.state == HalfmoveField || checker.state == FullmoveField ||
           checker.state == RestOfLine;
}

int runCheckFenSuite(const char* fileName, FILE* out) {
    FILE* file = tools::openInputFile(suiteName, fileName);
    if (file == nullptr) return 0;
    std::fprintf(out, "Check FEN suite : '%s'\n", fileName);
    unsigned checked = 0;
    unsigned valid = 0;
    tools::InputLines lines(file, suiteName, fileName);
    while (char* line = lines.next()) {
        checked++;
        if (checkFenLine(line)) {
            valid++;
        } else {
            std::fprintf(out, "Invalid FEN String : '%s'\n", line);
        }
    }
    if (!tools::closeInputFile(file, suiteName, fileName)) return 0;
    std::fprintf(out, "Checked %u / %u valid FEN string\n", valid, checked);
    return 1;
}
