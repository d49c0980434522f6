// Building book files from PGN games: what is counted, scored, kept, sorted
// and written, and what happens when memory or the disk runs out.

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "book/book_builder.h"
#include "book/opening_book.h"
#include "book_test_support.h"
#include "launch/temp_dir.h"
#include "app/tools_test_support.h"

using book_test::startPosition;
using book_test::tempPath;
using book_test::writeTempFile;

namespace {

constexpr Move e2e4 = makeMove(E2, E4, Pawn);
constexpr Move d2d4 = makeMove(D2, D4, Pawn);
constexpr Move e7e5 = makeMove(E7, E5, Pawn);
constexpr Move c7c5 = makeMove(C7, C5, Pawn);
constexpr Move g1f3 = makeMove(G1, F3, Knight);

Key keyAfter(std::initializer_list<Move> moves) {
    Position position = startPosition();
    for (Move move : moves) {
        UndoRecord undo;
        position.makeMove(move, undo);
    }
    return position.key;
}

// Builds a book from PGN text and loads it back.
struct Built {
    bool result = false;
    bool loaded = false;
    OpeningBook book;
    std::string bytes;
};

Built build(const std::string& name, const std::string& pgn, int depth, int minCount) {
    book_test::ensureTables();
    std::string pgnPath = writeTempFile(name + ".pgn", pgn);
    std::string bookPath = tempPath(name + ".bin");
    std::remove(bookPath.c_str());
    Built built;
    OpeningBook unused;
    built.result = unused.buildFromPgn(pgnPath, bookPath, depth, minCount);
    bool inUse = false;
    int32_t plyLimit = 0;
    built.loaded = built.book.loadFile(bookPath, inUse, plyLimit) == 1;
    built.bytes = book_test::readFileBytes(bookPath);
    std::remove(pgnPath.c_str());
    std::remove(bookPath.c_str());
    return built;
}

}  // namespace

TEST(BookBuilder, DepthOneCountsOnlyWhitesFirstMove) {
    Built built = build("depth1", "[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 1-0\n", 1, 1);
    EXPECT_TRUE(built.result);
    ASSERT_TRUE(built.loaded);
    ASSERT_EQ(built.book.count, 1);
    EXPECT_EQ(built.book.entries[0].key, startPosition().key);
    EXPECT_EQ(built.book.entries[0].move, e2e4);
    EXPECT_EQ(built.book.entries[0].games, 1);
    EXPECT_EQ(built.book.entries[0].score, 2);
    // Header and size: magic, version 0x00020000, N = 1, one 16-byte record.
    ASSERT_EQ(built.bytes.size(), 28u);
    EXPECT_EQ(built.bytes.substr(0, 12), std::string("BOOK\0\0\2\0\1\0\0\0", 12));
}

TEST(BookBuilder, ScoresFollowTheResultAndTheMover) {
    struct ScoreCase {
        const char* result;
        int whiteScore;
        int blackScore;
    };
    const ScoreCase cases[] = {
        {"[Result \"0-1\"]", 0, 2},
        {"[Result \"1-0\"]", 2, 0},
        {"[Result \"1/2-1/2\"]", 1, 1},
        {"[Result \"*\"]", 1, 1},
        {"[Event \"no result tag\"]", 1, 1},
    };
    const Key afterE4 = keyAfter({e2e4});
    for (const ScoreCase& c : cases) {
        // Depth 2: white's first two moves and black's first.
        Built built = build("scores", std::string(c.result) + "\n\n1. e4 e5 2. Nf3 Nc6 *\n", 2, 1);
        ASSERT_TRUE(built.loaded) << c.result;
        ASSERT_EQ(built.book.count, 3) << c.result;
        for (int i = 0; i < built.book.count; ++i) {
            const BookEntry& entry = built.book.entries[i];
            if (entry.move == e2e4) {
                EXPECT_EQ(entry.key, startPosition().key);
                EXPECT_EQ(entry.score, c.whiteScore) << c.result;
            } else if (entry.move == e7e5) {
                EXPECT_EQ(entry.key, afterE4);
                EXPECT_EQ(entry.score, c.blackScore) << c.result;
            } else {
                EXPECT_EQ(entry.move, g1f3) << c.result;
                EXPECT_EQ(entry.key, keyAfter({e2e4, e7e5}));
            }
        }
    }
}

