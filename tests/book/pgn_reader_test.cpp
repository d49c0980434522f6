// The PGN lexer, game boundaries, tags, comments, NAGs and error reports.

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <gtest/gtest.h>

#include "book_test_support.h"

using book_test::readPgnText;
using book_test::RecordingHandler;

namespace {

constexpr Move e2e4 = makeMove(E2, E4, Pawn);

std::vector<std::string> sansOf(const book_test::RecordedGame& game) {
    std::vector<std::string> sans;
    for (const auto& move : game.moves)
        sans.push_back(move.san);
    return sans;
}

}  // namespace

TEST(PgnReader, ReportsTagsCommentsAndMovesInOrder) {
    RecordingHandler handler;
    ASSERT_TRUE(readPgnText("order",
                            "[Event \"Casual Game\"]\n[Result \"1-0\"]\n\n"
                            "1. e4 { good move } e5 2. Nf3 Nc6 3. Bb5 a6 4. O-O 1-0\n",
                            handler));
    std::vector<std::string> expected = {
        "beginFile",     "tag Event=Casual Game", "tag Result=1-0", "gameStart",
        "comment good move ", "move e4",  "move e5", "move Nf3", "move Nc6", "move Bb5",
        "move a6",       "move O-O", "gameEnd", "endFile"};
    EXPECT_EQ(handler.events, expected);
    ASSERT_EQ(handler.games.size(), 1u);
    const auto& moves = handler.games[0].moves;
    ASSERT_EQ(moves.size(), 7u);
    const Move words[] = {e2e4,
                          makeMove(E7, E5, Pawn),
                          makeMove(G1, F3, Knight),
                          makeMove(B8, C6, Knight),
                          makeMove(F1, B5, Bishop),
                          makeMove(A7, A6, Pawn),
                          makeMove(E1, H1, King) | CastlingFlag};
    const int plies[] = {0, 1, 1, 2, 2, 3, 3};
    for (size_t i = 0; i < moves.size(); ++i) {
        EXPECT_EQ(moves[i].move, words[i]) << i;
        EXPECT_EQ(moves[i].ply, plies[i]) << i;
        EXPECT_EQ(moves[i].side, i % 2 == 0 ? White : Black) << i;
    }
    EXPECT_EQ(moves[0].comment, "good move ");
    EXPECT_EQ(moves[1].comment, "-");
    EXPECT_TRUE(handler.errors.empty());
}

TEST(PgnReader, TagValues) {
    struct TagCase {
        const char* text;
        const char* name;
        const char* value;
    };
    const TagCase cases[] = {
        {"[Event \"Casual Game\"]", "Event", "Casual Game"},
        {"[Event  \"Casual\"]", "Event", "\"Casual"},  // the second blank shifts the value
        {"[Annotator \"A \\\"B\\\" C\"]", "Annotator", "A \"B\" C"},
        {"[Site \"back\\\\slash\"]", "Site", "back\\slash"},
        {"[Round \"x]y\"]", "Round", "x]y"},
        {"[Date \"\"]", "Date", ""},
        {"[A]", "A", ""},
        {"[Ab ]", "Ab", ""},
        {"[Ab x]", "Ab", ""},
        {"[Event \"no closing quote\n", "Event", "no closing quote"},  // ends at the line end
        {"[Ab \"\"]", "Ab", ""},
        {"[  White \"Far away\"]", "White", "Far away"},
    };
    for (const TagCase& c : cases) {
        RecordingHandler handler;
        ASSERT_TRUE(readPgnText("tag", std::string(c.text) + "\n1. e4 *\n", handler));
        ASSERT_EQ(handler.tags.size(), 1u) << c.text;
        EXPECT_EQ(handler.tags[0].first, c.name) << c.text;
        EXPECT_EQ(handler.tags[0].second, c.value) << c.text;
        EXPECT_EQ(handler.games.at(0).moves.size(), 1u) << c.text;
    }
}

