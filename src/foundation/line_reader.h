#pragma once
// Reading a text file one line at a time with a fixed bound on what is kept.
// A line is everything up to its line feed, however long: its first `limit`
// characters are kept and the rest is passed over, so that a long line is
// never taken for several lines, and the memory used is the bound's whatever
// the file holds.

#include <cstddef>
#include <cstdio>
#include <vector>

class LineReader {
public:
    // Reads from `file`, which stays the caller's to close.
    LineReader(FILE* file, size_t limit);

    // Reads the next line; false at the end of the file or when a read
    // fails (the stream's error flag tells which).
    bool next();

    // The line as read, its line feed included when it had one, followed by
    // a NUL. A NUL byte inside the line ends it for the C string functions
    // but not for the reader: the next line starts after the line feed.
    char* text() { return buffer.data(); }
    // The bytes in text(), the line feed included.
    size_t length() const { return used; }
    // True when the line had more than `limit` characters before its line
    // feed: text() then holds only its first `limit` characters.
    bool cut() const { return overlong; }
    // The line's number in the file, counting from 1.
    long number() const { return lineNumber; }

private:
    FILE* file;
    size_t limit;
    std::vector<char> buffer;  // limit characters, the line feed and the NUL
    size_t used = 0;
    bool overlong = false;
    long lineNumber = 0;
};
