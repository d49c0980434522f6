#include "foundation/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FILE* openRegularFile(const char* path, int* reason) {
    int failure = 0;
    FILE* file = nullptr;
    // Without O_NONBLOCK the open of a FIFO waits for a writer; the kind of
    // file is told from what was opened, so a name replaced meanwhile is
    // judged by what it names now.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info;
    if (fd < 0) {
        failure = errno;
    } else if (fstat(fd, &info) != 0) {
        failure = errno;
    } else if (S_ISDIR(info.st_mode)) {
        failure = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        failure = NotARegularFile;
    } else {
        // Reads of a regular file never wait; the flag is cleared all the
        // same, so the stream sees the file as any other open would give it.
        const int flags = fcntl(fd, F_GETFL);
        if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1)
            failure = errno;
        else if ((file = fdopen(fd, "r")) == nullptr)
            failure = errno;
    }
    if (file == nullptr && fd >= 0)
        close(fd);
    if (reason != nullptr)
        *reason = failure;
    return file;
}

const char* fileErrorText(int reason) {
    return reason == NotARegularFile ? "not a regular file" : std::strerror(reason);
}