TEST(PgnReader, MoveNumbersVariationsAndResults) {
    RecordingHandler handler;
    ASSERT_TRUE(readPgnText("numbers",
                            "[Event \"x\"]\n1.e4 c5 (1... e5 2. Nf3 {inside} $5) 2. Nf3 2... d6 "
                            "3. d4 3. cxd4 1/2-1/2\n",
                            handler));
    ASSERT_EQ(handler.games.size(), 1u);
    std::vector<std::string> expected = {"e4", "c5", "Nf3", "d6", "d4", "cxd4"};
    EXPECT_EQ(sansOf(handler.games[0]), expected);
    // The comment of the variation is kept and attached to the main-line move
    // read last; the variation's NAG is dropped.
    EXPECT_EQ(handler.games[0].moves[1].comment, "inside");
    EXPECT_TRUE(handler.nags.empty());
    EXPECT_TRUE(handler.errors.empty());
}

TEST(PgnReader, NagsAttachToTheMoveBeforeThem) {
    RecordingHandler handler;
    ASSERT_TRUE(readPgnText("nags", "[Event \"x\"]\n$3 {before} 1. e4 $1 $14 $2 $3 $4 e5{after}*",
                            handler));
    EXPECT_EQ(handler.nags, (std::vector<int>{3, 1, 14, 2, 3, 4}));
    ASSERT_EQ(handler.games.size(), 1u);
    const auto& moves = handler.games[0].moves;
    ASSERT_EQ(moves.size(), 2u);
    // A fifth NAG on one move is reported but not stored; a NAG or comment
    // before the first move belongs to no move.
    EXPECT_EQ(moves[0].nags, (std::vector<int>{1, 14, 2, 3}));
    EXPECT_EQ(moves[0].comment, "-");
    EXPECT_EQ(moves[1].comment, "after");
    EXPECT_EQ(handler.comments, (std::vector<std::string>{"before", "after"}));
}

TEST(PgnReader, EveryTagSectionClosesTheGameBeforeIt) {
    RecordingHandler handler;
    int closed = 0;
    // The first game has neither move numbers nor comments.
    ASSERT_TRUE(readPgnText("close",
                            "[Event \"A\"]\n[Result \"0-1\"]\n\ne4 e5 *\n\n"
                            "[Event \"B\"]\n[Result \"1-0\"]\n\n*\n\n"
                            "[Event \"C\"]\n\n1. d4 d5 1-0\n",
                            handler, &closed));
    EXPECT_EQ(closed, 3);
    ASSERT_EQ(handler.games.size(), 3u);
    for (const auto& game : handler.games)
        EXPECT_TRUE(game.ended);
    EXPECT_EQ(handler.games[0].tagsAtStart.size(), 2u);
    EXPECT_EQ(handler.games[1].tagsAtStart.at(0).second, "B");
    EXPECT_EQ(handler.games[1].tagsAtStart.at(1).second, "1-0");
    EXPECT_TRUE(handler.games[1].moves.empty());
    EXPECT_EQ(sansOf(handler.games[0]), (std::vector<std::string>{"e4", "e5"}));
    EXPECT_EQ(sansOf(handler.games[2]), (std::vector<std::string>{"d4", "d5"}));
}

// Where one game's tag section ends and the next begins, and what belongs to
// the main line, when a game's move text is missing or opens with a variation.
TEST(PgnReader, GameBoundariesAtTheEdgesOfTheMoveText) {
    struct BoundaryCase {
        const char* text;
        std::vector<std::vector<std::string>> tagValues;  // per game
        std::vector<std::vector<std::string>> moves;      // per game
    };
    const BoundaryCase cases[] = {
        // A variation before the first main-line move stays a variation.
        {"[Event \"A\"]\n[Result \"1-0\"]\n\n(1. d4 d5) 1. e4 e5 1-0\n",
         {{"A", "1-0"}},
         {{"e4", "e5"}}},
        {"(1. d4 d5) 1. e4 e5 *\n", {{}}, {{"e4", "e5"}}},
        {"[Event \"A\"]\n(1. d4 (1. c4) d5) e4 *\n", {{"A"}}, {{"e4"}}},
        // A tag section right after a tag section: the first game had no
        // moves, and its tags are its own.
        {"[Event \"A\"]\n[Result \"1-0\"]\n\n[Event \"B\"]\n[Result \"0-1\"]\n\n1. e4 e5 0-1\n",
         {{"A", "1-0"}, {"B", "0-1"}},
         {{}, {"e4", "e5"}}},
        {"[Event \"A\"]\n[Event \"B\"]\n[Event \"C\"]\n1. d4 *\n",
         {{"A"}, {"B"}, {"C"}},
         {{}, {}, {"d4"}}},
        // Different names in one section stay one game.
        {"[Event \"A\"]\n[Site \"S\"]\n\n[Round \"1\"]\n1. d4 *\n", {{"A", "S", "1"}}, {{"d4"}}},
    };
    for (const BoundaryCase& c : cases) {
        RecordingHandler handler;
        int closed = 0;
        ASSERT_TRUE(readPgnText("boundaries", c.text, handler, &closed)) << c.text;
        ASSERT_EQ(handler.games.size(), c.moves.size()) << c.text;
        EXPECT_EQ(closed, int(c.moves.size())) << c.text;
        for (size_t g = 0; g < c.moves.size(); g++) {
            std::vector<std::string> values;
            for (const auto& tag : handler.games[g].tagsAtStart) values.push_back(tag.second);
            EXPECT_EQ(values, c.tagValues[g]) << c.text << " game " << g;
            EXPECT_EQ(sansOf(handler.games[g]), c.moves[g]) << c.text << " game " << g;
        }
        EXPECT_TRUE(handler.errors.empty()) << c.text;
    }
}

