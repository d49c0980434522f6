#pragma once
// Reading the words and numbers of a GUI command line, shared by both
// interpreters. Numbers are read in 64 bits and brought into range before they
// reach the engine's narrower fields, so nothing wraps.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/tokenizer.h"

inline int64_t tokenNumber(const Tokenizer& line) {
    char digits[64];
    size_t length = size_t(line.cursor - line.tokenStart);
    if (length > sizeof digits - 1) length = sizeof digits - 1;
    std::memcpy(digits, line.tokenStart, length);
    digits[length] = '\0';
    return std::strtoll(digits, nullptr, 10);
}

inline int64_t clamp64(int64_t value, int64_t low, int64_t high) {
    return value < low ? low : value > high ? high : value;
}

// Moves to the next token and reads it as a number; false when there is none.
inline bool nextNumber(Tokenizer& line, int64_t& value) {
    if (!line.next()) return false;
    value = tokenNumber(line);
    return true;
}

inline bool tokenIs(const Tokenizer& line, const char* word) {
    return startsWith(line.tokenStart, word);
}

inline std::string tokenText(const Tokenizer& line) {
    return std::string(line.tokenStart, size_t(line.cursor - line.tokenStart));
}