TEST(BookBuilder, MinimumCountAndOrder) {
    const std::string games =
        "[Result \"1-0\"]\n\n1. d4 d5 1-0\n\n"
        "[Result \"0-1\"]\n\n1. e4 e5 0-1\n\n"
        "[Result \"1/2-1/2\"]\n\n1. e4 c5 1/2-1/2\n\n";
    Built kept = build("mincount2", games, 2, 2);
    ASSERT_TRUE(kept.loaded);
    ASSERT_EQ(kept.book.count, 1);  // only 1. e4 was played in two games
    EXPECT_EQ(kept.book.entries[0].move, e2e4);
    EXPECT_EQ(kept.book.entries[0].games, 2);
    EXPECT_EQ(kept.book.entries[0].score, 1);

    for (int minCount : {0, -3, 1}) {
        Built all = build("mincount0", games, 2, minCount);
        ASSERT_TRUE(all.loaded);
        ASSERT_EQ(all.book.count, 5) << minCount;
        for (int i = 1; i < all.book.count; ++i)
            EXPECT_LE(compareBookEntries(&all.book.entries[i - 1], &all.book.entries[i]), 0);
        // The two moves from the start position sit together, best score first.
        int first = all.book.findFirst(startPosition().key);
        ASSERT_GE(first, 0);
        EXPECT_EQ(all.book.entries[first].move, d2d4);  // score 2 ahead of e4's 1
        EXPECT_EQ(all.book.entries[first + 1].move, e2e4);
        EXPECT_EQ(all.book.entries[first + 1].key, startPosition().key);
        const Key afterE4 = keyAfter({e2e4});
        int replies = all.book.findFirst(afterE4);
        ASSERT_GE(replies, 0);
        EXPECT_EQ(all.book.entries[replies].move, e7e5);  // black won: 2
        EXPECT_EQ(all.book.entries[replies + 1].move, c7c5);
    }
}

TEST(BookBuilder, GamesWithoutTagsAreCountedFromTheStartPosition) {
    Built built = build("notags", "1. e4 e5 *\n", 1, 1);
    ASSERT_TRUE(built.loaded);
    ASSERT_EQ(built.book.count, 1);
    EXPECT_EQ(built.book.entries[0].key, startPosition().key);
}

TEST(BookBuilder, BuiltBookAnswersTheProbe) {
    Built built = build("probe", "[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 *\n", 4, 1);
    ASSERT_TRUE(built.loaded);
    Position position = startPosition();
    ScoredMove legal[MaxMoves];
    int count = position.generateLegalMoves(legal, false);
    EXPECT_EQ(built.book.probe(position.key, legal, count), e2e4);
    UndoRecord undo;
    position.makeMove(e2e4, undo);
    count = position.generateLegalMoves(legal, false);
    EXPECT_EQ(built.book.probe(position.key, legal, count), e7e5);
}

// A file from which no game is read is no PGN file (an old book given in
// its place, say): nothing is written, and a book already at the path stays.
TEST(BookBuilder, PgnWithoutAGameWritesNothing) {
    book_test::ensureTables();
    const std::string texts[] = {
        "",
        "[Event \"A\"]\n[Result \"1-0\"]\n\n1-0\n",
        "[Event \"A\"]\n\n1. Ke2 *\n",
        std::string("BOOK\0\0\2\0\0\0\0\0", 12),
    };
    for (const std::string& text : texts) {
        std::string pgn = writeTempFile("nogame.pgn", text);
        std::string bookPath = tempPath("nogame.bin");
        std::ofstream(bookPath, std::ios::binary) << "an earlier book";
        OpeningBook unused;
        std::string failure;
        EXPECT_FALSE(unused.buildFromPgn(pgn, bookPath, 10, 1, &failure)) << text;
        EXPECT_EQ(failure, "no game read from " + pgn);
        EXPECT_EQ(book_test::readFileBytes(bookPath), "an earlier book");
        std::remove(pgn.c_str());
        std::remove(bookPath.c_str());
    }
}

TEST(BookBuilder, MissingPgnWritesNothing) {
    LogCapture log("builder_missing");
    std::string pgn = tempPath("absent.pgn");
    std::string bookPath = tempPath("absent.bin");
    std::remove(bookPath.c_str());
    OpeningBook unused;
    std::string failure;
    EXPECT_FALSE(unused.buildFromPgn(pgn, bookPath, 10, 1, &failure));
    EXPECT_FALSE(book_test::fileExists(bookPath));
    EXPECT_TRUE(log.contains("Chess PGN : File not found \"" + pgn + "\""));
    EXPECT_EQ(failure, "cannot read " + pgn + " (No such file or directory)");
}