// A directory is not a file of games: it is refused as a missing file is,
// before a byte is read.
TEST(PgnReader, DirectoryIsRefusedAsAMissingFile) {
    LogCapture log("pgn_directory");
    RecordingHandler handler;
    book_test::ensureTables();
    const std::string path = testing::TempDir();
    PgnReader reader(path, handler);
    EXPECT_FALSE(reader.readFile());
    EXPECT_EQ(reader.fileError, EISDIR);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"error 0"}));
    EXPECT_TRUE(log.contains("Chess PGN : File not found \"" + path + "\""));
}

// A regular file whose reads fail (the process's own memory, unmapped at
// offset 0) ends the reading without an end of file.
TEST(PgnReader, ReadFailureEndsWithoutAnEndOfFile) {
    LogCapture log("pgn_read_failure");
    RecordingHandler handler;
    book_test::ensureTables();
    const std::string path = "/proc/self/mem";
    PgnReader reader(path, handler);
    EXPECT_FALSE(reader.readFile());
    EXPECT_EQ(reader.fileError, EIO);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"beginFile", "error 5"}));
    EXPECT_TRUE(log.contains("Chess PGN : Error reading file \"" + path + "\""));
}

TEST(PgnReader, MoveTextWithoutTagsStartsAGameFromTheStartPosition) {
    RecordingHandler handler;
    ASSERT_TRUE(readPgnText("notags", "1. e4 e5 2. Nf3 *\n", handler));
    ASSERT_EQ(handler.games.size(), 1u);
    EXPECT_EQ(handler.games[0].startKey, book_test::startPosition().key);
    EXPECT_NE(handler.games[0].startKey, 0u);
    EXPECT_EQ(handler.games[0].moves.size(), 3u);
    EXPECT_EQ(handler.events.front(), "beginFile");
    EXPECT_EQ(handler.events[1], "gameStart");
}

TEST(PgnReader, VariationDepthIsKeptPerGameAndNeverNegative) {
    RecordingHandler handler;
    ASSERT_TRUE(readPgnText("depth",
                            "[Event \"A\"]\n1. e4 (1. d4 d5 *\n\n"  // unbalanced: never closed
                            "[Event \"B\"]\n1. d4 ) ) d5 2. c4 *\n\n"  // stray closers
                            "[Event \"C\"]\n1. c4 e5 *\n",
                            handler));
    ASSERT_EQ(handler.games.size(), 3u);
    EXPECT_EQ(sansOf(handler.games[0]), (std::vector<std::string>{"e4"}));
    EXPECT_EQ(sansOf(handler.games[1]), (std::vector<std::string>{"d4", "d5", "c4"}));
    EXPECT_EQ(sansOf(handler.games[2]), (std::vector<std::string>{"c4", "e5"}));
}

TEST(PgnReader, TokenAtTheEndOfTheFileIsStillAMove) {
    RecordingHandler handler;
    ASSERT_TRUE(readPgnText("eof", "[Event \"x\"]\n\n1. e4 e5 2. Nf3", handler));
    ASSERT_EQ(handler.games.size(), 1u);
    EXPECT_EQ(sansOf(handler.games[0]), (std::vector<std::string>{"e4", "e5", "Nf3"}));
    EXPECT_EQ(handler.events.back(), "endFile");
    EXPECT_EQ(handler.events[handler.events.size() - 2], "gameEnd");
}

