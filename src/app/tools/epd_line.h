#pragma once
// One line of an EPD test file: a position, the opcode "bm" (best move) or
// "am" (avoid move), the expected moves, and an identifier, as in
//   <FEN> bm Nf3 Ng5; id "T.001";

#include <string>

struct EpdLine {
    std::string position;       // everything before the opcode, its blank included
    char opcode = 0;            // 'b' or 'a'
    std::string expectedMoves;  // up to ";" or the end of the line, "0" read as "O"
    std::string identifier;     // the quoted text after "id"; empty when absent
};

// Splits a line at its first "bm" or "am". False (and `parsed` untouched)
// when the line holds neither.
bool parseEpdLine(const char* line, EpdLine& parsed);

// True when `move` (or `longMove`, when not empty) equals one of the expected
// moves as a whole token, after "+", "#", "!" and "?" are stripped from the
// tokens: "Nf3+" accepts Nf3, but "Qe4" does not accept e4 and "O-O-O" does
// not accept O-O.
bool expectedMovesContain(const std::string& expectedMoves, const char* move,
                          const char* longMove);
