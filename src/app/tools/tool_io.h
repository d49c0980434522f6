#pragma once
// Small pieces the file tools share: reading a position file in the fixed
// pieces the tools work on, and turning counts over elapsed time into speeds.

#include <cstdint>
#include <cstdio>

namespace tools {

// Text files are read in pieces of at most this many characters plus the
// NUL; a longer line arrives in several pieces, each handled as a line.
constexpr int LineBufferSize = 512;

// Opens a text file for reading when it names a regular file. Otherwise
// nullptr, with the log line "file not found" and the line
// "<tool> : cannot read <file> (<reason>)" on standard error.
FILE* openInputFile(const char* tool, const char* fileName);

// Reads the next piece of the file (see LineBufferSize), passing over pieces
// shorter than two characters (a lone newline); false at the end of the file
// and when a read fails.
bool readLine(FILE* file, char (&line)[LineBufferSize]);

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