TEST(PgnReader, ErrorsNameTheGamePlyAndLine) {
    LogCapture log("pgn_errors");
    RecordingHandler handler;
    // Carriage-return line feed line ends; lines count from 0.
    ASSERT_TRUE(readPgnText("errors",
                            "[Event \"A\"]\r\n\r\n1. e4 e5 2. Nf3 Nc6\r\n3. Nf3 Nf6 *\r\n\r\n"
                            "[Event \"B\"]\r\n\r\n1. e4 e5 2. Kf3 Nc6 *\r\n\r\n"
                            "[Event \"C\"]\r\n\r\n1. d4 d5 *\r\n",
                            handler));
    ASSERT_EQ(handler.errors.size(), 2u);
    // 3. Nf3 names no knight that reaches f3 (g1 already moved there).
    EXPECT_EQ(handler.errors[0].code, PgnErrorParseMove);
    EXPECT_EQ(handler.errors[0].text, "Nf3");
    EXPECT_EQ(handler.errors[0].game, 0);
    EXPECT_EQ(handler.errors[0].ply, 2);
    EXPECT_EQ(handler.errors[0].line, 3);  // the line of the game's last move-text element
    // 2. Kf3: the king on e1 does not reach f3.
    EXPECT_EQ(handler.errors[1].code, PgnErrorParseMove);
    EXPECT_EQ(handler.errors[1].game, 1);
    ASSERT_EQ(handler.games.size(), 3u);
    EXPECT_EQ(handler.games[0].moves.size(), 4u);  // the moves before the bad one
    EXPECT_EQ(handler.games[1].moves.size(), 2u);
    EXPECT_EQ(handler.games[2].moves.size(), 2u);  // the next game starts afresh
    EXPECT_TRUE(log.contains("Chess PGN : Error parsing move 'Nf3' in game 0 at ply 2, line 3"));
}

