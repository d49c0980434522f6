// The real program in a protocol session whose "stop", "ponderhit", moves,
// "?" and "quit" arrive at random moments while searches with several threads
// run, start or end. Every search must answer once, and the program must leave
// with status 0 and without a sanitizer report. The names carry "Concurrent"
// so that the thread-sanitizer run of the tests drives its own (instrumented)
// build of the program through these sessions; there a data race ends the
// program at once (halt_on_error) and its report is shown here.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "engine_process.h"
#include "xboard_test_support.h"

using namespace enginetest;

namespace {

using xboardtest::answerTimeoutMs;
using xboardtest::Referee;

// Sanitizer options for the child program: halt at the first report and
// write it into the session's directory, where the test looks for it.
class SanitizerReports {
public:
    explicit SanitizerReports(const TempDir& dir) : dir(dir) {
        for (const char* name : {"TSAN_OPTIONS", "ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
            const char* old = std::getenv(name);
            saved.push_back({name, old ? old : "", old != nullptr});
            const std::string value = std::string(old ? old : "") + " halt_on_error=1 log_path=" +
                                      dir.path + "/sanitizer";
            setenv(name, value.c_str(), 1);
        }
    }
    ~SanitizerReports() {
        for (const Saved& entry : saved) {
            if (entry.present) setenv(entry.name, entry.value.c_str(), 1);
            else unsetenv(entry.name);
        }
    }
    // Every report the program wrote, empty when there is none.
    std::string reports() const {
        std::string text;
        for (const std::string& name : dir.files())
            if (name.compare(0, 9, "sanitizer") == 0) text += dir.read(name);
        return text;
    }

private:
    struct Saved {
        const char* name;
        std::string value;
        bool present;
    };
    const TempDir& dir;
    std::vector<Saved> saved;
};

void pause(std::mt19937& random, int maxMs) {
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (maxMs * 1000 + 1)));
}

std::string movesOf(const std::vector<std::string>& moves) {
    std::string text;
    for (const std::string& move : moves) text += " " + move;
    return text;
}

TEST(ConcurrentProtocolSessions, UciStopPonderhitAndQuitAtRandomMoments) {
    for (int session = 0; session < 3; session++) {
        std::mt19937 random(7919u * unsigned(session) + 17u);
        TempDir dir;
        SanitizerReports sanitizer(dir);
        EngineProcess engine(dir.path);
        ASSERT_TRUE(engine.started());
        engine.send("uci");
        ASSERT_TRUE(engine.waitFor("^uciok$", answerTimeoutMs));
        engine.send("setoption name Threads value " + std::to_string(2 + random() % 3));
        engine.send("setoption name Hash value 4");
        engine.send("setoption name Ponder value true");
        engine.send("isready");
        ASSERT_TRUE(engine.waitFor("^readyok$", answerTimeoutMs)) << sanitizer.reports();

        Referee referee;
        std::vector<std::string> played;
        for (int round = 0; round < 10; round++) {
            engine.send("position startpos" + (played.empty() ? "" : " moves" + movesOf(played)));
            switch (random() % 4) {
                case 0:  // a ponder search that is hit or missed
                    engine.send("go ponder wtime 2000 btime 2000 winc 10 binc 10");
                    pause(random, 30);
                    engine.send(random() % 2 ? "ponderhit" : "stop");
                    break;
                case 1:
                    engine.send("go infinite");
                    pause(random, 30);
                    engine.send("stop");
                    break;
                case 2:
                    engine.send("go movetime 20");
                    break;
                default:  // a clock search, asked whether it is ready meanwhile
                    engine.send("go wtime 600 btime 600 winc 10 binc 10");
                    pause(random, 15);
                    engine.send("isready");
                    break;
            }
            std::string answer;
            ASSERT_TRUE(engine.waitFor("^bestmove ", answerTimeoutMs, nullptr, &answer))
                << "session " << session << " round " << round << "\n"
                << sanitizer.reports() << joinLines(engine.transcript);
            const std::string move = answer.substr(9, answer.find(' ', 9) - 9);
            ASSERT_TRUE(referee.play(move)) << answer;
            played.push_back(move);
            if (!referee.gameOver().empty()) {
                referee.reset();
                played.clear();
                engine.send("ucinewgame");
            }
        }
        // The last search is left running, or just started, when "quit" comes.
        engine.send("position startpos" + (played.empty() ? "" : " moves" + movesOf(played)));
        engine.send(random() % 2 ? "go infinite" : "go ponder wtime 1000 btime 1000");
        pause(random, 20);
        engine.send("quit");
        EXPECT_EQ(engine.waitExit(answerTimeoutMs), 0) << sanitizer.reports();
        EXPECT_EQ(sanitizer.reports(), "");
    }
}

