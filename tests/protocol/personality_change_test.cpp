// Scores follow the weights in force. A personality loaded, changed or
// dropped while the engine runs must give the scores of a fresh engine that
// had those weights from the start: the game position's material sums and
// the search threads' pawn tables are made from the weights, so neither may
// outlive a change. Driven through the real program, as a GUI would.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "engine_process.h"

using namespace enginetest;

namespace {

// Heavy pawn penalties: doubled isolated pawns turn from a plus into a loss.
const char* const pawnPersonality =
    "PawnDoubledMid=400\nPawnDoubledEnd=400\nPawnIsolatedMid=300\nPawnIsolatedEnd=300\n";
const char* const pawnFen = "4k3/8/8/8/8/2P5/2P5/4K3 w - - 0 1";

// Black is a queen down: the material sums decide the score.
const char* const materialPersonality = "QueenValue=2000\nPawnValue=50\n";
const char* const queenDownFen = "rnb1kbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";

constexpr int timeoutMs = 30000;

// The numbers a pattern with one group captures, line by line, in order.
std::vector<std::string> captured(const std::vector<std::string>& lines, const std::string& pattern) {
    const std::regex wanted(pattern);
    std::vector<std::string> values;
    std::smatch match;
    for (const std::string& line : lines)
        if (std::regex_search(line, match, wanted)) values.push_back(match[1]);
    return values;
}

std::vector<std::string> evalAnswers(const std::vector<std::string>& lines) {
    return captured(lines, "^eval = (-?[0-9.]+)$");
}

// The score of the last report before each "bestmove": the score of each
// search.
std::vector<std::string> searchScores(const std::vector<std::string>& lines) {
    std::vector<std::string> scores;
    std::string last;
    const std::regex score(" score cp (-?[0-9]+)");
    std::smatch match;
    for (const std::string& line : lines) {
        if (std::regex_search(line, match, score)) last = match[1];
        if (line.rfind("bestmove", 0) == 0) scores.push_back(last);
    }
    return scores;
}

// Sends the lines as a GUI does, waiting for the answer of each search
// before the next line, and collects the whole output.
std::vector<std::string> session(const TempDir& dir, const std::vector<std::string>& lines) {
    EngineProcess engine(dir.path);
    for (const std::string& line : lines) {
        engine.send(line);
        if (line.rfind("go", 0) == 0) {
            EXPECT_TRUE(engine.waitFor("^bestmove ", timeoutMs)) << line;
        }
    }
    engine.closeInput();
    engine.readAll(timeoutMs);
    EXPECT_EQ(engine.waitExit(timeoutMs), 0) << joinLines(engine.transcript);
    return engine.transcript;
}

std::vector<std::string> loadPersonality(const TempDir& dir) {
    return {"setoption name PersonalityFile value " + dir.path + "/p.ini",
            "setoption name UsePersonality value true"};
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(PersonalityChange, SearchAfterALoadUsesFreshPawnTables) {
    TempDir dir;
    dir.write("p.ini", pawnPersonality);
    const std::string position = std::string("position fen ") + pawnFen;

    // The search before the load fills the pawn tables with the built-in weights.
    const auto changed = searchScores(session(
        dir, concat(concat({"uci", position, "go depth 2", "isready"}, loadPersonality(dir)),
                    {"ucinewgame", position, "go depth 2", "isready"})));
    const auto fresh = searchScores(
        session(dir, concat(concat({"uci"}, loadPersonality(dir)), {position, "go depth 2", "isready"})));

    ASSERT_EQ(changed.size(), 2u);
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_NE(changed[0], fresh[0]) << "the personality should change the score";
    EXPECT_EQ(changed[1], fresh[0]);
}

TEST(PersonalityChange, EvalFollowsLoadingAndDroppingAPersonality) {
    TempDir dir;
    dir.write("p.ini", materialPersonality);
    const std::string position = std::string("position fen ") + queenDownFen;

    const auto changed = evalAnswers(session(
        dir, concat(concat({"uci", position, "eval"}, loadPersonality(dir)),
                    {"eval", "setoption name UsePersonality value false", "eval"})));
    const auto plain = evalAnswers(session(dir, {"uci", position, "eval"}));
    const auto withPersonality =
        evalAnswers(session(dir, concat(concat({"uci"}, loadPersonality(dir)), {position, "eval"})));

    ASSERT_EQ(changed.size(), 3u);
    ASSERT_EQ(plain.size(), 1u);
    ASSERT_EQ(withPersonality.size(), 1u);
    EXPECT_NE(plain[0], withPersonality[0]);
    EXPECT_EQ(changed[0], plain[0]);
    EXPECT_EQ(changed[1], withPersonality[0]) << "loaded";
    EXPECT_EQ(changed[2], plain[0]) << "dropped";
}

TEST(PersonalityChange, SearchAfterALoadUsesFreshMaterialSums) {
    TempDir dir;
    dir.write("p.ini", materialPersonality);
    const std::string position = std::string("position fen ") + queenDownFen;

    const auto changed = searchScores(session(
        dir, concat(concat({"uci", position}, loadPersonality(dir)), {"go depth 1", "isready"})));
    const auto fresh = searchScores(
        session(dir, concat(concat({"uci"}, loadPersonality(dir)), {position, "go depth 1", "isready"})));
    ASSERT_EQ(changed.size(), 1u);
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(changed[0], fresh[0]);
}

// The configuration loads its personality when the XBoard interpreter starts,
// after the game has been set up: the game's position must still count its
// material with the personality's values.
TEST(PersonalityChange, ConfiguredPersonalityUnderXBoardCountsTheGameWithItsValues) {
    TempDir dir;
    dir.write("p.ini", materialPersonality);
    dir.write("vorlix.ini", "UsePersonality=1\nPersonalityFile=" + dir.path + "/p.ini\n");
    const std::string afterMoves = "rnb1kbnr/pppp1pp1/8/4p2p/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 5";

    const auto played = evalAnswers(session(
        dir, {"xboard", "protover 2", "force", "e2e4", "e7e5", "g1f3", "d8h4", "f3h4", "h7h6",
              "h4f3", "h6h5", "eval", "setboard " + afterMoves, "eval"}));
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0], played[1]);
}

}  // namespace