TEST(PgnReader, IllegalMovesAreInvalidAndStopTheGame) {
    LogCapture log("pgn_invalid");
    struct IllegalCase {
        const char* moves;
        const char* bad;
        int ply;
        size_t played;
    };
    const IllegalCase cases[] = {
        {"1. Nd2", "Nd2", 0, 0},                 // onto an own pawn
        {"1. exd3", "exd3", 0, 0},               // a pawn capture with nothing to take
        {"1. e4 d5 2. cxd5", "cxd5", 1, 2},      // no pawn on the c-file can take
        {"1. O-O", "O-O", 0, 0},                 // castling through its own pieces
        {"1. e4 e5 2. Ke2 Nc6 3. O-O", "O-O", 2, 4},  // the king has moved
        {"1. d4 e5 2. Nd2 Bb4 3. Nb3", "Nb3", 2, 4},  // a pinned knight
    };
    for (const IllegalCase& c : cases) {
        RecordingHandler handler;
        ASSERT_TRUE(readPgnText("illegal", std::string("[Event \"x\"]\n") + c.moves + " *\n",
                                handler));
        ASSERT_EQ(handler.errors.size(), 1u) << c.moves;
        EXPECT_EQ(handler.errors[0].code, PgnErrorInvalidMove) << c.moves;
        EXPECT_EQ(handler.errors[0].text, c.bad) << c.moves;
        EXPECT_EQ(handler.errors[0].ply, c.ply) << c.moves;
        ASSERT_EQ(handler.games.size(), 1u);
        EXPECT_EQ(handler.games[0].moves.size(), c.played) << c.moves;
        // The rejected move never reaches the board.
        if (c.played == 0) {
            EXPECT_EQ(handler.games[0].finalFen,
                      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0");
        }
    }
    EXPECT_TRUE(log.contains("Chess PGN : Invalid move 'Nd2' in game 0 at ply 0, line 1"));
}

TEST(PgnReader, FenTagSetsTheStartAndABadOneSkipsTheGame) {
    LogCapture log("pgn_fen");
    RecordingHandler handler;
    ASSERT_TRUE(readPgnText(
        "fen",
        "[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1\"]\n\n1... Kd7 2. e4 *\n\n"
        "[FEN \"not a position\"]\n\n1. e4 e5 *\n\n"
        "[FEN \"\"]\n\n1. e4 *\n",
        handler));
    ASSERT_EQ(handler.games.size(), 3u);
    EXPECT_EQ(handler.games[0].startSide, Black);
    ASSERT_EQ(handler.games[0].moves.size(), 2u);
    EXPECT_EQ(handler.games[0].moves[0].ply, 1);  // black's first move
    EXPECT_EQ(handler.games[0].moves[1].ply, 1);
    EXPECT_EQ(handler.games[0].finalFen, "8/3k4/8/8/4P3/8/8/4K3 b - e3 0");
    EXPECT_TRUE(handler.games[1].moves.empty());
    EXPECT_TRUE(handler.errors.empty());
    EXPECT_TRUE(log.contains("Invalid FEN string : 'not a position'"));
    EXPECT_EQ(handler.games[2].moves.size(), 1u);  // an empty FEN is the start position
}

TEST(PgnReader, MissingFileSendsOnlyTheError) {
    LogCapture log("pgn_missing");
    RecordingHandler handler;
    book_test::ensureTables();
    std::string path = book_test::tempPath("no_such_file.pgn");
    PgnReader reader(path, handler);
    EXPECT_FALSE(reader.readFile());
    EXPECT_EQ(handler.events, (std::vector<std::string>{"error 0"}));
    EXPECT_TRUE(log.contains("Chess PGN : File not found \"" + path + "\""));
}

// Every PGN file of the shared test data reads to its last move.
TEST(PgnReader, TestDataGamesReplayToTheirEnd) {
    std::string dir = VORLIX_TESTDATA_DIR;
    DIR* listing = opendir(dir.c_str());
    ASSERT_NE(listing, nullptr) << dir;
    std::vector<std::string> files;
    while (dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pgn") == 0)
            files.push_back(name);
    }
    closedir(listing);
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 6u);

    book_test::ensureTables();
    size_t gamesSeen = 0;
    for (const std::string& name : files) {
        RecordingHandler handler;
        PgnReader reader(dir + "/" + name, handler);
        ASSERT_TRUE(reader.readFile()) << name;
        ASSERT_FALSE(handler.games.empty()) << name;
        gamesSeen += handler.games.size();
        for (const auto& error : handler.errors) {
            // The one move that is not chess: a null move written as Z0.
            EXPECT_EQ(name, "anastasian-lewis.pgn") << error.text;
            EXPECT_EQ(error.text, "Z0");
            EXPECT_EQ(error.code, PgnErrorParseMove);
        }
        for (const auto& game : handler.games) {
            EXPECT_TRUE(game.ended);
            for (const auto& tag : game.tagsAtStart) {
                if (tag.first == "PlyCount" && handler.errors.empty()) {
                    EXPECT_EQ(game.moves.size(), size_t(atoi(tag.second.c_str())))
                        << name << " " << game.finalFen;
                }
            }
        }
    }
    EXPECT_EQ(gamesSeen, 6u + 1u + 4u + 1u + 1u + 2u);
}