TEST(BookBuilder, UnwritableBookPathIsReported) {
    LogCapture log("builder_unwritable");
    book_test::ensureTables();
    std::string pgn = writeTempFile("unwritable.pgn", "1. e4 *\n");
    std::string bookPath = tempPath("no_such_directory/book.bin");
    OpeningBook unused;
    std::string failure;
    EXPECT_FALSE(unused.buildFromPgn(pgn, bookPath, 10, 1, &failure));
    EXPECT_FALSE(book_test::fileExists(bookPath));
    EXPECT_TRUE(log.contains("error saving book file : " + bookPath));
    EXPECT_EQ(failure, "cannot write " + bookPath + " (No such file or directory)");
    std::remove(pgn.c_str());
}

TEST(BookBuilder, CountsSaturateInsteadOfWrapping) {
    book_test::ensureTables();
    std::string pgn = writeTempFile("saturate.pgn", "");
    BookBuilder builder(tempPath("saturate.bin"), 10, 1);
    PgnReader reader(pgn, builder);
    builder.beginFile(reader);
    for (int i = 0; i < 70000; ++i)
        builder.addPair(0x1234, e2e4, 2);
    builder.addPair(0x1234, d2d4, 0);
    builder.endFile(reader);
    ASSERT_TRUE(builder.written);
    OpeningBook book;
    bool inUse;
    int32_t plyLimit;
    ASSERT_EQ(book.loadFile(builder.bookPath, inUse, plyLimit), 1);
    ASSERT_EQ(book.count, 2);
    EXPECT_EQ(book.entries[0].move, e2e4);
    EXPECT_EQ(book.entries[0].games, 65535);
    EXPECT_EQ(book.entries[0].score, 65535);
    EXPECT_EQ(book.entries[1].games, 1);
    std::remove(builder.bookPath.c_str());
    std::remove(pgn.c_str());
}

// More pairs than the initial table holds: the table grows, nothing is lost.
TEST(BookBuilder, TableGrowsInsteadOfDroppingPairs) {
    book_test::ensureTables();
    std::string pgn = writeTempFile("grow.pgn", "");
    BookBuilder builder(tempPath("grow.bin"), 10, 1);
    PgnReader reader(pgn, builder);
    builder.beginFile(reader);
    const int32_t pairs = BookBuilder::initialCapacity + 1000;
    auto keyOf = [](int32_t i) { return uint64_t(i) * 0x9e3779b97f4a7c15ULL; };
    for (int32_t i = 1; i <= pairs; ++i)
        ASSERT_TRUE(builder.addPair(keyOf(i), e2e4, 1));
    EXPECT_GT(builder.capacity, BookBuilder::initialCapacity);
    EXPECT_EQ(builder.used, pairs);
    EXPECT_EQ(builder.droppedPairs, 0u);
    // Every pair is still found: a repeat counts on the existing entry.
    ASSERT_TRUE(builder.addPair(keyOf(7), e2e4, 1));
    EXPECT_EQ(builder.used, pairs);
    builder.endFile(reader);
    ASSERT_TRUE(builder.written);
    OpeningBook book;
    bool inUse;
    int32_t plyLimit;
    ASSERT_EQ(book.loadFile(builder.bookPath, inUse, plyLimit), 1);
    EXPECT_EQ(book.count, pairs);
    int repeated = book.findFirst(keyOf(7));
    ASSERT_GE(repeated, 0);
    EXPECT_EQ(book.entries[repeated].games, 2);
    std::remove(builder.bookPath.c_str());
    std::remove(pgn.c_str());
}

namespace {

// Ends the builder's file with the file size limited to 64 KB: a book of
// 20,000 pairs cannot be written whole.
void endFileWithoutRoom(BookBuilder& builder, PgnReader& reader) {
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    builder.endFile(reader);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
}

}  // namespace

// A write that fails after the file was created (here: the file-size limit)
// is reported and leaves no partial book behind.
TEST(BookBuilder, FailedWriteRemovesThePartialFile) {
    LogCapture log("builder_write_failure");
    book_test::ensureTables();
    std::string pgn = writeTempFile("writefail.pgn", "");
    BookBuilder builder(tempPath("writefail.bin"), 10, 1);
    PgnReader reader(pgn, builder);
    builder.beginFile(reader);
    for (uint64_t key = 1; key <= 20000; ++key)  // 320,012 bytes of book
        builder.addPair(key, e2e4, 1);

    endFileWithoutRoom(builder, reader);

    EXPECT_FALSE(builder.written);
    EXPECT_FALSE(book_test::fileExists(builder.bookPath));
    EXPECT_TRUE(log.contains("error saving book file : " + builder.bookPath));
    std::remove(pgn.c_str());
}

