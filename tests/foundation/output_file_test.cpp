// Looking at the file a tool is about to write: files of the kernel's own
// file systems are refused like devices, files on a disk are not. Nothing is
// written here; only the look before a write is made.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "foundation/output_file.h"
#include "launch/temp_dir.h"

namespace {

struct LookCase {
    std::string path;
    const char* refusal;  // "" when the file may be written
    bool exists;
};

TEST(OutputFile, KernelFileSystemsAreRefusedAndDisksAreNot) {
    TempDir dir;
    dir.write("book.bin", "old");
    ASSERT_EQ(symlink("/proc/self/comm", (dir.path + "/kernel.bin").c_str()), 0);
    std::vector<LookCase> cases = {
        {dir.path + "/book.bin", "", true},
        {dir.path + "/new.bin", "", false},
        {"/proc/self/comm", "on a kernel file system", true},
        {"/proc/self/new.bin", "on a kernel file system", false},
        {dir.path + "/kernel.bin", "on a kernel file system", true},  // a link into /proc
    };
    if (access("/sys/devices/system/cpu/possible", F_OK) == 0) {
        cases.push_back({"/sys/devices/system/cpu/possible", "on a kernel file system", true});
        cases.push_back({"/sys/devices/system/cpu/new.bin", "on a kernel file system", false});
    }
    for (const LookCase& c : cases) {
        OutputFile file;
        std::string refusal;
        EXPECT_EQ(findOutputFile(c.path, file, refusal), *c.refusal == '\0') << c.path;
        EXPECT_EQ(refusal, c.refusal) << c.path;
        if (*c.refusal == '\0') {
            EXPECT_EQ(file.exists, c.exists) << c.path;
        }
    }
    std::remove((dir.path + "/kernel.bin").c_str());
}

}  // namespace