TEST(PgnReader, TestDataFinalPositions) {
    book_test::ensureTables();
    std::string dir = VORLIX_TESTDATA_DIR;
    {
        RecordingHandler handler;
        PgnReader reader(dir + "/molinari-bordais-1979.pgn", handler);
        ASSERT_TRUE(reader.readFile());
        ASSERT_EQ(handler.games.size(), 1u);
        const auto& game = handler.games[0];
        EXPECT_EQ(game.finalFen, "r1bqkb1r/pp1ppppp/5n2/2p5/2P1P3/2Nn2P1/PP1PNP1P/R1BQKB1R w KQkq - 1");
        EXPECT_TRUE(game.finalInCheck);
        EXPECT_EQ(game.finalLegalMoves, 0);  // 5... Nd3 is mate
    }
    {
        RecordingHandler handler;
        PgnReader reader(dir + "/nepomniachtchi-liren-game1.pgn", handler);
        ASSERT_TRUE(reader.readFile());
        ASSERT_EQ(handler.games.size(), 1u);
        EXPECT_EQ(handler.games[0].moves.size(), 97u);
        EXPECT_TRUE(handler.errors.empty());
    }
    {
        // Chess960 games from FEN tags, castling included; the last game
        // ends 54. Rc8#.
        RecordingHandler handler;
        PgnReader reader(dir + "/cutechess-fischerrandom.pgn", handler);
        ASSERT_TRUE(reader.readFile());
        ASSERT_EQ(handler.games.size(), 4u);
        EXPECT_TRUE(handler.errors.empty());
        bool castled = false;
        for (const auto& game : handler.games) {
            for (const auto& move : game.moves)
                castled |= isCastling(move.move);
        }
        EXPECT_TRUE(castled);
        EXPECT_EQ(handler.games[3].moves.back().san, "Rc8#");
        EXPECT_EQ(handler.games[3].moves.back().comment, "+M1/127 0.002s, White mates");
        EXPECT_TRUE(handler.games[3].finalInCheck);
        EXPECT_EQ(handler.games[3].finalLegalMoves, 0);
    }
    {
        // The file starts with a byte-order mark; both games have no moves.
        RecordingHandler handler;
        PgnReader reader(dir + "/utf8-bom.pgn", handler);
        ASSERT_TRUE(reader.readFile());
        ASSERT_EQ(handler.games.size(), 2u);
        EXPECT_EQ(handler.games[0].tagsAtStart.at(0).first, "Event");
        EXPECT_EQ(handler.games[0].tagsAtStart.at(0).second, "A");
        EXPECT_TRUE(handler.games[0].moves.empty());
        EXPECT_TRUE(handler.errors.empty());
    }
    {
        // Everything up to the null move Z0 (black's 41st move) is read.
        RecordingHandler handler;
        PgnReader reader(dir + "/anastasian-lewis.pgn", handler);
        ASSERT_TRUE(reader.readFile());
        ASSERT_EQ(handler.errors.size(), 1u);
        EXPECT_EQ(handler.errors[0].ply, 41);
        EXPECT_EQ(handler.games.at(0).moves.size(), 81u);
    }
}

namespace {

// Keeps at most `limit` moves of a game and measures, when each game ends,
// what the reader holds of it.
class LimitedHandler : public RecordingHandler {
public:
    explicit LimitedHandler(size_t limit) : limit_(limit) {}
    size_t mostTokens = 0;          // stored moves
    size_t mostTokenCapacity = 0;   // room the move list took
    size_t mostComments = 0;        // stored comments
    size_t mostTextCapacity = 0;    // room the element text took

    void beginFile(PgnReader& reader) override {
        reader.moveLimit = limit_;
        RecordingHandler::beginFile(reader);
    }
    void gameEnd(PgnReader& reader) override {
        mostTokens = std::max(mostTokens, reader.game.tokens.size());
        mostTokenCapacity = std::max(mostTokenCapacity, reader.game.tokens.capacity());
        mostComments = std::max(mostComments, reader.game.comments.size());
        mostTextCapacity = std::max(mostTextCapacity, reader.token.capacity());
        RecordingHandler::gameEnd(reader);
    }

private:
    size_t limit_;
};

}  // namespace

