// A series of fast-clock games of the real program against itself with a
// different table size and thread count, refereed move by move: no illegal
// move, no crash, no hang, no loss on time. It takes minutes, so it is
// disabled in the ordinary run; start it with
//   vorlix_tests --gtest_also_run_disabled_tests --gtest_filter='UciGameSeries*'
// (VORLIX_GAMES sets the number of games, 100 by default).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine_process.h"
#include "search/engine.h"

using namespace enginetest;

namespace {

struct Player {
    const char* name;
    const char* options[2];
};

const Player players[2] = {
    {"hash 16, 1 thread", {"setoption name Hash value 16", "setoption name Threads value 1"}},
    {"hash 4, 2 threads", {"setoption name Hash value 4", "setoption name Threads value 2"}},
};

constexpr int baseMs = 1000;
constexpr int incrementMs = 10;
constexpr int maxPlies = 300;

struct Tally {
    std::mutex lock;
    int games = 0, winsFirst = 0, winsSecond = 0, draws = 0;
    int illegal = 0, crashes = 0, hangs = 0, timeLosses = 0;
    long moves = 0;
    double thinkMs = 0, longestMs = 0;
    int lowestClockMs = baseMs;
    std::vector<std::string> problems;
};

class Referee {
public:
    Engine engine;  // the rules: legal moves, keys, clocks of the board

