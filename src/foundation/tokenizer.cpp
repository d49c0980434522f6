#include "foundation/tokenizer.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr size_t maxNumberLength = 63;
}

Tokenizer::Tokenizer(const char* line, char separatorCharacter)
    : lineStart(line),
      end(line + strlen(line)),
      tokenStart(line),
      cursor(line),
      separator(separatorCharacter) {}

bool Tokenizer::next() {
    if (cursor == end) {
        tokenStart = end;
        return false;
    }
    if (*cursor == separator) {
        while (cursor != end && *cursor == separator)
            cursor++;
        tokenStart = cursor;
        if (cursor == end)
            return false;
    } else {
        tokenStart = cursor;
    }
    while (cursor != end && *cursor != separator)
        cursor++;
    return true;
}

long Tokenizer::tokenInt() const {
    // Bounded copy: the token is not NUL-terminated in the line and may be
    // arbitrarily long.
    char digits[maxNumberLength + 1];
    size_t length = size_t(cursor - tokenStart);
    if (length > maxNumberLength)
        length = maxNumberLength;
    memcpy(digits, tokenStart, length);
    digits[length] = '\0';
    return strtol(digits, nullptr, 10);
}

bool startsWith(const char* text, const char* word) {
    return strncmp(text, word, strlen(word)) == 0;
}
