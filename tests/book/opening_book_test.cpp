// The book file format, the loader's checks and the probe.

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "book/book_builder.h"
#include "book/opening_book.h"
#include "book_test_support.h"
#include "search/engine.h"

using book_test::tempPath;
using book_test::writeTempFile;

namespace {

std::string le32(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(value >> (8 * i));
    return bytes;
}

std::string record(uint64_t key, uint32_t move, uint16_t games, uint16_t score) {
    std::string bytes = le32(uint32_t(key)) + le32(uint32_t(key >> 32)) + le32(move);
    bytes += char(games & 0xff);
    bytes += char(games >> 8);
    bytes += char(score & 0xff);
    bytes += char(score >> 8);
    return bytes;
}

std::string header(int32_t count, uint32_t version = bookVersion) {
    return "BOOK" + le32(version) + le32(uint32_t(count));
}

struct LoadResult {
    int result;
    bool inUse;
    int32_t plyLimit;
};

LoadResult load(OpeningBook& book, const std::string& path) {
    bool inUse = false;
    int32_t plyLimit = 0;
    int result = book.loadFile(path, inUse, plyLimit);
    return {result, inUse, plyLimit};
}

}  // namespace

TEST(BookEntries, SortByUnsignedKeyThenScoreDescending) {
    BookEntry entries[] = {
        {5, 1, 1, 3},
        {5, 2, 1, 9},
        {2, 3, 1, 0},
        {~uint64_t(0), 4, 1, 1},
    };
    qsort(entries, 4, sizeof(BookEntry), compareBookEntries);
    EXPECT_EQ(entries[0].key, 2u);
    EXPECT_EQ(entries[1].key, 5u);
    EXPECT_EQ(entries[1].score, 9);
    EXPECT_EQ(entries[2].key, 5u);
    EXPECT_EQ(entries[2].score, 3);
    EXPECT_EQ(entries[3].key, ~uint64_t(0));
}

TEST(BookLoader, ReadsAValidFileByteForByte) {
    std::string bytes = header(3) + record(0x10, 0x1111, 4, 7) + record(0x10, 0x2222, 1, 2) +
                        record(0x8000000000000000ULL, 0x3333, 65535, 65535);
    std::string path = writeTempFile("valid.bin", bytes);
    OpeningBook book;
    LoadResult loaded = load(book, path);
    EXPECT_EQ(loaded.result, 1);
    EXPECT_TRUE(loaded.inUse);
    EXPECT_EQ(loaded.plyLimit, 20);
    ASSERT_EQ(book.count, 3);
    EXPECT_EQ(book.entries[0].key, 0x10u);
    EXPECT_EQ(book.entries[0].move, 0x1111u);
    EXPECT_EQ(book.entries[0].games, 4);
    EXPECT_EQ(book.entries[0].score, 7);
    EXPECT_EQ(book.entries[2].key, 0x8000000000000000ULL);
    EXPECT_EQ(book.entries[2].games, 65535);
    // The writer produces the same bytes.
    std::string written = tempPath("rewritten.bin");
    ASSERT_TRUE(writeBookFile(written, book.entries.data(), book.count));
    EXPECT_EQ(book_test::readFileBytes(written), bytes);
    std::remove(path.c_str());
    std::remove(written.c_str());
}

TEST(BookLoader, EmptyBookLoadsAndFindsNothing) {
    std::string path = writeTempFile("empty.bin", header(0));
    OpeningBook book;
    EXPECT_EQ(load(book, path).result, 1);
    EXPECT_EQ(book.count, 0);
    EXPECT_EQ(book.pickMove(0x10), NoMove);
    std::remove(path.c_str());
}

TEST(BookLoader, MissingFileSwitchesTheBookOffUntilAGoodLoad) {
    LogCapture log("book_missing");
    OpeningBook book;
    std::string missing = tempPath("missing.bin");
    LoadResult loaded = load(book, missing);
    EXPECT_EQ(loaded.result, 0);
    EXPECT_FALSE(loaded.inUse);
    EXPECT_EQ(loaded.plyLimit, 20);  // set by every call
    EXPECT_TRUE(log.contains("ERROR      book file not found : " + missing));

    std::string path = writeTempFile("good.bin", header(1) + record(9, 1, 1, 1));
    loaded = load(book, path);
    EXPECT_EQ(loaded.result, 1);
    EXPECT_TRUE(loaded.inUse);
    std::remove(path.c_str());
}