// A failed write leaves the file the path named as it was, and nothing else
// beside it.
TEST(BookBuilder, FailedWriteKeepsTheFileItWasToReplace) {
    LogCapture log("builder_keeps_target");
    book_test::ensureTables();
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string target = dir.path + "/book.bin";
    std::ofstream(target, std::ios::binary) << "an earlier book";
    std::string pgn = writeTempFile("keeptarget.pgn", "");
    BookBuilder builder(target, 10, 1);
    PgnReader reader(pgn, builder);
    builder.beginFile(reader);
    for (uint64_t key = 1; key <= 20000; ++key) builder.addPair(key, e2e4, 1);
    endFileWithoutRoom(builder, reader);

    EXPECT_FALSE(builder.written);
    EXPECT_EQ(builder.writeFailure, std::strerror(EFBIG));
    EXPECT_EQ(book_test::readFileBytes(target), "an earlier book");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"book.bin"});
    std::remove(pgn.c_str());
}

// A complete book replaces the file at the path, and only the book is left.
TEST(BookBuilder, CompleteBookReplacesTheFileAtThePath) {
    book_test::ensureTables();
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string target = dir.path + "/book.bin";
    std::ofstream(target, std::ios::binary) << "an earlier book, longer than the new one";
    std::string pgn = writeTempFile("replace.pgn", "1. e4 *\n");
    OpeningBook unused;
    ASSERT_TRUE(unused.buildFromPgn(pgn, target, 10, 1));
    OpeningBook book;
    bool inUse = false;
    int32_t plyLimit = 0;
    ASSERT_EQ(book.loadFile(target, inUse, plyLimit), 1);
    EXPECT_EQ(book.count, 1);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"book.bin"});
    std::remove(pgn.c_str());
}

// The games the book is made of, as a reader of PGN meets them.
TEST(BookBuilder, OnlyTheMainLineOfEachGameCountsWithItsOwnResult) {
    // A variation before the first move is not the main line.
    Built built = build("variationfirst", "[Event \"A\"]\n[Result \"1-0\"]\n\n(1. d4 d5) 1. e4 e5 1-0\n", 10, 1);
    ASSERT_TRUE(built.loaded);
    ASSERT_EQ(built.book.count, 2);
    EXPECT_EQ(built.book.findFirst(keyAfter({d2d4})), -1);
    EXPECT_EQ(built.book.entries[built.book.findFirst(startPosition().key)].move, e2e4);
    EXPECT_EQ(built.book.entries[built.book.findFirst(keyAfter({e2e4}))].move, e7e5);

    // A game with tags and no moves does not lend its result to the next.
    Built tagsOnly = build("tagsonly",
                  "[Event \"A\"]\n[Result \"1-0\"]\n\n[Event \"B\"]\n[Result \"0-1\"]\n\n1. e4 e5 0-1\n",
                           10, 1);
    ASSERT_TRUE(tagsOnly.loaded);
    ASSERT_EQ(tagsOnly.book.count, 2);
    const int first = tagsOnly.book.findFirst(startPosition().key);
    ASSERT_GE(first, 0);
    EXPECT_EQ(tagsOnly.book.entries[first].move, e2e4);
    EXPECT_EQ(tagsOnly.book.entries[first].games, 1);
    EXPECT_EQ(tagsOnly.book.entries[first].score, 0);  // black won
}

namespace {

// The builder, measuring how many moves the reader keeps of each game.
class MeasuredBuilder : public BookBuilder {
public:
    using BookBuilder::BookBuilder;
    size_t mostMovesKept = 0;
    void gameEnd(PgnReader& reader) override {
        mostMovesKept = std::max(mostMovesKept, reader.game.tokens.size());
    }
};

}  // namespace

