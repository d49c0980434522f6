#include "app/tools/epd_line.h"

#include <cstring>

namespace {

bool endsText(char c) { return c == 0 || c == '\n' || c == '\r'; }

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

bool isAnnotation(char c) { return c == '+' || c == '#' || c == '!' || c == '?'; }

}  // namespace

bool parseEpdLine(const char* line, EpdLine& parsed) {
    size_t length = std::strlen(line);
    size_t opcode = length;
    for (size_t i = 0; i + 1 < length; i++) {
        if ((line[i] == 'a' || line[i] == 'b') && line[i + 1] == 'm') {
            opcode = i;
            break;
        }
    }
    if (opcode == length) return false;

    parsed.position.assign(line, opcode);
    parsed.opcode = line[opcode];

    // The moves start after the opcode and its blank; every index is checked
    // against the line, so a line that ends early gives empty texts.
    size_t i = opcode + 2;
    if (i < length && line[i] == ' ') i++;
    parsed.expectedMoves.clear();
    for (; i < length && line[i] != ';' && !endsText(line[i]); i++) {
        parsed.expectedMoves += line[i] == '0' ? 'O' : line[i];
    }

    parsed.identifier.clear();
    if (i >= length || line[i] != ';') return true;
    i++;
    while (i < length && line[i] == ' ') i++;
    if (i + 1 >= length || line[i] != 'i' || line[i + 1] != 'd') return true;
    i += 2;
    while (i < length && line[i] == ' ') i++;
    if (i < length && line[i] == '"') i++;
    for (; i < length && line[i] != '"' && line[i] != ';' && !endsText(line[i]); i++) {
        parsed.identifier += line[i];
    }
    return true;
}

bool expectedMovesContain(const std::string& expectedMoves, const char* move,
                          const char* longMove) {
    size_t i = 0;
    size_t n = expectedMoves.size();
    while (i < n) {
        while (i < n && isSeparator(expectedMoves[i])) i++;
        size_t start = i;
        while (i < n && !isSeparator(expectedMoves[i])) i++;
        size_t end = i;
        while (end > start && isAnnotation(expectedMoves[end - 1])) end--;
        if (end == start) continue;
        std::string token = expectedMoves.substr(start, end - start);
        if (token == move) return true;
        if (longMove != nullptr && *longMove != 0 && token == longMove) return true;
    }
    return false;
}