// A game's move text as long as the file: the reader keeps the moves its
// handler asks for, and still reads the rest to the game's end.
TEST(PgnReader, AGameKeepsOnlyTheMovesItsHandlerAsksFor) {
    const int rounds = 20000;
    std::string endless = "[Event \"A\"]\n[Result \"1-0\"]\n\n1. Nf3 {first} Nf6 $1 2. Ng1 {one} {two} $2 Ng8 ";
    for (int i = 0; i < rounds; ++i)
        endless += "Nf3 {c} $3 Nf6 Ng1 Ng8 ";
    // A move beyond the limit is not resolved: an illegal one is no error.
    endless += "Ke5 " + std::string(100000, 'x') + " 1-0\n\n";
    const std::string next = "[Event \"B\"]\n[Result \"0-1\"]\n\n1. d4 {reply} $4 d5 0-1\n";

    LimitedHandler handler(3);
    int closed = 0;
    ASSERT_TRUE(readPgnText("movelimit", endless + next, handler, &closed));
    EXPECT_EQ(closed, 2);
    ASSERT_EQ(handler.games.size(), 2u);
    EXPECT_EQ(sansOf(handler.games[0]), (std::vector<std::string>{"Nf3", "Nf6", "Ng1"}));
    EXPECT_EQ(handler.games[0].moves[0].comment, "first");
    EXPECT_EQ(handler.games[0].moves[1].nags, std::vector<int>{1});
    EXPECT_EQ(handler.games[0].moves[2].comment, "two");
    EXPECT_EQ(handler.games[0].moves[2].nags, std::vector<int>{2});
    // The next game starts with its own tags and moves.
    EXPECT_EQ(handler.games[1].tagsAtStart.at(1).second, "0-1");
    EXPECT_EQ(sansOf(handler.games[1]), (std::vector<std::string>{"d4", "d5"}));
    EXPECT_EQ(handler.games[1].moves[0].comment, "reply");
    EXPECT_EQ(handler.games[1].moves[0].nags, std::vector<int>{4});
    // Every comment and NAG is still reported as it is read.
    EXPECT_EQ(handler.comments.size(), size_t(rounds + 4));
    EXPECT_EQ(handler.nags.size(), size_t(rounds + 3));
    EXPECT_TRUE(handler.errors.empty());

    // What a game takes does not grow with its length.
    EXPECT_EQ(handler.mostTokens, 3u);
    EXPECT_LE(handler.mostTokenCapacity, 4u);
    EXPECT_LE(handler.mostComments, 3u);
    EXPECT_LT(handler.mostTextCapacity, 4096u);
}

namespace {

// Measures, at every event, the longest text the handler is given and the
// most room the reader's own text takes.
class TextMeasuringHandler : public RecordingHandler {
public:
    size_t longestText = 0;
    size_t mostTextCapacity = 0;
    size_t mostTags = 0;

    void onComment(PgnReader& reader, const std::string& text) override {
        measure(reader, text);
        RecordingHandler::onComment(reader, text);
    }
    void onTag(PgnReader& reader, const std::string& name, const std::string& value) override {
        measure(reader, name);
        measure(reader, value);
        mostTags = std::max(mostTags, reader.game.tags.size());
        RecordingHandler::onTag(reader, name, value);
    }
    void onMove(PgnReader& reader, const PgnMoveToken& token, Move move,
                const char* comment) override {
        measure(reader, token.san);
        if (comment != nullptr)
            measure(reader, comment);
        RecordingHandler::onMove(reader, token, move, comment);
    }
    void onNag(PgnReader& reader, int nag) override {
        measure(reader, "");
        RecordingHandler::onNag(reader, nag);
    }
    void gameEnd(PgnReader& reader) override {
        measure(reader, "");
        for (const std::string& comment : reader.game.comments)
            mostTextCapacity = std::max(mostTextCapacity, comment.capacity());
        mostTags = std::max(mostTags, reader.game.tags.size());
        RecordingHandler::gameEnd(reader);
    }
    void endFile(PgnReader& reader) override {
        measure(reader, "");
        RecordingHandler::endFile(reader);
    }

private:
    void measure(PgnReader& reader, const std::string& text) {
        longestText = std::max(longestText, text.size());
        mostTextCapacity = std::max(mostTextCapacity, reader.token.capacity());
    }
};

}  // namespace

