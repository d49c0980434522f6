#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "foundation/config.h"

namespace {

// Writes `content` to a temporary file and reads it back as a Config.
class ConfigFile : public testing::Test {
protected:
    std::string path = testing::TempDir() + "vorlix_config_" + std::to_string(getpid()) + ".ini";
    Config config;

    void load(const std::string& content) {
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
        ASSERT_TRUE(config.readFile(path.c_str()));
    }
    void TearDown() override { remove(path.c_str()); }
};

struct LineCase {
    const char* line;   // one line of the file, without its line end
    const char* key;    // key looked up
    const char* value;  // expected value, or nullptr when the key must be missing
};

const LineCase lineCases[] = {
    {"Hash=64\t; comment", "Hash", "64"},         // the tab ends the line
    {"Hash = 64", "Hash", nullptr},               // the blank belongs to the key
    {"Hash = 64", "Hash ", " 64"},
    {"a=1", "a", "1"},
    {"a=", "a", nullptr},                         // two characters: skipped
    {"=5", "", nullptr},                          // two characters: skipped
    {"==5", "", "=5"},                            // everything after the first '='
    {" #x=1", " #x", "1"},                        // not a comment: does not start with '#'
    {"#x=1", "#x", nullptr},
    {";x=1", ";x", nullptr},
    {"Name=Caf\xc3\xa9", "Name", "Caf"},          // bytes above 0x7f end the line
    {"NoEqualsSign", "NoEqualsSign", nullptr},
    {"Key=value with blanks ", "Key", "value with blanks "},
};

TEST_F(ConfigFile, LineRules) {
    for (const LineCase& c : lineCases) {
        SCOPED_TRACE(c.line);
        config.entries.clear();
        load(std::string(c.line) + "\n");
        const std::string missing = "<missing>";
        EXPECT_EQ(config.getString(c.key, missing), c.value ? c.value : missing);
    }
}

TEST_F(ConfigFile, EmptyValueAfterCarriageReturnIsKept) {
    load("Book=\r\n");
    EXPECT_EQ(config.getString("Book", "default"), "");
}

TEST_F(ConfigFile, WindowsLineEndsAndFirstEntryWins) {
    load("Threads=2\r\nHash=128\r\nThreads=4\r\n");
    EXPECT_EQ(config.getInt("Threads", 1), 2);
    EXPECT_EQ(config.getInt("Hash", 1), 128);
    EXPECT_EQ(config.getString("Hash", ""), "128");
    EXPECT_EQ(config.getInt("Missing", 7), 7);
    EXPECT_EQ(config.getString("Missing", "dflt"), "dflt");
    EXPECT_EQ(config.entries.size(), 3u);
}

TEST_F(ConfigFile, GetIntReadsLikeStrtolAndSaturates) {
    load("a= 12x\nb=-7\nc=abc\nd=99999999999999999999\ne=-99999999999999999999\n"
         "f=4294967296\ng=+2147483647\n");
    EXPECT_EQ(config.getInt("a", 5), 12);
    EXPECT_EQ(config.getInt("b", 5), -7);
    EXPECT_EQ(config.getInt("c", 5), 0);
    EXPECT_EQ(config.getInt("d", 5), INT_MAX);
    EXPECT_EQ(config.getInt("e", 5), INT_MIN);
    EXPECT_EQ(config.getInt("f", 5), INT_MAX);  // would narrow to 0
    EXPECT_EQ(config.getInt("g", 5), INT_MAX);
}

// A line longer than the read buffer keeps its head; its tail must not come
// back as a line of its own (here it would read as the entry Hash=1). Where
// the line ends is where its line feed is, even with a NUL byte before it.
TEST_F(ConfigFile, OverlongLineTailIsDiscarded) {
    struct OverlongCase {
        std::string line;
        const char* longKey;
        size_t longValueSize;
    };
    const OverlongCase cases[] = {
        {"Long=" + std::string(1018, 'v') + "Hash=1", "Long", 1023u - 5u},
        {std::string("A=1\0", 4) + std::string(1019, 'x') + "Hash=1", "A", 1u},
        {std::string("A=1\0", 4) + std::string(2000, 'x') + "Hash=1", "A", 1u},
        {std::string("\0", 1) + std::string(1022, 'x') + "Hash=1", nullptr, 0u},
    };
    for (const OverlongCase& c : cases) {
        SCOPED_TRACE(c.line.size());
        config.entries.clear();
        load(c.line + "\nThreads=3\n");
        if (c.longKey != nullptr) {
            EXPECT_EQ(config.getString(c.longKey, "").size(), c.longValueSize);
        }
        EXPECT_EQ(config.getInt("Hash", 64), 64);
        EXPECT_EQ(config.getInt("Threads", 1), 3);
        EXPECT_EQ(config.entries.size(), c.longKey != nullptr ? 2u : 1u);
    }
}

TEST_F(ConfigFile, LineOfExactlyBufferLengthIsWhole) {
    const std::string line = "Key=" + std::string(1018, 'v');  // 1022 characters + line feed
    load(line + "\nNext=1\n");
    EXPECT_EQ(config.getString("Key", "").size(), 1018u);
    EXPECT_EQ(config.getInt("Next", 0), 1);
}

TEST_F(ConfigFile, LastLineWithoutLineEnd) {
    load("A=1\nB=2");
    EXPECT_EQ(config.getInt("B", 0), 2);
}

TEST(Config, MissingFileGivesFalseAndNoEntries) {
    Config config;
    EXPECT_FALSE(config.readFile("/nonexistent-directory/vorlix.ini"));
    EXPECT_TRUE(config.entries.empty());
    EXPECT_EQ(config.getInt("Hash", 64), 64);
}

}  // namespace
