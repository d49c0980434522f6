#include "foundation/output_file.h"

#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Links followed before giving up, as the system itself does.
constexpr int maximumLinks = 40;

// File systems whose files are the kernel's own: a write there sets a
// kernel setting, a process's state or a control, never stores a file.
// Their "regular files" are refused as devices are. By their statfs type.
constexpr uint32_t kernelFileSystems[] = {
    0x9fa0,      // proc
    0x62656572,  // sysfs
    0x64626720,  // debugfs
    0x74726163,  // tracefs
    0x73636673,  // securityfs
    0xf97cff8c,  // selinuxfs
    0x43415d53,  // smackfs
    0x27e0eb,    // cgroup
    0x63677270,  // cgroup2
    0x7655821,   // resctrl
    0x62656570,  // configfs
    0x6165676c,  // pstore
    0xde5e81e4,  // efivarfs
    0xcafe4a11,  // bpf
    0x42494e4d,  // binfmt_misc
    0x65735543,  // fusectl
    0x1cd1,      // devpts
    0x19800202,  // mqueue
    0x6e736673,  // nsfs
    0x958458f6,  // hugetlbfs
    0x9fa1,      // openprom
    0x9fa2,      // usbdevfs
    0xabba1974,  // xenfs
    0x6c6f6f70,  // binderfs
};

// Whether the file system holding `path` is one of the kernel's own. A
// path that cannot be looked at is not judged here: the open reports it.
bool onKernelFileSystem(const std::string& path) {
    struct statfs info;
    if (statfs(path.c_str(), &info) != 0)
        return false;
    // The type is a signed word of either width; the numbers are 32 bits.
    const uint32_t type = uint32_t(info.f_type);
    for (uint32_t kernel : kernelFileSystems)
        if (type == kernel)
            return true;
    return false;
}

constexpr const char* kernelFileSystemRefusal = "on a kernel file system";

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
            if (errno != ENOENT) {
                refusal = std::strerror(errno);
                return false;
            }
            // A new file; whether it can be made shows when it is, unless its
            // directory is the kernel's.
            const std::string directory = directoryPrefix(file.path);
            if (onKernelFileSystem(directory.empty() ? "." : directory)) {
                refusal = kernelFileSystemRefusal;
                return false;
            }
            return true;
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
    if (onKernelFileSystem(file.path)) {
        refusal = kernelFileSystemRefusal;
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
