#include "foundation/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Links followed before giving up, as the system itself does.
constexpr int maximumLinks = 40;

}  // namespace

std::string directoryPrefix(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool findOutputFile(const std::string& path, OutputFile& file, std::string& refusal) {
    file = OutputFile();
    file.path = path;
    struct stat status;
    for (int followed = 0;; ++followed) {
        if (lstat(file.path.c_str(), &status) != 0) {
            if (errno == ENOENT)
                return true;  // a new file; whether it can be made shows when it is
            refusal = std::strerror(errno);
            return false;
        }
        if (!S_ISLNK(status.st_mode))
            break;
        if (followed == maximumLinks) {
            refusal = std::strerror(ELOOP);
            return false;
        }
        std::vector<char> target(size_t(status.st_size > 0 ? status.st_size : 255) + 1);
        const ssize_t length = readlink(file.path.c_str(), target.data(), target.size());
        if (length < 0 || size_t(length) >= target.size()) {
            refusal = std::strerror(length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::string named(target.data(), size_t(length));
        // A relative link is read from the directory the link is in.
        file.path = named[0] == '/' ? named : directoryPrefix(file.path) + named;
    }
    if (S_ISDIR(status.st_mode)) {
        refusal = std::strerror(EISDIR);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        refusal = "not a regular file";
        return false;
    }
    if (access(file.path.c_str(), W_OK) != 0) {
        refusal = std::strerror(errno);
        return false;
    }
    file.exists = true;
    file.mode = uint32_t(status.st_mode & 07777);
    file.owner = uint32_t(status.st_uid);
    file.group = uint32_t(status.st_gid);
    file.links = uint64_t(status.st_nlink);
    file.device = uint64_t(status.st_dev);
    file.inode = uint64_t(status.st_ino);
    return true;
}

bool OutputFile::isFile(const std::string& otherPath) const {
    struct stat status;
    return exists && stat(otherPath.c_str(), &status) == 0 && uint64_t(status.st_dev) == device &&
           uint64_t(status.st_ino) == inode;
}
