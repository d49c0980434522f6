#pragma once
// The file a tool is about to write, looked at before anything is written:
// symbolic links are followed to the file they name, and a path naming
// something other than a regular file (a device, a FIFO, a socket, a
// directory), a file of the kernel's own file systems (/proc, /sys and the
// like, for an existing file or a new one) or a file the user may not write
// is refused, so that a wrong argument is reported instead of replacing what
// the path names.

#include <cstdint>
#include <string>

struct OutputFile {
    std::string path;     // the given path with its symbolic links followed
    bool exists = false;  // false: the file is new, created at `path`
    // Of the existing file:
    uint32_t mode = 0;    // permission bits
    uint32_t owner = 0;
    uint32_t group = 0;
    uint64_t links = 0;   // hard links to it
    uint64_t device = 0;
    uint64_t inode = 0;

    // Whether `otherPath` (links followed) names this very file.
    bool isFile(const std::string& otherPath) const;
};

// Finds the file that writing to `path` would replace. False, with the
// reason in `refusal` (the system's text for the error where there is one),
// when it exists and is not a regular file the user may write, when it or
// the directory of a new one is on a kernel file system, or when a link on
// the way cannot be read.
bool findOutputFile(const std::string& path, OutputFile& file, std::string& refusal);

// The directory part of a path, with its final slash ("" for a bare name),
// so that a name appended to it lies beside the path's file.
std::string directoryPrefix(const std::string& path);
