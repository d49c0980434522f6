#pragma once
// Small pieces the file tools share: reading a position file line by line,
// and turning counts over elapsed time into speeds.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "foundation/line_reader.h"

namespace tools {

// The longest line the tools take, its line feed not counted: far more than
// any line of a position file needs, with its comments and counts, while
// what a line costs stays bounded whatever the file holds.
constexpr size_t MaxLineLength = 16383;

// Opens a text file for reading when it names a regular file. Otherwise
// nullptr, with the log line "file not found" and the line
// "<tool> : cannot read <file> (<reason>)" on standard error.
FILE* openInputFile(const char* tool, const char* fileName);

// The lines of a tool's input file, each whole, however long: a line is
// never split into several.
class InputLines {
public:
    // `tool` and `fileName` name the file in messages. Lines shorter than
    // `minimumLength` characters, the line feed counted (so 2 passes over
    // an empty line), are passed over.
    InputLines(FILE* file, const char* tool, const char* fileName, size_t minimumLength = 2);

    // The next line, its line feed included when it has one; null at the
    // end of the file and when a read fails. A line longer than
    // MaxLineLength is refused: passed over as one line, with the line
    // "<tool> : line <n> of <file> is longer than <MaxLineLength>
    // characters, skipped" on standard error and in the log.
    char* next();

private:
    LineReader reader;
    const char* tool;
    const char* fileName;
    size_t minimumLength;
};

// Closes a file read to its end: true when every read succeeded; otherwise
// false, with the same line on standard error as openInputFile's. Call it
// right after the last readLine, while errno still tells why it failed.
bool closeInputFile(FILE* file, const char* tool, const char* fileName);

// Replaces every character below 0x20 or at or above 0x80 by a blank, so the
// newline of a line read becomes a trailing blank.
void blankControlCharacters(char* line);

// count per second over `micros` microseconds, truncated. Zero or negative
// elapsed time gives 0 (there is no meaningful speed), and a quotient beyond
// the int range gives INT32_MAX rather than an undefined conversion.
int32_t ratePerSecond(double count, double micros);

// The node speeds of the reports: the quotient narrowed to a single-precision
// float before it is truncated, with the same guards as ratePerSecond.
int32_t nodesPerSecond(uint64_t nodes, double micros);

}  // namespace tools
