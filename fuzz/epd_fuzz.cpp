// EPD test-suite files: lines read in the pieces the tool reads them in,
// split into position, opcode, expected moves and identifier; the position
// set up, and every legal move written in the tool's short notation and in
// long algebraic form and looked up among the expected moves; each expected
// move also read as SAN against the position.

#include <cstring>

#include "app/tools/epd_line.h"
#include "app/tools/san_text.h"
#include "app/tools/tool_io.h"
#include "board/fen.h"
#include "board/notation.h"
#include "board/position.h"
#include "book/san.h"
#include "fuzz_support.h"

namespace {

void runLine(char* line) {
    if (std::strlen(line) < 2) return;
    tools::blankControlCharacters(line);
    EpdLine parsed;
    if (!parseEpdLine(line, parsed)) return;

    FenFields fields;
    if (!parseFen(parsed.position.c_str(), fields)) return;
    Position position;
    position.clear();
    setupFromFen(position, fields);

    ScoredMove moves[MaxMoves];
    const int count = position.generateMoves(moves, position.inCheck());
    for (int i = 0; i < count; ++i) {
        char san[SanBufferSize];
        char longText[16];
        formatSan(moves[i].move, moves, count, san);
        formatMoveLong(moves[i].move, longText);
        if (std::strlen(san) >= size_t(SanBufferSize) || std::strlen(longText) > 8) __builtin_trap();
        (void)expectedMovesContain(parsed.expectedMoves, san, longText);
    }

    // Each expected move token, read as SAN the way the book builder reads
    // game moves.
    const std::string& text = parsed.expectedMoves;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i == start) continue;
        Move move = NoMove;
        const Key keyBefore = position.key;
        (void)resolveSan(position, text.substr(start, i - start), move);
        if (position.key != keyBefore) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    if (size > 16384) return -1;
    // The tool reads whole lines, up to tools::MaxLineLength characters.
    std::string line;
    for (size_t k = 0; k <= size; ++k) {
        const bool end = k == size;
        if (!end) line += char(data[k]);
        if (end || data[k] == '\n') {
            if (line.size() <= tools::MaxLineLength + 1) runLine(&line[0]);
            line.clear();
        }
    }
    return 0;
}