// A comment, tag or token as long as the file keeps its first characters:
// the reader holds no more of it whatever its length, and the games around
// it read as they would without it.
TEST(PgnReader, LongTextsKeepTheirFirstCharacters) {
    const size_t kept = PgnReader::textLength;
    const std::string longText(300000, 'a');
    const std::string keptText(kept, 'a');
    const std::string next = "\n[Event \"B\"]\n[Result \"0-1\"]\n\n1. d4 {reply} d5 0-1\n";
    struct LongCase {
        const char* name;
        std::string pgn;           // the first game
        std::string comment;       // what e4 refers to, "-" for none
        std::pair<std::string, std::string> tag;  // the first tag reported
        size_t firstGameMoves;
    };
    const LongCase cases[] = {
        {"Comment", "[Event \"A\"]\n\n1. e4 {" + longText + "} e5 1-0\n", keptText, {"Event", "A"}, 2},
        // The rest of the file is the comment.
        {"UnclosedComment", "[Event \"A\"]\n\n1. e4 e5 {" + longText, "-", {"Event", "A"}, 2},
        {"CommentOfTwoParts", "[Event \"A\"]\n\n1. e4 { " + longText + " b} e5 1-0\n", keptText,
         {"Event", "A"}, 2},
        {"VariationComment", "[Event \"A\"]\n\n1. e4 (1. d4 {" + longText + "} d5) e5 1-0\n", keptText,
         {"Event", "A"}, 2},
        {"TagValue", "[Event \"" + longText + "\"]\n\n1. e4 e5 1-0\n", "-", {"Event", keptText}, 2},
        {"TagValueEscapes", "[Event \"" + longText + "\\\"\\\\\"]\n\n1. e4 e5 1-0\n", "-",
         {"Event", keptText}, 2},
        {"UnclosedTagValue", "[Event \"" + longText + "\n\n1. e4 e5 1-0\n", "-", {"Event", keptText}, 2},
        {"TagName", "[" + longText + " \"x\"]\n\n1. e4 e5 1-0\n", "-", {keptText, "x"}, 2},
        {"TagNameAlone", "[" + longText + "]\n\n1. e4 e5 1-0\n", "-", {keptText, ""}, 2},
        {"MoveToken", "[Event \"A\"]\n\n1. e4 " + longText + " e5 1-0\n", "-", {"Event", "A"}, 1},
        {"Nag", "[Event \"A\"]\n\n1. e4 $" + std::string(300000, '1') + " e5 1-0\n", "-",
         {"Event", "A"}, 2},
    };
    for (const LongCase& c : cases) {
        const bool commentToTheEnd = c.name == std::string("UnclosedComment");
        TextMeasuringHandler handler;
        ASSERT_TRUE(readPgnText("long", commentToTheEnd ? c.pgn : c.pgn + next, handler)) << c.name;
        EXPECT_LE(handler.longestText, kept) << c.name;
        // The text's room is taken once, for the longest text kept: a tag's
        // name and value with a blank and two quotes.
        EXPECT_LE(handler.mostTextCapacity, 2 * kept + 3) << c.name;
        ASSERT_FALSE(handler.tags.empty()) << c.name;
        EXPECT_EQ(handler.tags[0], c.tag) << c.name;
        ASSERT_GE(handler.games.size(), 1u) << c.name;
        const book_test::RecordedGame& first = handler.games[0];
        ASSERT_EQ(first.moves.size(), c.firstGameMoves) << c.name;
        EXPECT_EQ(first.moves[0].san, "e4") << c.name;
        EXPECT_EQ(first.moves[0].comment, c.comment) << c.name;
        if (commentToTheEnd) {
            EXPECT_EQ(handler.games.size(), 1u);
            continue;
        }
        ASSERT_EQ(handler.games.size(), 2u) << c.name;
        EXPECT_EQ(handler.games[1].tagsAtStart.at(1).second, "0-1") << c.name;
        EXPECT_EQ(sansOf(handler.games[1]), (std::vector<std::string>{"d4", "d5"})) << c.name;
        EXPECT_EQ(handler.games[1].moves[0].comment, "reply") << c.name;
    }
}

// Tags of as many names as the file holds: a game keeps the first ones, and
// every tag is still reported.
TEST(PgnReader, AGameKeepsItsFirstTags) {
    std::string tags = "[Result \"1-0\"]\n";
    const size_t count = 5000;
    for (size_t i = 1; i < count; ++i)
        tags += "[T" + std::to_string(i) + " \"v\"]\n";
    TextMeasuringHandler handler;
    ASSERT_TRUE(readPgnText("manytags", tags + "\n1. e4 e5 1-0\n[Event \"B\"]\n1. d4 *\n", handler));
    EXPECT_EQ(handler.mostTags, PgnReader::tagLimit);
    EXPECT_EQ(handler.tags.size(), count + 1);
    ASSERT_EQ(handler.games.size(), 2u);
    EXPECT_EQ(handler.games[0].tagsAtStart.size(), PgnReader::tagLimit);
    EXPECT_EQ(handler.games[0].tagsAtStart[0].second, "1-0");
    EXPECT_EQ(sansOf(handler.games[0]), (std::vector<std::string>{"e4", "e5"}));
    EXPECT_EQ(sansOf(handler.games[1]), (std::vector<std::string>{"d4"}));
}