// Options that the search threads read, set during a search with several
// threads: each waits for the search's end, and the very next search runs
// with it, whether that search's "go" follows "stop" or is itself what ends
// the search. With and without the input thread.
struct SearchOutput {
    std::vector<std::string> lines;  // up to the answer
    std::string answer;              // the "bestmove" line
    long long elapsedMs = 0;         // from its start to its answer (the next search only)
};

// The number after `word` in an "info" line; -1 when there is none.
long long numberAfter(const std::string& line, const std::string& word) {
    const size_t at = line.find(" " + word + " ");
    if (at == std::string::npos) return -1;
    return std::atoll(line.c_str() + at + word.size() + 2);
}

// The node count reported at `depth`; -1 when that depth was not reported.
long long nodesAtDepth(const SearchOutput& search, int depth) {
    for (const std::string& line : search.lines)
        if (line.rfind("info depth " + std::to_string(depth) + " ", 0) == 0)
            return numberAfter(line, "nodes");
    return -1;
}

std::string lastInfoLine(const SearchOutput& search) {
    for (auto it = search.lines.rbegin(); it != search.lines.rend(); ++it)
        if (it->rfind("info ", 0) == 0) return *it;
    return "";
}

struct OptionDuringSearchCase {
    const char* name;
    const char* position;              // of both searches: "startpos" or "fen ..."
    std::vector<std::string> options;  // sent while the first search runs
    const char* nextGo;                // the search that must run with them
    // Shows the options at work in the next search, against the first one.
    void (*expectEffect)(const SearchOutput& first, const SearchOutput& next);
};

const OptionDuringSearchCase optionDuringSearchCases[] = {
    {"Strength",
     "startpos",
     {"setoption name UCI_LimitStrength value true", "setoption name UCI_Elo value 1500"},
     "go nodes 150000",
     [](const SearchOutput&, const SearchOutput& next) {
         // 150,000 nodes at 1500 Elo's 150,000 nodes a second take a second;
         // at full speed a small part of it.
         EXPECT_GE(next.elapsedMs, 500) << joinLines(next.lines);
     }},
    {"PruningSwitches",
     "startpos",
     // Both searches start from an empty table, so that their node counts
     // compare.
     {"setoption name NullMovePruning value false", "setoption name LateMoveReduction value false",
      "setoption name Clear Hash"},
     "go depth 7",
     [](const SearchOutput& first, const SearchOutput& next) {
         const long long pruned = nodesAtDepth(first, 7);
         const long long full = nodesAtDepth(next, 7);
         ASSERT_GT(pruned, 0) << joinLines(first.lines);
         // About twelve times as many without either pruning.
         EXPECT_GT(full, 4 * pruned) << joinLines(next.lines);
     }},
    {"Lines",
     "startpos",
     {"setoption name MultiPV value 3"},
     "go depth 4",
     [](const SearchOutput&, const SearchOutput& next) {
         EXPECT_EQ(countMatching(next.lines, "^info multipv 3 depth 4 "), 1) << joinLines(next.lines);
     }},
    {"DrawScore",
     // Taking the rook leaves bare kings: every other move loses, so the
     // score of the search is the draw score.
     "fen k7/8/8/8/8/8/4r3/4K3 w - - 0 1",
     {"setoption name DrawScore value 50"},
     "go depth 7",
     [](const SearchOutput& first, const SearchOutput& next) {
         EXPECT_NE(lastInfoLine(first).find(" score cp 0 "), std::string::npos)
             << joinLines(first.lines);
         EXPECT_TRUE(std::regex_search(lastInfoLine(next), std::regex(" score cp -?50 ")))
             << joinLines(next.lines);
     }},
    {"Ponder",
     "startpos",
     {"setoption name Ponder value true"},
     "go depth 4",
     [](const SearchOutput& first, const SearchOutput& next) {
         EXPECT_EQ(first.answer.find(" ponder "), std::string::npos) << first.answer;
         EXPECT_TRUE(std::regex_search(next.answer, std::regex("^bestmove \\S+ ponder \\S+$")))
             << next.answer;
     }},
};

void PrintTo(const OptionDuringSearchCase& c, std::ostream* out) { *out << c.name; }

class ConcurrentUciOptions
    : public testing::TestWithParam<std::tuple<OptionDuringSearchCase, bool, bool>> {};