    void newGame() {
        engine.newGame();
        keys.assign(1, engine.position.key);
        moves.clear();
    }
    bool play(const std::string& move) {
        if (!engine.applyMoves(move.c_str())) return false;
        keys.push_back(engine.position.key);
        moves += (moves.empty() ? "" : " ") + move;
        return true;
    }
    // 0 go on, 1 the side that just moved won, 2 draw.
    int verdict() {
        ScoredMove list[MaxMoves];
        const int count = engine.position.generateLegalMoves(list, engine.position.inCheck());
        if (count == 0) return engine.position.inCheck() ? 1 : 2;
        if (engine.position.halfmoveClock >= 100) return 2;
        int same = 0;
        for (Key key : keys) same += key == engine.position.key;
        if (same >= 3) return 2;
        const Position& p = engine.position;
        const Bitboard heavy = p.pieces[0][Pawn] | p.pieces[1][Pawn] | p.pieces[0][Rook] |
                               p.pieces[1][Rook] | p.pieces[0][Queen] | p.pieces[1][Queen];
        const Bitboard minor = p.pieces[0][Knight] | p.pieces[1][Knight] | p.pieces[0][Bishop] |
                               p.pieces[1][Bishop];
        if (heavy == 0 && __builtin_popcountll(minor) <= 1) return 2;
        if (int(keys.size()) > maxPlies) return 2;
        return 0;
    }
    std::vector<Key> keys;
    std::string moves;
};

bool startPlayer(EngineProcess& process, const Player& player) {
    if (!process.started()) return false;
    process.send("uci");
    if (!process.waitFor("^uciok$", 10000)) return false;
    for (const char* option : player.options) process.send(option);
    process.send("isready");
    return process.waitFor("^readyok$", 10000);
}

// Plays one game; `firstIsWhite` gives players[0] the white pieces.
void playGame(Referee& referee, bool firstIsWhite, Tally& tally) {
    TempDir dirs[2];
    std::unique_ptr<EngineProcess> process[2];
    for (int k = 0; k < 2; k++) {
        process[k].reset(new EngineProcess(dirs[k].path));
        if (!startPlayer(*process[k], players[k])) {
            std::lock_guard<std::mutex> guard(tally.lock);
            tally.crashes++;
            tally.problems.push_back(std::string("start failed: ") + players[k].name);
            return;
        }
        process[k]->send("ucinewgame");
        process[k]->send("isready");
        process[k]->waitFor("^readyok$", 10000);
    }
    referee.newGame();
    int clockMs[2] = {baseMs, baseMs};  // by colour index: 1 white, 0 black
    int result = 0;                      // 1 white won, -1 black won, 0 draw
    long moves = 0;
    double thinkMs = 0, longestMs = 0;
    int lowest = baseMs;
    std::string problem;
    bool illegal = false, crash = false, hang = false, timeLoss = false;

    for (;;) {
        const int side = referee.engine.position.sideToMove;
        EngineProcess& mover = *process[(side == White) == firstIsWhite ? 0 : 1];
        mover.send("position startpos" +
                   (referee.moves.empty() ? std::string() : " moves " + referee.moves));
        char go[128];
        std::snprintf(go, sizeof go, "go wtime %d btime %d winc %d binc %d", clockMs[White],
                      clockMs[Black], incrementMs, incrementMs);
        const auto start = std::chrono::steady_clock::now();
        mover.send(go);
        std::string answer;
        if (!mover.waitFor("^bestmove ", clockMs[side] + 5000, nullptr, &answer)) {
            hang = mover.waitExit(0) == -1;
            crash = !hang;
            problem = (hang ? "no answer" : "program ended") + std::string(" after ") + referee.moves;
            break;
        }
        const double ms = std::chrono::duration<double, std::milli>(
                              std::chrono::steady_clock::now() - start)
                              .count();
        thinkMs += ms;
        if (ms > longestMs) longestMs = ms;
        moves++;
        clockMs[side] -= int(ms);
        if (clockMs[side] < lowest) lowest = clockMs[side];
        if (clockMs[side] < 0) {
            timeLoss = true;
            problem = "time loss after " + referee.moves;
            result = side == White ? -1 : 1;
            break;
        }
        clockMs[side] += incrementMs;
        const std::string move = answer.substr(9, answer.find(' ', 9) == std::string::npos
                                                      ? std::string::npos
                                                      : answer.find(' ', 9) - 9);
        if (!referee.play(move)) {
            illegal = true;
            problem = "illegal move " + move + " after " + referee.moves;
            result = side == White ? -1 : 1;
            break;
        }
        const int verdict = referee.verdict();
        if (verdict == 1) {
            result = side == White ? 1 : -1;
            break;
        }
        if (verdict == 2) break;
    }
    for (auto& p : process) {
        p->send("quit");
        if (p->waitExit(5000) != 0 && !hang) {
            crash = true;
            problem += " (exit status not 0)";
        }
    }

    std::lock_guard<std::mutex> guard(tally.lock);
    tally.games++;
    const int firstScore = firstIsWhite ? result : -result;
    if (firstScore > 0) tally.winsFirst++;
    else if (firstScore < 0) tally.winsSecond++;
    else tally.draws++;
    tally.illegal += illegal;
    tally.crashes += crash;
    tally.hangs += hang;
    tally.timeLosses += timeLoss;
    tally.moves += moves;
    tally.thinkMs += thinkMs;
    if (longestMs > tally.longestMs) tally.longestMs = longestMs;
    if (lowest < tally.lowestClockMs) tally.lowestClockMs = lowest;
    if (!problem.empty()) tally.problems.push_back(problem);
}

TEST(UciGameSeries, DISABLED_FastGamesAgainstItself) {
    const char* requested = std::getenv("VORLIX_GAMES");
    const int games = requested ? std::atoi(requested) : 100;
    const int parallel = 3;
    std::vector<std::unique_ptr<Referee>> referees;
    for (int k = 0; k < parallel; k++) {
        referees.emplace_back(new Referee);
        referees.back()->engine.init(1);
    }
    Tally tally;
    std::atomic<int> next{0};
    std::vector<std::thread> workers;
    for (int k = 0; k < parallel; k++)
        workers.emplace_back([&, k] {
            for (int game = next++; game < games; game = next++)
                playGame(*referees[k], game % 2 == 0, tally);
        });
    for (std::thread& worker : workers) worker.join();
    for (auto& referee : referees) referee->engine.release();

    std::printf("games %d: %s won %d, %s won %d, drawn %d\n", tally.games, players[0].name,
                tally.winsFirst, players[1].name, tally.winsSecond, tally.draws);
    std::printf("moves %ld, mean %.1f ms, longest %.1f ms, lowest clock %d ms\n", tally.moves,
                tally.moves ? tally.thinkMs / double(tally.moves) : 0.0, tally.longestMs,
                tally.lowestClockMs);
    std::printf("illegal moves %d, crashes %d, hangs %d, time losses %d\n", tally.illegal,
                tally.crashes, tally.hangs, tally.timeLosses);
    for (const std::string& problem : tally.problems) std::printf("  %s\n", problem.c_str());
    EXPECT_EQ(tally.games, games);
    EXPECT_EQ(tally.illegal, 0);
    EXPECT_EQ(tally.crashes, 0);
    EXPECT_EQ(tally.hangs, 0);
    EXPECT_EQ(tally.timeLosses, 0);
}

}  // namespace
