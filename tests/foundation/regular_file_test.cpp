// Opening a file to read: only a regular file opens, and the refusal of any
// other kind comes at once, with its reason.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/regular_file.h"
#include "launch/temp_dir.h"

namespace {

struct KindCase {
    const char* name;
    std::function<bool(const TempDir& dir, const std::string& path)> make;
    int reason;  // 0: the file opens
};

const std::vector<KindCase> kindCases = {
    {"regular", [](const TempDir& dir, const std::string&) { dir.write("f", "text\n"); return true; }, 0},
    {"linkToRegular",
     [](const TempDir& dir, const std::string& path) {
         dir.write("target", "text\n");
         return symlink((dir.path + "/target").c_str(), path.c_str()) == 0;
     },
     0},
    {"missing", [](const TempDir&, const std::string&) { return true; }, ENOENT},
    {"directory", [](const TempDir&, const std::string& path) { return mkdir(path.c_str(), 0755) == 0; },
     EISDIR},
    {"fifo", [](const TempDir&, const std::string& path) { return mkfifo(path.c_str(), 0644) == 0; },
     NotARegularFile},
    {"device",
     [](const TempDir&, const std::string& path) { return symlink("/dev/zero", path.c_str()) == 0; },
     NotARegularFile},
};

void PrintTo(const KindCase& kind, std::ostream* out) { *out << kind.name; }

class RegularFileOpen : public testing::TestWithParam<KindCase> {};

TEST_P(RegularFileOpen, OpensOnlyRegularFiles) {
    TempDir dir;
    const std::string path = dir.path + "/f";
    ASSERT_TRUE(GetParam().make(dir, path));
    int reason = 12345;
    FILE* file = openRegularFile(path.c_str(), &reason);
    EXPECT_EQ(reason, GetParam().reason);
    if (GetParam().reason != 0) {
        EXPECT_EQ(file, nullptr);
        return;
    }
    ASSERT_NE(file, nullptr);
    char line[16] = {};
    EXPECT_NE(std::fgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "text\n");
    std::fclose(file);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RegularFileOpen, testing::ValuesIn(kindCases),
                         [](const testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

TEST(RegularFileOpen, ReasonTexts) {
    EXPECT_STREQ(fileErrorText(NotARegularFile), "not a regular file");
    EXPECT_STREQ(fileErrorText(EISDIR), "Is a directory");
    EXPECT_STREQ(fileErrorText(ENOENT), "No such file or directory");
}

}  // namespace