TEST_P(ConcurrentUciOptions, SetDuringASearchTheyWaitForItsEndAndApplyToTheNext) {
    const OptionDuringSearchCase& c = std::get<0>(GetParam());
    const bool inputThread = std::get<1>(GetParam());
    const bool stopFirst = std::get<2>(GetParam());
    TempDir dir;
    dir.write("vorlix.ini", std::string("LogLevel=127\nHash=4\n") +
                                (inputThread ? "" : "UseInputThread=0\n"));
    SanitizerReports sanitizer(dir);
    EngineProcess engine(dir.path);
    ASSERT_TRUE(engine.started());
    engine.send("uci");
    engine.send("setoption name Threads value 3");
    engine.send(std::string("position ") + c.position);
    engine.send("go infinite");
    SearchOutput first, next;
    std::string line;
    ASSERT_TRUE(engine.waitFor("^info depth 7 ", answerTimeoutMs, &first.lines, &line))
        << sanitizer.reports();
    first.lines.push_back(line);
    // Deeper, the search reports less often: between the options and its end
    // it writes nothing, so it shares no lock with the commands' thread that
    // would hide a race from the thread sanitizer.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // The search can only end by the command that follows them, so they are
    // read while it runs.
    for (const std::string& option : c.options) engine.send(option);
    auto nextStarted = std::chrono::steady_clock::now();
    if (stopFirst) {
        engine.send("stop");
        ASSERT_TRUE(engine.waitFor("^bestmove ", answerTimeoutMs, &first.lines, &first.answer))
            << sanitizer.reports();
        nextStarted = std::chrono::steady_clock::now();
        engine.send(c.nextGo);
    } else {
        // The "go" ends the search that runs; the next one starts after its
        // answer.
        engine.send(c.nextGo);
        ASSERT_TRUE(engine.waitFor("^bestmove ", answerTimeoutMs, &first.lines, &first.answer))
            << sanitizer.reports();
        nextStarted = std::chrono::steady_clock::now();
    }
    ASSERT_TRUE(engine.waitFor("^bestmove ", answerTimeoutMs, &next.lines, &next.answer))
        << sanitizer.reports() << joinLines(engine.transcript);
    next.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - nextStarted)
                         .count();
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(answerTimeoutMs), 0) << sanitizer.reports();
    EXPECT_EQ(sanitizer.reports(), "");

    // The next search answers for the position the GUI set: the search that
    // ended before it played no move into the game.
    Referee referee;
    if (c.position[0] == 'f') {
        ASSERT_TRUE(referee.setFen(c.position + 4));
    }
    const std::string move = next.answer.substr(9, next.answer.find(' ', 9) - 9);
    EXPECT_TRUE(referee.isLegal(move)) << next.answer << "\n" << joinLines(engine.transcript);

    const std::string log = dir.read("logfile.txt");
    const size_t answered = log.find(">> bestmove");
    ASSERT_NE(answered, std::string::npos) << log;
    for (const std::string& option : c.options) {
        const size_t deferred = log.find("option applied after the search: " + option);
        ASSERT_NE(deferred, std::string::npos) << option << "\n" << log;
        EXPECT_LT(deferred, answered) << option;
    }
    c.expectEffect(first, next);
}

INSTANTIATE_TEST_SUITE_P(
    Options, ConcurrentUciOptions,
    testing::Combine(testing::ValuesIn(optionDuringSearchCases), testing::Bool(), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<OptionDuringSearchCase, bool, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "WithInputThread" : "WithoutInputThread") +
               (std::get<2>(info.param) ? "NextGoAfterStop" : "NextGoEndsTheSearch");
    });

TEST(ConcurrentProtocolSessions, XBoardMovesMoveNowAndQuitAtRandomMoments) {
    for (int session = 0; session < 3; session++) {
        std::mt19937 random(104729u * unsigned(session) + 3u);
        TempDir dir;
        dir.write("vorlix.ini", "Hash=4\nMaxThreads=" + std::to_string(2 + session) + "\n");
        SanitizerReports sanitizer(dir);
        xboardtest::XBoardEngine engine(dir);
        ASSERT_TRUE(engine.handshake()) << sanitizer.reports();
        engine.send("new");
        engine.send("level 0 0:03 0.02");
        engine.send("hard");  // pondering: our replies hit or miss its guess
        engine.send("post");
        ASSERT_TRUE(engine.sync()) << sanitizer.reports();

        Referee referee;
        engine.send("go");  // it plays white
        for (int round = 0; round < 10; round++) {
            std::string move;
            if (random() % 4 == 0) {
                pause(random, 20);
                engine.send("?");  // move now, perhaps just as it moves anyway
            }
            ASSERT_TRUE(engine.readMove(move))
                << "session " << session << " round " << round << "\n"
                << sanitizer.reports() << joinLines(engine.process.transcript);
            ASSERT_TRUE(referee.play(move)) << move;
            if (!referee.gameOver().empty()) break;
            pause(random, 30);
            const std::vector<std::string> replies = referee.legalMoves();
            const std::string reply = replies[random() % replies.size()];
            referee.play(reply);
            if (!referee.gameOver().empty()) break;
            engine.send("time 300");
            engine.send("otim 300");
            engine.send(reply);
        }
        pause(random, 20);
        engine.send("quit");
        EXPECT_EQ(engine.process.waitExit(answerTimeoutMs), 0) << sanitizer.reports();
        EXPECT_EQ(sanitizer.reports(), "");
    }
}

}  // namespace
