#pragma once
// Opening a file the engine reads: only a regular file is opened. A
// directory would read as an empty file, a FIFO would hold the open until a
// writer came, and a device such as /dev/zero never ends; each is refused
// at once, as a file that cannot be opened, before a byte is read.

#include <cstdio>

// The reason given for a name that exists but is neither a regular file nor
// a directory (a FIFO, a device, a socket); the other reasons are errno
// values (EISDIR for a directory).
constexpr int NotARegularFile = -1;

// Opens `path` for reading when it names a regular file (symbolic links
// followed). Null otherwise, with the reason in `reason` when given.
FILE* openRegularFile(const char* path, int* reason = nullptr);

// The text of a reason: the system's text of an errno value, or
// "not a regular file".
const char* fileErrorText(int reason);