// A game of any length takes the memory of the moves the depth counts, and
// its result still comes from its own tags.
TEST(BookBuilder, AGameKeepsOnlyTheMovesTheDepthCounts) {
    LogCapture log("builder_move_limit");
    book_test::ensureTables();
    std::string moves;
    for (int i = 0; i < 5000; ++i)
        moves += "Nf3 Nf6 Ng1 Ng8 ";
    // Beyond the depth moves are not resolved: an illegal one is no error.
    const std::string games = "[Event \"A\"]\n[Result \"1-0\"]\n\n1. " + moves + "Ke5 1-0\n\n" +
                              "[Event \"B\"]\n[Result \"0-1\"]\n\n1. e4 e5 2. Nf3 0-1\n";
    const std::string pgn = writeTempFile("movelimit.pgn", games);
    struct DepthCase {
        int depth;
        size_t movesKept;  // the most of a game
    };
    const DepthCase cases[] = {{-3, 1}, {0, 1}, {1, 1}, {2, 3}, {5, 9}};
    for (const DepthCase& c : cases) {
        MeasuredBuilder builder(tempPath("movelimit.bin"), c.depth, 1);
        PgnReader reader(pgn, builder);
        ASSERT_TRUE(reader.readFile());
        EXPECT_EQ(builder.mostMovesKept, c.movesKept) << c.depth;
        EXPECT_EQ(builder.gamesRead, 2u) << c.depth;
        ASSERT_TRUE(builder.written) << c.depth;
        OpeningBook book;
        bool inUse = false;
        int32_t plyLimit = 0;
        ASSERT_EQ(book.loadFile(builder.bookPath, inUse, plyLimit), 1);
        if (c.depth < 1) {
            EXPECT_EQ(book.count, 0) << c.depth;
            continue;
        }
        // Scores by each game's own result: white won A, black won B.
        const int first = book.findFirst(startPosition().key);
        ASSERT_GE(first, 0);
        EXPECT_EQ(book.entries[first].move, g1f3);
        EXPECT_EQ(book.entries[first].score, 2 * book.entries[first].games);
        EXPECT_EQ(book.entries[first + 1].move, e2e4);
        EXPECT_EQ(book.entries[first + 1].games, 1);
        EXPECT_EQ(book.entries[first + 1].score, 0);
        if (c.depth >= 2) {
            const int reply = book.findFirst(keyAfter({e2e4}));
            ASSERT_GE(reply, 0);
            EXPECT_EQ(book.entries[reply].move, e7e5);
            EXPECT_EQ(book.entries[reply].score, 2);
        }
        std::remove(builder.bookPath.c_str());
    }
    EXPECT_FALSE(log.contains("Chess PGN"));
    std::remove(pgn.c_str());
}

// ------------------------------------------------------------------------
// The book file as the real program writes it: what the book path and the
// PGN path may name, run as the user a GUI or a shell would be.

namespace {

const char* const shortGames = "1. e4 e5 *\n";
const std::string earlierBook = "an earlier book";
constexpr unsigned unprivilegedId = 65534;  // user and group

// The program is run in `base`; the files of a case lie in base/work, whose
// mode the case chooses, so that the run's own files stay out of it.
struct Scene {
    std::string base;
    std::string work;
    std::string file(const std::string& name) const { return work + "/" + name; }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name), std::ios::binary) << text;
        return file(name);
    }
};

// The words that run a program as the unprivileged user, empty when the
// system has no setpriv.
std::vector<std::string> asUnprivilegedUser() {
    for (const char* path : {"/usr/bin/setpriv", "/bin/setpriv"})
        if (access(path, X_OK) == 0)
            return {path, "--reuid=" + std::to_string(unprivilegedId),
                    "--regid=" + std::to_string(unprivilegedId), "--clear-groups"};
    return {};
}

struct stat lstatOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info;
}

// The book the program builds from shortGames at depth 10: two pairs.
bool isTheNewBook(const std::string& bytes) {
    return bytes.size() == 12 + 2 * 16 && bytes.compare(0, 4, "BOOK") == 0;
}

// Makes `path` belong to the user that runs the unprivileged cases.
void giveToUnprivilegedUser(const std::string& path) {
    if (geteuid() == 0) {
        EXPECT_EQ(chown(path.c_str(), unprivilegedId, unprivilegedId), 0) << path;
    }
}

enum class Runner { Caller, Unprivileged };

struct OutputCase {
    const char* name;
    bool needsRoot;         // to make a device node or another user's file
    Runner runner;          // Unprivileged: as unprivilegedId when the caller is root, else as the caller
    mode_t workMode;        // of the directory that holds the files
    void (*setup)(const Scene&);
    const char* pgn;        // names in the directory
    const char* book;
    int exitStatus;
    const char* errorLine;  // standard error, without the program's prefix; "" for none
    const char* created;    // the file the run adds to the directory, "" for none
    void (*check)(const Scene&);
};