// Files that are not books, or whose header promises records that are not
// there, switch the book off and keep the entries of the last good load.
TEST(BookLoader, RejectsMalformedFilesWithoutReadingPastThem) {
    struct BadFile {
        const char* name;
        std::string bytes;
    };
    const BadFile files[] = {
        {"old_version", header(1, 0x00010000) + record(9, 1, 1, 1)},
        {"wrong_magic", "BOOC" + le32(bookVersion) + le32(1) + record(9, 1, 1, 1)},
        {"zero_bytes", ""},
        {"short_header", "BOOK" + le32(bookVersion)},
        {"truncated_records", header(3) + record(9, 1, 1, 1) + record(10, 1, 1, 1)},
        {"cut_inside_record", header(1) + record(9, 1, 1, 1).substr(0, 10)},
        {"negative_count", header(-1) + record(9, 1, 1, 1)},
        {"huge_count", header(0x7fffffff) + record(9, 1, 1, 1)},
        {"trailing_bytes", header(1) + record(9, 1, 1, 1) + "xx"},
    };
    LogCapture log("book_malformed");
    OpeningBook book;
    std::string good = writeTempFile("kept.bin", header(2) + record(3, 7, 1, 1) + record(4, 8, 1, 1));
    ASSERT_EQ(load(book, good).result, 1);
    for (const BadFile& file : files) {
        std::string path = writeTempFile(std::string(file.name) + ".bin", file.bytes);
        LoadResult loaded = load(book, path);
        EXPECT_EQ(loaded.result, 0) << file.name;
        EXPECT_FALSE(loaded.inUse) << file.name;
        EXPECT_EQ(loaded.plyLimit, 20) << file.name;
        EXPECT_TRUE(log.contains("invalid book file : " + path)) << file.name;
        ASSERT_EQ(book.count, 2) << file.name;
        EXPECT_EQ(book.entries[1].move, 8u) << file.name;
        std::remove(path.c_str());
    }
    std::remove(good.c_str());
}

TEST(BookProbe, FindsTheRunOfAKeyAndHonoursSelectivity) {
    OpeningBook book;
    book.entries = {{2, 20, 1, 5}, {7, 71, 3, 9}, {7, 72, 2, 4}, {7, 73, 1, 1}, {~uint64_t(0), 99, 1, 1}};
    book.count = 5;
    EXPECT_EQ(book.findFirst(1), -1);
    EXPECT_EQ(book.findFirst(2), 0);
    EXPECT_EQ(book.findFirst(7), 1);
    EXPECT_EQ(book.findFirst(8), -1);
    EXPECT_EQ(book.findFirst(~uint64_t(0)), 4);

    EXPECT_EQ(book.pickMove(7), 71u);  // selectivity 100: the best-scored move
    EXPECT_EQ(book.pickMove(8), NoMove);

    book.selectivity = 50;
    bool seen[3] = {false, false, false};
    for (int i = 0; i < 300; ++i) {
        Move move = book.pickMove(7);
        ASSERT_TRUE(move >= 71 && move <= 73) << move;
        seen[move - 71] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]);

    // A book move is played only when it is legal in the position.
    book.selectivity = 100;
    ScoredMove legal[2] = {{70, 0}, {71, 0}};
    EXPECT_EQ(book.probe(7, legal, 2), 71u);
    EXPECT_EQ(book.probe(7, legal, 1), NoMove);
    EXPECT_EQ(book.probe(2, legal, 2), NoMove);
}

TEST(BookLoader, LoadSetsTheEnginesBookFields) {
    LogCapture log("book_engine");
    Engine engine;
    EXPECT_TRUE(engine.bookInUse);
    EXPECT_EQ(engine.bookPlyLimit, 0);
    EXPECT_EQ(engine.book.load(engine, tempPath("engine_missing.bin")), 0);
    EXPECT_FALSE(engine.bookInUse);
    EXPECT_EQ(engine.bookPlyLimit, 20);
    std::string path = writeTempFile("engine_good.bin", header(1) + record(9, 1, 1, 1));
    EXPECT_EQ(engine.book.load(engine, path), 1);
    EXPECT_TRUE(engine.bookInUse);
    EXPECT_EQ(engine.book.count, 1);
    std::remove(path.c_str());
}
