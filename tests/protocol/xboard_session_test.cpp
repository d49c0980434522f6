// The XBoard dialogue of the real program, driven through pipes as a GUI
// drives it.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "xboard_test_support.h"

using namespace enginetest;
using namespace xboardtest;

namespace {

const char* const startPlacement = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

std::vector<std::string> session(const std::vector<std::string>& lines, int& status) {
    TempDir dir;
    std::vector<std::string> input = {"xboard"};
    input.insert(input.end(), lines.begin(), lines.end());
    return runSession(dir, input, status, answerTimeoutMs);
}

int countThinking(const std::vector<std::string>& lines) {
    int count = 0;
    for (const std::string& line : lines) count += isThinkingLine(line);
    return count;
}

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(XBoardSession, ProtoverAnswersTheFeatureLinesInOrder) {
    int status = 0;
    const auto output = session({"protover 2"}, status);
    const std::vector<std::string> features = {
        "feature myname=\"Vorlix 2.1 64 bits\"",
        "feature setboard=1",
        "feature analyze=1",
        "feature ping=1",
        "feature draw=0",
        "feature sigint=0",
        "feature sigterm=0",
        "feature colors=0",
        "feature smp=1",
        "feature variants=\"normal,fischerandom\"",
        "feature option=\"Clear Hash -button\"",
        // No node budgets: a GUI must not turn "st" into nodes with "nps".
        "feature nps=0",
        "feature done=1",
    };
    ASSERT_EQ(output.size(), 1 + features.size()) << joinLines(output);
    EXPECT_EQ(std::vector<std::string>(output.begin() + 1, output.end()), features);
    EXPECT_EQ(status, 0);
}

struct DialogueCase {
    const char* name;
    std::vector<std::string> input;
    std::vector<std::string> expected;   // patterns, in this order
    std::vector<std::string> forbidden;  // patterns that must not appear
};

class XBoardDialogue : public testing::TestWithParam<DialogueCase> {};

TEST_P(XBoardDialogue, AnswersAsExpected) {
    const DialogueCase& c = GetParam();
    int status = 0;
    const auto output = session(c.input, status);
    expectDialogue(output, c.expected, c.forbidden, status);
}

const DialogueCase dialogueCases[] = {
    {"ProtoverWithoutNumberAnswersNothing", {"protover", "ping 1"}, {"^pong 1$"}, {"^feature"}},
    {"PingsAreAnsweredInOrder",
     {"ping 7", "ping 3", "ping -2"},
     {"^pong 7$", "^pong 3$", "^pong -2$"},
     {}},
    {"PingWithoutNumberIsIgnored", {"ping", "ping 4"}, {"^pong 4$"}, {"^pong $"}},
    {"NewAndGoAnswerWithAMove",
     {"new", "sd 3", "go", "ping 1"},
     {"^move (a2a3|a2a4|b2b3|b2b4|c2c3|c2c4|d2d3|d2d4|e2e3|e2e4|f2f3|f2f4|g2g3|g2g4|h2h3|h2h4|"
      "b1a3|b1c3|g1f3|g1h3)$"},
     {"Illegal"}},
    {"PlainMoveIsAnswered",
     {"new", "sd 2", "e2e4", "ping 1"},
     {"^move [a-h][1-8][a-h][1-8]$"},
     {"Illegal"}},
    {"WithoutHardNoHintFollows",
     {"new", "sd 2", "e2e4", "ping 1"},
     {"^move [a-h][1-8][a-h][1-8]$"},
     {"^Hint"}},
    {"UsermoveIsAnswered",
     {"new", "sd 2", "usermove e2e4", "ping 1"},
     {"^move [a-h][1-8][a-h][1-8]$"},
     {"Illegal"}},
    {"ForceModePlaysWithoutAnswering",
     {"new", "sd 2", "force", "e2e4", "e7e5", "ping 1", "printFEN"},
     {"^pong 1$", "^rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 "},
     {"^move"}},
    {"GoLeavesForceMode",
     {"new", "sd 2", "force", "e2e4", "go"},
     {"^move [a-h][1-8][a-h][1-8]$"},
     {}},
    {"IllegalMoveIsReportedAndNotAnswered",
     {"new", "sd 2", "e2e5", "ping 1", "printFEN"},
     {"^Illegal move: e2e5$", "^pong 1$", "^rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - "},
     {"^move"}},
    {"UndoTakesBackTheLastMove",
     {"new", "force", "e2e4", "e7e5", "undo", "printFEN"},
     {"^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 "},
     {"^move"}},
    {"SetboardSetsThePosition",
     {"new", "force", "setboard 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "printFEN"},
     {"^4k3/8/8/8/8/8/4P3/4K3 w - - "},
     {}},
    {"SetboardWithABadFenKeepsTheGame",
     {"new", "force", "e2e4", "setboard 4k3/8/8/9/8/8/4P3/4K3 w - - 0 1", "ping 1", "printFEN"},
     {"^pong 1$", "^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 "},
     {}},
    {"MoveThatMatesIsNotSearched",
     {"new", "sd 2", "setboard 7k/8/6K1/8/8/8/8/R7 w - - 0 1", "a1a8", "go", "ping 1"},
     {"^pong 1$"},
     {"^move", "Illegal"}},
    {"PostSendsThinkingLines",
     {"new", "sd 4", "post", "go", "ping 1"},
     {"^1 -?[0-9]+ [0-9]+ [0-9]+ [a-h][1-8][a-h][1-8]", "^4 -?[0-9]+ [0-9]+ [0-9]+ ", "^move "},
     {}},
    {"NopostSilencesThinkingButNotTheMove",
     {"new", "sd 4", "nopost", "go", "ping 1"},
     {"^move "},
     {"^[0-9]+ -?[0-9]+ [0-9]+ [0-9]+ "}},
    {"DebuggingCommands",
     {"new", "force", "printBoard", "eval", "printHashKey", "printFEN", "perft 3", "divide 1",
      "perftd 2"},
     {"^\\| r \\| n \\| b \\| q \\| k \\| b \\| n \\| r \\|", "^eval = -?[0-9]+\\.[0-9][0-9]$",
      "^[0-9a-f]+$", "^rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ", "^Nodes = 8902$",
      "^Nodes = 400$"},
     {}},
    // Chess960: castling arrives as O-O, O-O-O or the king taking its own
    // rook; the engine writes its own as the king taking its rook, until
    // "new" brings normal chess back. Castling short mates here.
    {"Chess960CastlingIsReadAsOO",
     {"new", "variant fischerandom", "force",
      "setboard rk2r3/pppppppp/8/8/8/8/PPPPPPPP/RK2R3 w EAea - 0 1", "O-O", "O-O-O", "printFEN"},
     {"^2krr3/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 w - - 2 "},
     {"Illegal"}},
    {"Chess960CastlingIsReadAsKingTakesRook",
     {"new", "variant fischerandom", "force",
      "setboard rk2r3/pppppppp/8/8/8/8/PPPPPPPP/RK2R3 w EAea - 0 1", "b1e1", "b8a8", "printFEN"},
     {"^2krr3/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 w - - 2 "},
     {"Illegal"}},
    {"Chess960CastlingIsWrittenAsKingTakesRook",
     {"new", "variant fischerandom", "setboard 4rkr1/4p1p1/8/8/8/8/8/4K2R w K - 0 1", "sd 2", "go"},
     {"^move e1h1$"},
     {"Illegal"}},
    {"NewGameAfterChess960IsNormalChess",
     {"new", "variant fischerandom", "new", "setboard 4rkr1/4p1p1/8/8/8/8/8/4K2R w K - 0 1", "sd 2",
      "go"},
     {"^move e1g1$"},
     {"Illegal"}},
    {"VariantNormalEndsChess960",
     {"new", "variant fischerandom", "variant normal",
      "setboard 4rkr1/4p1p1/8/8/8/8/8/4K2R w K - 0 1", "sd 2", "go"},
     {"^move e1g1$"},
     {"Illegal"}},
    {"QuietCommandsSendNothing",
     {"variant normal", "random", "name somebody", "rating 2000 1800", "computer", "draw",
      "remove", "hint", "bk", "accepted ping", "refused sigint", "# a comment", "xboard",
      "option Clear Hash", "cores 2", "ping 9"},
     {"^pong 9$"},
     {"^move", "Illegal"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, XBoardDialogue, testing::ValuesIn(dialogueCases),
                         [](const testing::TestParamInfo<DialogueCase>& info) {
                             return std::string(info.param.name);
                         });

// A fixture with one running engine that has chosen XBoard.
class XBoardLive : public testing::Test {
protected:
    TempDir dir;
    XBoardEngine engine{dir};
    Referee referee;

    void SetUp() override { ASSERT_TRUE(engine.handshake()); }
    void TearDown() override { EXPECT_EQ(engine.quit(), 0); }
};

TEST_F(XBoardLive, PingIsAnsweredDuringASearch) {
    engine.send("new");
    engine.send("st 30");
    engine.send("go");
    pause(100);
    std::vector<std::string> before;
    ASSERT_TRUE(engine.sync(&before));
    ASSERT_TRUE(engine.sync(&before));
    EXPECT_EQ(countMatching(before, "^move"), 0) << "the search should still run";
    // "?" makes it move at once.
    engine.send("?");
    std::string move;
    ASSERT_TRUE(engine.readMove(move, nullptr, 3000));
    EXPECT_TRUE(referee.isLegal(move)) << move;
}

TEST_F(XBoardLive, NewDuringASearchAbortsItWithoutAMove) {
    engine.send("new");
    engine.send("st 30");
    engine.send("go");
    pause(100);
    engine.send("new");
    std::vector<std::string> before;
    ASSERT_TRUE(engine.sync(&before));
    EXPECT_EQ(countMatching(before, "^move"), 0) << joinLines(before);
    EXPECT_EQ(engine.placement(), startPlacement);
    // The new game has its default limits back: a depth limit answers soon.
    engine.send("sd 2");
    engine.send("go");
    std::string move;
    ASSERT_TRUE(engine.readMove(move));
    EXPECT_TRUE(referee.isLegal(move)) << move;
}

// The analysis test, with and without the input thread.
void analyzeFollowsTheGame(XBoardEngine& engine, Referee& referee) {
    engine.send("new");
    engine.send("force");
    engine.send("post");
    engine.send("analyze");
    // Each change of the game restarts the analysis on the new position:
    // after a line of depth 3 or more, thinking begins again at depth 1.
    const std::string deep = "^([3-9]|[1-9][0-9]+) -?[0-9]+ [0-9]+ [0-9]+ ";
    const std::string first = "^1 -?[0-9]+ [0-9]+ [0-9]+ ";
    const std::vector<std::string> changes = {"e2e4", "usermove e7e5", "undo",
                                              "setboard 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "new"};
    for (const std::string& change : changes) {
        ASSERT_TRUE(engine.process.waitFor(deep, answerTimeoutMs)) << "before " << change;
        engine.send(change);
        EXPECT_TRUE(engine.process.waitFor(first, answerTimeoutMs)) << "after " << change;
    }
    engine.send("exit");
    ASSERT_TRUE(engine.sync());
    EXPECT_EQ(engine.placement(), startPlacement);
    // Nothing thinks any more, and no move was ever sent.
    pause(100);
    std::vector<std::string> lines;
    ASSERT_TRUE(engine.sync(&lines));
    EXPECT_EQ(countThinking(lines), 0) << joinLines(lines);
    EXPECT_EQ(countMatching(engine.process.transcript, "^move"), 0);

    // After "exit" a game search ends again by its limit, not by a stop.
    engine.send("sd 2");
    engine.send("go");
    std::string move;
    ASSERT_TRUE(engine.readMove(move));
    EXPECT_TRUE(referee.isLegal(move)) << move;
}

TEST_F(XBoardLive, AnalyzeFollowsMovesUndoAndSetboardUntilExit) { analyzeFollowsTheGame(engine, referee); }

TEST(XBoardWithoutInputThread, AnalyzeFollowsMovesUndoAndSetboardUntilExit) {
    TempDir dir;
    dir.write("vorlix.ini", "Hash=16\nUseInputThread=0\n");
    XBoardEngine engine(dir);
    Referee referee;
    ASSERT_TRUE(engine.handshake());
    analyzeFollowsTheGame(engine, referee);
    EXPECT_EQ(engine.quit(), 0);
}

TEST_F(XBoardLive, ExitRestoresTheGameLimitsAfterAnAnalysis) {
    engine.send("new");
    engine.send("sd 2");
    engine.send("force");
    engine.send("analyze");
    engine.send("e2e4");
    engine.send("e7e5");
    engine.send("undo");
    engine.send("exit");
    EXPECT_EQ(engine.placement(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
    // Still the depth limit of before the analysis, not an endless search.
    engine.send("go");
    std::string move;
    ASSERT_TRUE(referee.play("e2e4"));
    ASSERT_TRUE(engine.readMove(move));
    EXPECT_TRUE(referee.isLegal(move)) << move;
}

// The debugging commands answer at once during an analysis, on the
// analysed position, and leave it running; the counting commands say in a
// line why they wait.
TEST_F(XBoardLive, DebuggingCommandsAnswerDuringAnAnalysis) {
    engine.send("new");
    engine.send("force");
    engine.send("e2e4");
    engine.send("post");
    engine.send("analyze");
    ASSERT_TRUE(engine.process.waitFor("^3 -?[0-9]+ [0-9]+ [0-9]+ ", answerTimeoutMs));
    for (const char* command : {"eval", "printFEN", "printHashKey", "printBoard", "perft 2"})
        engine.send(command);
    std::vector<std::string> before;
    ASSERT_TRUE(engine.process.waitFor("^Error \\(not run during a search\\): perft 2$", answerTimeoutMs,
                                       &before));
    std::string missing;
    EXPECT_TRUE(containsInOrder(before,
                                {"^eval = -?[0-9]+\\.[0-9][0-9]$",
                                 "^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1$",
                                 "^[0-9a-f]+$", "^\\| r \\| n \\| b \\| q \\| k \\| b \\| n \\| r \\|$",
                                 "^Black to play$"},
                                &missing))
        << missing << " in\n" << joinLines(before);
    // The analysis goes on.
    EXPECT_TRUE(engine.process.waitFor("^([4-9]|[1-9][0-9]+) -?[0-9]+ [0-9]+ [0-9]+ ", answerTimeoutMs));
    engine.send("exit");
    engine.send("perft 2");
    EXPECT_TRUE(engine.process.waitFor("^Nodes = 600$", answerTimeoutMs));
}

// While the engine ponders, its expected reply stands on its board; the
// position it reports is the game's, without that reply.
TEST_F(XBoardLive, PositionReportsDuringPonderingLeaveTheExpectedReplyOut) {
    engine.send("new");
    engine.send("hard");
    engine.send("sd 3");
    engine.send("go");
    std::string move;
    ASSERT_TRUE(engine.readMove(move));
    ASSERT_TRUE(engine.process.waitFor("^Hint: ", answerTimeoutMs));
    ASSERT_TRUE(referee.play(move)) << move;
    engine.send("printFEN");
    std::string fen;
    ASSERT_TRUE(engine.process.waitFor("/", answerTimeoutMs, nullptr, &fen));
    EXPECT_EQ(Referee::fenPlacement(fen), referee.placement()) << fen;
}

TEST_F(XBoardLive, QuitDuringAnAnalysisEndsTheProgram) {
    engine.send("new");
    engine.send("analyze");
    pause(100);
    // TearDown sends quit and expects a prompt, clean exit.
}

TEST_F(XBoardLive, StopsAtTheMoveTimeOfSt) {
    engine.send("new");
    engine.send("st 1");
    const auto start = std::chrono::steady_clock::now();
    engine.send("go");
    std::string move;
    ASSERT_TRUE(engine.readMove(move, nullptr, 5000));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, 0.5);
    EXPECT_LT(seconds, slowBuild ? 3.0 : 1.6);
}

// With "hard" the engine names the reply it expects and thinks on it.
class XBoardConcurrentPonder : public XBoardLive {
protected:
    // The engine plays white's first move and announces its expected reply.
    void engineMovesFirst(std::string& move, std::string& hint) {
        engine.send("new");
        engine.send("hard");
        engine.send("post");
        engine.send("level 0 0:30 0");
        engine.send("time 300");
        engine.send("otim 300");
        engine.send("go");
        ASSERT_TRUE(engine.readMove(move));
        std::string line;
        ASSERT_TRUE(engine.process.waitFor("^Hint: ", answerTimeoutMs, nullptr, &line));
        hint = line.substr(6);
        ASSERT_TRUE(referee.play(move)) << move;
        ASSERT_TRUE(referee.isLegal(hint)) << hint;
    }
};

TEST_F(XBoardConcurrentPonder, HitTurnsThePonderSearchIntoTheRealOne) {
    std::string move, hint;
    engineMovesFirst(move, hint);
    pause(300);  // let the ponder search go deep
    std::vector<std::string> before;
    ASSERT_TRUE(engine.sync(&before));
    int ponderDepth = 0;
    for (const std::string& line : before)
        if (isThinkingLine(line)) ponderDepth = thinkingDepth(line);
    EXPECT_GT(ponderDepth, 1);

    engine.send("time 300");
    engine.send("otim 290");
    engine.send(hint);
    std::vector<std::string> thinking;
    std::string reply;
    ASSERT_TRUE(engine.readMove(reply, &thinking));
    ASSERT_TRUE(referee.play(hint));
    EXPECT_TRUE(referee.isLegal(reply)) << reply;
    for (const std::string& line : thinking)
        if (isThinkingLine(line)) {
            EXPECT_GT(thinkingDepth(line), 1) << "restarted: " << line;
        }
}

TEST_F(XBoardConcurrentPonder, MissPlaysTheRealMoveAndSearchesAgain) {
    std::string move, hint;
    engineMovesFirst(move, hint);
    pause(200);
    ASSERT_TRUE(engine.sync());
    std::string other;
    for (const std::string& candidate : referee.legalMoves())
        if (candidate != hint) other = candidate;
    ASSERT_FALSE(other.empty());

    engine.send(other);
    std::vector<std::string> thinking;
    std::string reply;
    ASSERT_TRUE(engine.readMove(reply, &thinking));
    ASSERT_TRUE(referee.play(other));
    EXPECT_TRUE(referee.isLegal(reply)) << reply << " after " << other;
    bool restarted = false;
    for (const std::string& line : thinking) restarted |= isThinkingLine(line) && thinkingDepth(line) == 1;
    EXPECT_TRUE(restarted) << joinLines(thinking);

    ASSERT_TRUE(referee.play(reply));
    engine.send("force");  // ends the next ponder search and takes its reply back
    EXPECT_EQ(engine.placement(), referee.placement());
}

TEST_F(XBoardConcurrentPonder, UnderpromotionIsAMissOfAPonderedQueenPromotion) {
    // Black's pawn promotes whatever white does; the engine expects a queen.
    referee.setFen("k7/8/8/8/8/8/4p3/K7 w - - 0 1");
    engine.send("new");
    engine.send("hard");
    engine.send("setboard k7/8/8/8/8/8/4p3/K7 w - - 0 1");
    engine.send("st 1");
    engine.send("go");
    std::string move, line;
    ASSERT_TRUE(engine.readMove(move));
    ASSERT_TRUE(engine.process.waitFor("^Hint: ", answerTimeoutMs, nullptr, &line));
    ASSERT_EQ(line, "Hint: e2e1q");
    ASSERT_TRUE(referee.play(move)) << move;

    ASSERT_TRUE(referee.play("e2e1n"));
    engine.send("e2e1n");
    std::string reply;
    ASSERT_TRUE(engine.readMove(reply));
    EXPECT_TRUE(referee.isLegal(reply)) << reply;
    ASSERT_TRUE(referee.play(reply));
    engine.send("force");
    EXPECT_EQ(engine.placement(), referee.placement()) << "the knight must stand on the board";
}

TEST_F(XBoardConcurrentPonder, LongMoveTextDuringPonderingIsKeptWhole) {
    std::string move, hint;
    engineMovesFirst(move, hint);
    // A miss that carries three moves: longer than any single move word.
    std::string text;
    for (int ply = 0; ply < 3; ply++) {
        std::string chosen;
        for (const std::string& candidate : referee.legalMoves())
            if (ply > 0 || candidate != hint) chosen = candidate;
        ASSERT_TRUE(referee.play(chosen));
        text += (ply ? " " : "") + chosen;
    }
    engine.send(text);
    std::string reply;
    ASSERT_TRUE(engine.readMove(reply));
    ASSERT_TRUE(referee.play(reply)) << reply << " after " << text;
    engine.send("force");
    EXPECT_EQ(engine.placement(), referee.placement());
}

TEST_F(XBoardConcurrentPonder, MoveNowDuringPonderingPlaysNothing) {
    std::string move, hint;
    engineMovesFirst(move, hint);
    engine.send("?");
    std::vector<std::string> after;
    pause(100);
    ASSERT_TRUE(engine.sync(&after));
    EXPECT_EQ(countMatching(after, "^move"), 0) << joinLines(after);
    // The opponent's move is still answered.
    ASSERT_TRUE(referee.play(hint));
    engine.send(hint);
    std::string reply;
    ASSERT_TRUE(engine.readMove(reply));
    EXPECT_TRUE(referee.isLegal(reply)) << reply;
}

TEST_F(XBoardConcurrentPonder, EasyEndsPonderingAndNoHintFollows) {
    std::string move, hint;
    engineMovesFirst(move, hint);
    engine.send("easy");
    ASSERT_TRUE(engine.sync());
    // The expected reply went back with the ponder search.
    EXPECT_EQ(engine.placement(), referee.placement());
    ASSERT_TRUE(referee.play(hint));
    engine.send(hint);
    std::vector<std::string> after;
    std::string reply;
    ASSERT_TRUE(engine.readMove(reply));
    EXPECT_TRUE(referee.isLegal(reply)) << reply;
    ASSERT_TRUE(engine.sync(&after));
    EXPECT_EQ(countMatching(after, "^Hint"), 0);
}

// The opponent's move may come the instant "move" is out, before the engine
// has set up its ponder search; the game must stay in step either way. Half
// the replies are sent without waiting for anything (mostly misses), half are
// the announced hint (hits).
// Without the input thread the main thread reads the commands itself, inside
// the search's poll while it searches.
struct QuickReplyCase {
    const char* name;
    const char* limit;
    const char* configuration;
};

class XBoardConcurrentReplies : public testing::TestWithParam<QuickReplyCase> {};

TEST_P(XBoardConcurrentReplies, KeepTheGameInStep) {
    TempDir dir;
    dir.write("vorlix.ini", GetParam().configuration);
    XBoardEngine engine(dir);
    Referee referee;
    ASSERT_TRUE(engine.handshake());
    engine.send("new");
    engine.send("hard");
    engine.send(GetParam().limit);
    engine.send("go");
    int moves = 0;
    for (int turn = 0; turn < 16; turn++) {
        std::string move;
        ASSERT_TRUE(engine.readMove(move)) << "turn " << turn;
        ASSERT_TRUE(referee.play(move)) << move << " at turn " << turn;
        moves++;
        if (!referee.gameOver().empty()) break;
        std::string reply;
        if (turn % 2 == 0) {
            reply = referee.legalMoves().back();
        } else {
            std::string line;
            ASSERT_TRUE(engine.process.waitFor("^Hint: ", answerTimeoutMs, nullptr, &line));
            reply = line.substr(6);
        }
        ASSERT_TRUE(referee.play(reply)) << reply;
        engine.send(reply);
        if (!referee.gameOver().empty()) break;
    }
    // The engine answers the last reply before its game is compared.
    if (referee.gameOver().empty() && referee.position.sideToMove == White) {
        std::string move;
        ASSERT_TRUE(engine.readMove(move));
        ASSERT_TRUE(referee.play(move)) << move;
    }
    EXPECT_GT(moves, 4);
    engine.send("force");
    EXPECT_EQ(engine.placement(), referee.placement());
    EXPECT_EQ(countMatching(engine.process.transcript, "Illegal"), 0);
    EXPECT_EQ(engine.quit(), 0);
}

const QuickReplyCase quickReplyCases[] = {
    {"UnderAClock", "level 0 0:02 0", "Hash=16\n"},
    {"AtAFixedDepth", "sd 3", "Hash=16\n"},
    {"UnderAClockWithoutInputThread", "level 0 0:02 0", "Hash=16\nUseInputThread=0\n"},
    {"AtAFixedDepthWithoutInputThread", "sd 3", "Hash=16\nUseInputThread=0\n"},
};

INSTANTIATE_TEST_SUITE_P(Limits, XBoardConcurrentReplies, testing::ValuesIn(quickReplyCases),
                         [](const testing::TestParamInfo<QuickReplyCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
