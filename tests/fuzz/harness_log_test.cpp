// The log of the fuzz targets: their sessions must format every message
// built from the input, which the logger does only while a file is open, and
// a long run must not fill the disk with it.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "foundation/log.h"
#include "fuzz_support.h"

namespace {

class FuzzHarnessLog : public testing::Test {
protected:
    void TearDown() override {
        logger.close();
        logger.levels.clear();
    }
};

// The set-up every target runs before its first input leaves a log open that
// takes a line at every level.
TEST_F(FuzzHarnessLog, SetUpLeavesALogThatTakesEveryLevel) {
    fuzz::initOnce();
    ASSERT_NE(nullptr, logger.file);
    ASSERT_EQ(size_t(LogLevelCount), logger.levels.size());
    for (int level = 0; level < LogLevelCount; ++level) {
        const uint64_t before = logger.levels[level].count;
        logger.log(level, "hostile %s %d", "text", level);
        EXPECT_EQ(before + 1, logger.levels[level].count) << logger.levels[level].name;
    }
    EXPECT_GT(std::ftell(logger.file), 0L);

    // Nothing of it stays in the scratch directory.
    struct stat info;
    EXPECT_NE(0, stat(fuzz::scratchPath("log").c_str(), &info));
}

// Trimmed between inputs, as the targets do, the file never holds much more
// than its bound, however much is logged.
TEST_F(FuzzHarnessLog, StaysNearItsBoundOverALongRun) {
    ASSERT_TRUE(fuzz::openSessionLog());
    const std::string text(900, 'x');
    off_t largest = 0;
    for (int input = 0; input < 4000; ++input) {
        fuzz::trimSessionLog();
        logger.log(LogInfo, "%s", text.c_str());
        struct stat info;
        ASSERT_EQ(0, fstat(fileno(logger.file), &info));
        if (info.st_size > largest) largest = info.st_size;
    }
    EXPECT_EQ(4000u, logger.levels[LogInfo].count);
    EXPECT_LE(largest, off_t(fuzz::LogBytesKept + 2 * 1024));
}

}  // namespace
