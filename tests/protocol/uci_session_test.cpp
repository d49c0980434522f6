// The UCI dialogue of the real program, driven through pipes as a GUI drives
// it: each case sends its lines, ends the input and checks the answer.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_process.h"

using namespace enginetest;

namespace {

const char* const startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

const std::vector<std::string> announcedOptions = {
    "id name Vorlix 2.1 64 bits",
    "id author Osvane Kreelith",
    "option name Hash type spin default 32 min 1 max 16384",
    "option name Ponder type check default false",
    "option name OwnBook type check default false",
    "option name Book File type string default vorlixbook-20.bin",
    "option name Clear Hash type button",
    "option name UsePersonality type check default false",
    "option name PersonalityFile type string default ",
    "option name UCI_Chess960 type check default false",
    "option name MultiPV type spin default 1 min 1 max 32",
    "option name NullMovePruning type check default true",
    "option name LateMoveReduction type check default true",
    "option name Threads type spin default 1 min 1 max 64",
    "option name UCI_LimitStrength type check default false",
    "option name UCI_Elo type spin default 2700 min 1000 max 2700",
    "option name DrawScore type spin default 0 min -100 max 100",
    "uciok",
};

TEST(UciSession, UciAnnouncesIdentityAndTheFifteenOptionsInOrder) {
    TempDir dir;
    int status = 0;
    const auto output = runSession(dir, {"uci"}, status);
    ASSERT_GE(output.size(), 1u + announcedOptions.size());
    EXPECT_EQ(output[0], "Vorlix 2.1 (64 bits) by Osvane Kreelith");
    const std::vector<std::string> answer(output.begin() + 1,
                                          output.begin() + 1 + long(announcedOptions.size()));
    EXPECT_EQ(answer, announcedOptions);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(dir.exists("logfile.txt"));  // no configuration: no log
}

struct SessionCase {
    const char* name;
    std::vector<std::string> input;
    std::vector<std::string> expected;   // patterns, in this order
    std::vector<std::string> forbidden;  // patterns that must not appear
};

class UciSessionTable : public testing::TestWithParam<SessionCase> {};

TEST_P(UciSessionTable, AnswersAsExpected) {
    const SessionCase& c = GetParam();
    TempDir dir;
    int status = 0;
    const auto output = runSession(dir, c.input, status);
    expectDialogue(output, c.expected, c.forbidden, status);
}

const SessionCase sessionCases[] = {
    {"UciNewGameAsFirstCommandSelectsUci",
     {"ucinewgame", "isready"},
     {"^id name Vorlix", "^uciok$", "^readyok$"},
     {}},
    {"SetValueBeforeTheProtocolIsIgnored",
     {"setvalue Hash 64", "uci"},
     {"^option name Hash type spin default 32 ", "^uciok$"},
     {}},
    {"BlankLinesAreIgnoredBeforeTheProtocol",
     {"", "    ", "uci"},
     {"^uciok$"},
     {}},
    {"StartPositionWithMoves",
     {"uci", "position startpos moves e2e4 e7e5", "printFEN"},
     {"^rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2$"},
     {"Illegal move"}},
    {"FenWithMoves",
     {"uci", "position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1 moves e2e4", "printFEN"},
     {"^4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1$"},
     {}},
    {"RejectedFenKeepsTheGameAndPlaysNoMoves",
     {"uci", "position startpos moves e2e4", "position fen 9/8 w - - 0 1 moves e7e5",
      "printFEN"},
     {"^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1$"},
     {"Illegal move"}},
    {"RejectedFenIsReportedWithoutItsMoves",
     {"uci", "position startpos moves e2e4", "position fen 9/8 w - - 0 1 moves e7e5",
      "printFEN"},
     {"^info string Illegal position: 9/8 w - - 0 1$",
      "^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1$"},
     {"Illegal move"}},
    {"FenWithoutKingsIsReported",
     {"uci", "position startpos moves e2e4", "position fen 8/8/8/8/8/8/8/8 w - - 0 1",
      "printFEN"},
     {"^info string Illegal position: 8/8/8/8/8/8/8/8 w - - 0 1$",
      "^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1$"},
     {}},
    {"FenWithTheSideNotToMoveInCheckIsReported",
     {"uci", "position startpos moves e2e4", "position fen 4k3/8/8/8/8/8/4r3/4K3 b - - 0 1",
      "go depth 1"},
     {"^info string Illegal position: 4k3/8/8/8/8/8/4r3/4K3 b - - 0 1$", "^bestmove [a-h]"},
     {"^bestmove e2e1", "^bestmove 0000"}},
    {"AcceptedFenSaysNothing",
     {"uci", "position fen 4k3/8/8/8/8/8/4R3/4K3 b - - 0 1", "printFEN"},
     {"^4k3/8/8/8/8/8/4R3/4K3 b - - 0 [0-9]+$"},
     {"^info string"}},
    {"IllegalMoveIsReportedAndTheMovesBeforeItStay",
     {"uci", "position startpos moves e2e4 e7e5 e1e3 g1f3", "printFEN"},
     {"^info string Illegal move: e1e3$",
      "^rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2$"},
     {}},
    {"UpperCasePromotionLetterIsIllegal",
     {"uci", "position fen 8/4P1k1/8/8/8/8/8/4K3 w - - 0 1 moves e7e8Q", "printFEN"},
     {"^info string Illegal move: e7e8Q$", "^8/4P1k1/8/8/8/8/8/4K3 w - - 0 0$"},
     {}},
    {"CastlingByKingStepRookSquareOrText",
     {"uci", "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 O-O-O", "printFEN"},
     {"^2kr3r/8/8/8/8/8/8/R4RK1 w - - 2 2$"},
     {"Illegal move"}},
    {"CarriageReturnsAreIgnored",
     {"uci\r", "position startpos moves e2e4\r", "printFEN\r", "isready\r"},
     {"^uciok$", "^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1$", "^readyok$"},
     {"Illegal move"}},
    {"HashKeyOfTheStartPosition",
     {"uci", "printHashKey"},
     {"^[0-9a-f]+$"},
     {}},
    {"EvalPrintsTheScore",
     {"uci", "position startpos", "eval"},
     {"^eval = -?[0-9]+\\.[0-9][0-9]$"},
     {}},
    {"PerftCommands",
     {"uci", "perft 3", "perftd 2", "divide 1"},
     {"^Depth 3$", "^Nodes = 8902$", "^Time = [0-9][0-9]:[0-9][0-9]:[0-9][0-9]\\.[0-9]{3}$",
      "^Speed = [0-9]+$", "^Depth 2$", "^Nodes = 400$", "^Nodes captures = 0$",
      "^Nodes e.p = 0$", "^Nodes check = 0$", "^Nodes mate = 0$", "^Nodes promotion = 0$",
      "^Nodes castle = 0$", "^    Nb1-a3 : 1$", "^     total : 20$"},
     {}},
    {"PerftWithoutDepthDoesNothingAndDepthZeroCountsOnePly",
     {"uci", "perft", "perft 0"},
     {"^Depth 1$", "^Nodes = 20$"},
     {"^Depth 0"}},
    {"UnknownCommandsAndOptionsAreIgnored",
     {"uci", "register later", "uci", "setoption name NoSuchOption value 3", "setoption Hash",
      "isready"},
     {"^uciok$", "^readyok$"},
     {"^uciok$.*^uciok$"}},
    {"StopWithNothingRunningSendsNothing",
     {"uci", "stop", "ponderhit", "isready"},
     {"^readyok$"},
     {"bestmove"}},
    {"GoDepth",
     {"uci", "position startpos", "go depth 3"},
     {"^info depth 1 seldepth [0-9]+ score cp -?[0-9]+ time [0-9]+ nodes [0-9]+ nps [0-9]+ pv [a-h]",
      "^info depth 3 ", "^bestmove [a-h][1-8][a-h][1-8]$"},
     {"^info depth 4 "}},
    {"GoDepthZeroSearchesOnePly",
     {"uci", "position startpos", "go depth 0"},
     {"^info depth 1 ", "^bestmove [a-h][1-8][a-h][1-8]$"},
     {"^info depth 2 "}},
    {"GoNodes",
     {"uci", "position startpos", "go nodes 3000"},
     {"^bestmove [a-h][1-8][a-h][1-8]$"},
     {}},
    {"GoMoveTimeAndNegativeMoveTime",
     {"uci", "position startpos", "go movetime 50", "go movetime -5"},
     {"^bestmove ", "^bestmove "},
     {}},
    {"GoClocks",
     {"uci", "position startpos moves e2e4", "go wtime 2000 btime 2000 winc 10 binc 10 movestogo 20"},
     {"^bestmove [a-h][1-8][a-h][1-8]$"},
     {}},
    {"MultiPvReportsEachLine",
     {"uci", "setoption name MultiPV value 3", "position startpos", "go depth 3"},
     {"^info multipv 1 depth 3 ", "^info multipv 2 depth 3 ", "^info multipv 3 depth 3 ",
      "^bestmove "},
     {"^info multipv 4 "}},
    {"MateScoreInMoves",
     {"uci", "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "go depth 4"},
     {"^info depth 4 .*score mate 1 .* pv a1a8", "^bestmove a1a8$"},
     {}},
    {"NoLegalMoveAnswersNullMove",
     {"uci", "position fen 7k/5QQ1/8/8/8/8/8/K7 b - - 0 1", "go depth 3"},
     {"^bestmove 0000$"},
     {"^info depth"}},
    {"BookFileNotFound",
     {"uci", "setoption name Book File value missing.bin", "setoption name OwnBook value true"},
     {"^info string book file not found$"},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, UciSessionTable, testing::ValuesIn(sessionCases),
                         [](const testing::TestParamInfo<SessionCase>& info) {
                             return std::string(info.param.name);
                         });

// A first command that names no protocol ends the program at once, with no
// reply, even though the input stays open.
TEST(UciSession, UnknownFirstCommandEndsTheProgram) {
    const char* const firstLines[] = {"hello", "\txboard", "quit"};
    for (const char* first : firstLines) {
        TempDir dir;
        EngineProcess engine(dir.path);
        engine.send(first);
        EXPECT_EQ(engine.waitExit(10000), 0) << first;
        const auto output = engine.readAll(2000);
        ASSERT_EQ(output.size(), 1u) << first << "\n" << joinLines(output);
        EXPECT_EQ(output[0], "Vorlix 2.1 (64 bits) by Osvane Kreelith");
    }
}

// A long "position" line arrives whole: 1000 knight moves bring the start
// position back; a line cut anywhere would leave another position.
TEST(UciSession, LongPositionLineIsReadWhole) {
    std::string line = "position startpos moves";
    for (int cycle = 0; cycle < 250; cycle++) line += " g1f3 g8f6 f3g1 f6g8";
    ASSERT_GT(line.size(), 4096u);
    TempDir dir;
    int status = 0;
    const auto output = runSession(dir, {"uci", line, "printFEN"}, status);
    EXPECT_EQ(countMatching(output, "Illegal move"), 0);
    EXPECT_EQ(countMatching(output, "^rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - "), 1)
        << joinLines(output);
}

// Blanks between the fields of the FEN text are runs of any length, as
// everywhere else on a command line.
TEST(UciSession, FenFieldsSeparatedByRunsOfBlanks) {
    std::string fen = std::string("position fen 4k3/8/8/8/8/8/4P3/4K3") + std::string(400, ' ') +
                      "w - - 0 1 moves e2e4";
    TempDir dir;
    int status = 0;
    const auto output = runSession(dir, {"uci", fen, "printFEN"}, status);
    EXPECT_EQ(countMatching(output, "^4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1$"), 1) << joinLines(output);
}

// Chess960 castling is written as the king taking its rook, standard
// castling as the king's two-square step; both are read either way.
TEST(UciSession, Chess960CastlingText) {
    const std::string position = "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
    struct Case {
        bool chess960;
        const char* shortCastle;
        const char* longCastle;
    };
    const Case cases[] = {{false, "e1g1", "e1c1"}, {true, "e1h1", "e1a1"}};
    for (const Case& c : cases) {
        TempDir dir;
        int status = 0;
        std::vector<std::string> input = {"uci", "setoption name MultiPV value 40"};
        if (c.chess960) input.push_back("setoption name UCI_Chess960 value true");
        input.push_back(position);
        input.push_back("go depth 1");
        const auto output = runSession(dir, input, status);
        EXPECT_EQ(countMatching(output, std::string("^info multipv [0-9]+ .* pv ") + c.shortCastle + "( |$)"), 1)
            << joinLines(output);
        EXPECT_EQ(countMatching(output, std::string("^info multipv [0-9]+ .* pv ") + c.longCastle + "( |$)"), 1)
            << joinLines(output);
        EXPECT_EQ(countMatching(output, "^bestmove "), 1);

        TempDir again;
        std::vector<std::string> played = {"uci"};
        if (c.chess960) played.push_back("setoption name UCI_Chess960 value true");
        played.push_back(position + " moves " + c.shortCastle);
        played.push_back("printFEN");
        const auto fen = runSession(again, played, status);
        EXPECT_EQ(countMatching(fen, "^r3k2r/8/8/8/8/8/8/R4RK1 b kq - 1 1$"), 1) << joinLines(fen);
    }
}

}  // namespace

// Castling is read back exactly as the engine writes it, by both
// interpreters: the king's two-file step only for a king on e1 or e8 that
// may castle that way, the king taking its own rook from any start square.
// A king starting elsewhere that steps onto the c- or g-file moves plainly.
TEST(MoveReading, CastlingTextIsReadAsTheEngineWritesIt) {
    struct Case {
        const char* fen;
        std::vector<std::string> moves;
        const char* fenAfter;  // printFEN's answer, without the move number
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/8/R2K4 w Q - 0 1", {"d1c1"}, "4k3/8/8/8/8/8/8/R1K5 b - - 1"},
        {"rkr5/ppp5/8/8/8/8/PPP5/RKR5 w CAca - 0 1", {"b1c1"},
         "rkr5/ppp5/8/8/8/8/PPP5/R4RK1 b kq - 1"},
        {"1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w GBgb - 0 1", {"e1g1", "e8c8"},
         "2kr2r1/pppppppp/8/8/8/8/PPPPPPPP/1R3RK1 w - - 2"},
        {"1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w GBgb - 0 1", {"e1b1", "e8g8"},
         "1r3rk1/pppppppp/8/8/8/8/PPPPPPPP/2KR2R1 w - - 2"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {"e1a1", "e8g8"},
         "r4rk1/8/8/8/8/8/8/2KR3R w - - 2"},
        // No right on the short wing: the two-file step is no move at all.
        {"4k3/8/8/8/8/8/8/R3K2R w Q - 0 1", {"e1g1"}, "4k3/8/8/8/8/8/8/R3K2R w Q - 0"},
    };
    for (const Case& c : cases) {
        std::string moves;
        for (const std::string& move : c.moves) moves += " " + move;
        std::vector<std::string> uci = {"uci", std::string("position fen ") + c.fen + " moves" + moves,
                                        "printFEN"};
        std::vector<std::string> xboard = {"xboard", "new", "force", std::string("setboard ") + c.fen};
        xboard.insert(xboard.end(), c.moves.begin(), c.moves.end());
        xboard.push_back("printFEN");
        for (const auto& input : {uci, xboard}) {
            TempDir dir;
            int status = 0;
            const auto output = runSession(dir, input, status);
            EXPECT_EQ(countMatching(output, std::string("^") + c.fenAfter + " [0-9]+$"), 1)
                << input[0] << " " << c.fen << moves << "\n" << joinLines(output);
        }
    }
}