// A file name of 250 characters, near the 255 most file systems allow.
const std::string longName = std::string(246, 'b') + ".bin";

const OutputCase outputCases[] = {
    {"CharacterDevice", true, Runner::Caller, 0755,
     [](const Scene& s) { ASSERT_EQ(mknod(s.file("fulldev").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0); },
     "games.pgn", "fulldev", 1, "cannot write work/fulldev (not a regular file)", "",
     [](const Scene& s) {
         const struct stat node = lstatOf(s.file("fulldev"));
         EXPECT_TRUE(S_ISCHR(node.st_mode));
         EXPECT_EQ(node.st_rdev, makedev(1, 7));
     }},
    {"Fifo", false, Runner::Caller, 0755,
     [](const Scene& s) { ASSERT_EQ(mkfifo(s.file("fifo").c_str(), 0644), 0); },
     "games.pgn", "fifo", 1, "cannot write work/fifo (not a regular file)", "",
     [](const Scene& s) { EXPECT_TRUE(S_ISFIFO(lstatOf(s.file("fifo")).st_mode)); }},
    {"Socket", false, Runner::Caller, 0755,
     [](const Scene& s) {
         const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         const std::string path = s.file("socket");
         ASSERT_LT(path.size(), sizeof address.sun_path);
         std::strcpy(address.sun_path, path.c_str());
         ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
         close(fd);
     },
     "games.pgn", "socket", 1, "cannot write work/socket (not a regular file)", "",
     [](const Scene& s) { EXPECT_TRUE(S_ISSOCK(lstatOf(s.file("socket")).st_mode)); }},
    {"Directory", false, Runner::Caller, 0755,
     [](const Scene& s) { ASSERT_EQ(mkdir(s.file("book.bin").c_str(), 0755), 0); },
     "games.pgn", "book.bin", 1, "cannot write work/book.bin (Is a directory)", "",
     [](const Scene& s) { EXPECT_TRUE(S_ISDIR(lstatOf(s.file("book.bin")).st_mode)); }},
    {"ReadOnlyBook", false, Runner::Unprivileged, 0777,
     [](const Scene& s) { ASSERT_EQ(chmod(s.write("book.bin", earlierBook).c_str(), 0444), 0); },
     "games.pgn", "book.bin", 1, "cannot write work/book.bin (Permission denied)", "",
     [](const Scene& s) {
         EXPECT_EQ(book_test::readFileBytes(s.file("book.bin")), earlierBook);
         EXPECT_EQ(lstatOf(s.file("book.bin")).st_mode & 07777, 0444u);
     }},
    // Built by root over another user's book, the book stays theirs.
    {"PrivateBookKeepsItsModeAndOwner", false, Runner::Caller, 0755,
     [](const Scene& s) {
         const std::string book = s.write("book.bin", earlierBook);
         ASSERT_EQ(chmod(book.c_str(), 0600), 0);
         giveToUnprivilegedUser(book);
     },
     "games.pgn", "book.bin", 0, "", "",
     [](const Scene& s) {
         EXPECT_TRUE(isTheNewBook(book_test::readFileBytes(s.file("book.bin"))));
         const struct stat book = lstatOf(s.file("book.bin"));
         EXPECT_EQ(book.st_mode & 07777, 0600u);
         EXPECT_EQ(book.st_uid, geteuid() == 0 ? unprivilegedId : geteuid());
     }},
    {"SymbolicLinkIsFollowed", false, Runner::Caller, 0755,
     [](const Scene& s) {
         s.write("real.bin", earlierBook);
         ASSERT_EQ(symlink("real.bin", s.file("book.bin").c_str()), 0);
     },
     "games.pgn", "book.bin", 0, "", "",
     [](const Scene& s) {
         EXPECT_TRUE(S_ISLNK(lstatOf(s.file("book.bin")).st_mode));
         EXPECT_TRUE(isTheNewBook(book_test::readFileBytes(s.file("real.bin"))));
     }},
    {"LinkToANewFileMakesIt", false, Runner::Caller, 0755,
     [](const Scene& s) { ASSERT_EQ(symlink("real.bin", s.file("book.bin").c_str()), 0); },
     "games.pgn", "book.bin", 0, "", "real.bin",
     [](const Scene& s) {
         EXPECT_TRUE(S_ISLNK(lstatOf(s.file("book.bin")).st_mode));
         EXPECT_TRUE(isTheNewBook(book_test::readFileBytes(s.file("real.bin"))));
     }},
    // Replacing the file would leave the other name with the old book.
    {"HardLinkedBookIsWrittenInPlace", false, Runner::Caller, 0755,
     [](const Scene& s) {
         s.write("book.bin", earlierBook);
         ASSERT_EQ(link(s.file("book.bin").c_str(), s.file("other.bin").c_str()), 0);
     },
     "games.pgn", "book.bin", 0, "", "",
     [](const Scene& s) {
         const struct stat book = lstatOf(s.file("book.bin"));
         EXPECT_EQ(book.st_nlink, 2u);
         EXPECT_EQ(book.st_ino, lstatOf(s.file("other.bin")).st_ino);
         EXPECT_TRUE(isTheNewBook(book_test::readFileBytes(s.file("other.bin"))));
     }},
    {"WritableBookInAnUnwritableDirectory", false, Runner::Unprivileged, 0555,
     [](const Scene& s) { giveToUnprivilegedUser(s.write("book.bin", earlierBook)); },
     "games.pgn", "book.bin", 0, "", "",
     [](const Scene& s) { EXPECT_TRUE(isTheNewBook(book_test::readFileBytes(s.file("book.bin")))); }},
    // The directory lets no one replace another user's file, and the book
    // may still be written.
    {"OthersBookInAStickyDirectory", true, Runner::Unprivileged, 01777,
     [](const Scene& s) { ASSERT_EQ(chmod(s.write("book.bin", earlierBook).c_str(), 0666), 0); },
     "games.pgn", "book.bin", 0, "", "",
     [](const Scene& s) {
         EXPECT_TRUE(isTheNewBook(book_test::readFileBytes(s.file("book.bin"))));
         const struct stat book = lstatOf(s.file("book.bin"));
         EXPECT_EQ(book.st_uid, 0u);
         EXPECT_EQ(book.st_mode & 07777, 0666u);
     }},
    {"LongFileName", false, Runner::Caller, 0755, [](const Scene&) {},
     "games.pgn", longName.c_str(), 0, "", longName.c_str(),
     [](const Scene& s) { EXPECT_TRUE(isTheNewBook(book_test::readFileBytes(s.file(longName)))); }},
    // An old book given where the games belong, and the games as the book.
    {"SwappedArguments", false, Runner::Caller, 0755,
     [](const Scene& s) {
         const BookEntry entries[2] = {{startPosition().key, e2e4, 1, 2}, {keyAfter({e2e4}), e7e5, 1, 0}};
         ASSERT_TRUE(writeBookFile(s.file("book.bin"), entries, 2));
     },
     "book.bin", "games.pgn", 1, "no game read from work/book.bin", "",
     [](const Scene& s) { EXPECT_EQ(book_test::readFileBytes(s.file("games.pgn")), shortGames); }},
    {"EmptyBookForGames", false, Runner::Caller, 0755,
     [](const Scene& s) { ASSERT_TRUE(writeBookFile(s.file("book.bin"), nullptr, 0)); },
     "book.bin", "games.pgn", 1, "no game read from work/book.bin", "",
     [](const Scene& s) { EXPECT_EQ(book_test::readFileBytes(s.file("games.pgn")), shortGames); }},
    {"BookIsTheGames", false, Runner::Caller, 0755, [](const Scene&) {},
     "games.pgn", "games.pgn", 1, "cannot write work/games.pgn (it is the PGN file)", "",
     [](const Scene& s) { EXPECT_EQ(book_test::readFileBytes(s.file("games.pgn")), shortGames); }},
    {"BookIsALinkToTheGames", false, Runner::Caller, 0755,
     [](const Scene& s) { ASSERT_EQ(symlink("games.pgn", s.file("book.bin").c_str()), 0); },
     "games.pgn", "book.bin", 1, "cannot write work/book.bin (it is the PGN file)", "",
     [](const Scene& s) { EXPECT_EQ(book_test::readFileBytes(s.file("games.pgn")), shortGames); }},
    {"BookIsAHardLinkOfTheGames", false, Runner::Caller, 0755,
     [](const Scene& s) { ASSERT_EQ(link(s.file("games.pgn").c_str(), s.file("book.bin").c_str()), 0); },
     "games.pgn", "book.bin", 1, "cannot write work/book.bin (it is the PGN file)", "",
     [](const Scene& s) { EXPECT_EQ(book_test::readFileBytes(s.file("games.pgn")), shortGames); }},
};

void PrintTo(const OutputCase& c, std::ostream* out) { *out << c.name; }

class BookOutputFile : public testing::TestWithParam<OutputCase> {};

std::vector<std::string> namesIn(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST_P(BookOutputFile, IsWrittenOrRefusedAsItsKindAsks) {
    const OutputCase& c = GetParam();
    const bool root = geteuid() == 0;
    if (c.needsRoot && !root)
        GTEST_SKIP() << "the case needs root";
    std::vector<std::string> launcher;  // words before the program's own
    if (c.runner == Runner::Unprivileged && root) {
        launcher = asUnprivilegedUser();
        if (launcher.empty())
            GTEST_SKIP() << "no setpriv to run the program as an unprivileged user";
    }
    book_test::ensureTables();
    tools_test::TempDir base;
    Scene scene{base.path(), base.file("work")};
    ASSERT_EQ(chmod(scene.base.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(scene.work.c_str(), 0755), 0);
    scene.write("games.pgn", shortGames);
    c.setup(scene);
    if (testing::Test::HasFatalFailure())
        return;
    ASSERT_EQ(chmod(scene.work.c_str(), c.workMode), 0);
    std::vector<std::string> expectedNames = namesIn(scene.work);
    if (*c.created) {
        expectedNames.push_back(c.created);
        std::sort(expectedNames.begin(), expectedNames.end());
    }

    std::vector<std::string> words = launcher;
    for (const std::string& word : {programPath(), std::string("-buildbook"), "work/" + std::string(c.pgn),
                                    "work/" + std::string(c.book), std::string("10"), std::string("1")})
        words.push_back(word);
    const tools_test::ProgramRun run = tools_test::runProgram(
        words[0], std::vector<std::string>(words.begin() + 1, words.end()), scene.base, 30);
    chmod(scene.work.c_str(), 0755);  // so that the directory can be looked at and removed

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    const std::string errors = *c.errorLine ? std::string("build opening book : ") + c.errorLine + "\n" : "";
    EXPECT_EQ(run.errors, errors);
    EXPECT_EQ(run.output, "");
    // Nothing is left beside the book, and a refused build makes nothing.
    EXPECT_EQ(namesIn(scene.work), expectedNames);
    c.check(scene);
}

INSTANTIATE_TEST_SUITE_P(Cases, BookOutputFile, testing::ValuesIn(outputCases),
                         [](const testing::TestParamInfo<OutputCase>& info) { return info.param.name; });

// Files of the kernel's own file systems look like regular files: the book
// is refused there before anything is opened for writing. Only files that
// no write could change are named (an attribute without a write operation,
// another process's name, new names where the kernel makes no files), so
// that even a fault here changes nothing.
TEST(BookOnAKernelFileSystem, IsRefusedAndLeftUntouched) {
    book_test::ensureTables();
    tools_test::TempDir base;
    const std::string games = base.file("games.pgn");
    std::ofstream(games, std::ios::binary) << shortGames;
    const std::string process = "/proc/" + std::to_string(getpid());
    struct KernelCase {
        std::string book;
        bool exists;
    };
    std::vector<KernelCase> cases = {{process + "/comm", true}, {process + "/vorlix-book.bin", false}};
    if (access("/sys/devices/system/cpu/possible", R_OK) == 0) {
        cases.push_back({"/sys/devices/system/cpu/possible", true});
        cases.push_back({"/sys/devices/system/cpu/vorlix-book.bin", false});
    }
    for (const KernelCase& c : cases) {
        const std::string before = c.exists ? book_test::readFileBytes(c.book) : "";
        const tools_test::ProgramRun run = tools_test::runProgram(
            programPath(), {"-buildbook", games, c.book, "10", "1"}, base.path(), 30);
        EXPECT_FALSE(run.timedOut) << c.book;
        EXPECT_EQ(run.exitStatus, 1) << c.book;
        EXPECT_EQ(run.errors, "build opening book : cannot write " + c.book + " (on a kernel file system)\n");
        EXPECT_EQ(run.output, "") << c.book;
        EXPECT_EQ(book_test::fileExists(c.book), c.exists) << c.book;
        if (c.exists) {
            EXPECT_EQ(book_test::readFileBytes(c.book), before) << c.book;
        }
    }
}
