#pragma once
// Walks one command line word by word without copying it: only pointers move.

struct Tokenizer {
    const char* lineStart;   // first character of the line
    const char* end;         // the terminating NUL
    const char* tokenStart;  // first character of the current token
    const char* cursor;      // just past the current token
    char separator;

    explicit Tokenizer(const char* line, char separatorCharacter = ' ');

    // Moves to the next token; a run of separators counts as one. False at the
    // end of the line, with tokenStart left at `end`.
    bool next();

    // The current token as a decimal number, read from at most its first 63
    // characters (leading blanks and a sign allowed, no digits gives 0).
    long tokenInt() const;
};

// True when `text` begins with the whole of `word`. Command words are matched
// this way against the text at a token's start, so a word matches every token
// that begins with it and a word holding a blank can match across two tokens.
bool startsWith(const char* text, const char* word);
