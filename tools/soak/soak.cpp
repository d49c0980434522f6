// A long series of fast-clock games between engine processes, refereed as a
// GUI would referee them: UCI and XBoard, pondering on and off, 1 to 8 search
// threads, random table sizes, standard and shuffled (Chess960) starts, and
// several builds of the program. Every move is checked against two rule
// books; crashes, hangs (no answer within a generous limit) and time losses
// (a clock that falls below zero as the referee keeps it) are counted and
// reported with the game and the last lines exchanged.
//
//   vorlix_soak --games 1000 --parallel 4 --bin build/bin [--cores 8]
//               [--elo 1000] [--reduce-speed 1000]   every program slowed
//   vorlix_soak --selftest 2000     random games: the two rule books agree
//
// The exit status is 0 when nothing went wrong.

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/attacks.h"
#include "child_program.h"
#include "launch/program_launch.h"
#include "launch/temp_dir.h"
#include "referee_board.h"
#include "rules88.h"

namespace soak {
namespace {

// Patience beyond the mover's own clock before an answer counts as a hang.
constexpr int hangMarginMs = 10000;
constexpr int startupLimitMs = 30000;
constexpr int exitLimitMs = 10000;
constexpr int plyCap = 400;

struct PlayerSetup {
    std::string program;  // file name inside the binary directory
    int threads = 1;
    int hashMb = 16;
    bool ponder = false;
    bool inputThread = true;
    bool post = true;  // XBoard thinking lines
    // Slowed play, through the configuration file (0: not used): a reduced
    // strength, and a personality whose only key is its speed limit.
    int elo = 0;
    int reduceSpeed = 0;
};

struct GameSetup {
    int index = 0;
    bool xboard = false;
    bool chess960 = false;
    int backRank[8] = {RookKind, KnightKind, BishopKind, QueenKind,
                       KingKind, BishopKind, KnightKind, RookKind};
    int openingPlies = 0;  // random moves played before the clocks start
    int baseMs = 1000;
    int incrementMs = 10;
    bool quitWhilePondering = false;
    PlayerSetup players[2];  // by colour: [1] white, [0] black
    uint64_t seed = 0;
};

struct Figures {
    int games = 0, uciGames = 0, uci960Games = 0, xboardGames = 0;
    int whiteWins = 0, blackWins = 0, draws = 0;
    std::map<std::string, int> endings;
    long moves = 0;
    double thinkMs = 0, longestMoveMs = 0, lowestClockMs = 1e18;
    int illegalMoves = 0, generatorDifferences = 0, illegalPonderMoves = 0, illegalPvLines = 0;
    int rejectedMoves = 0, unexpectedAnswers = 0;
    int crashes = 0, hangs = 0, timeLosses = 0;
    long pvLinesChecked = 0, ponderHits = 0, ponderMisses = 0;
    std::vector<std::string> problems;
};

std::mutex outputLock;

std::string describe(const PlayerSetup& p) {
    return p.program + " t" + std::to_string(p.threads) + " h" + std::to_string(p.hashMb) +
           (p.ponder ? " ponder" : "") + (p.inputThread ? "" : " no-input-thread") +
           (p.elo ? " elo " + std::to_string(p.elo) : "") +
           (p.reduceSpeed ? " nps " + std::to_string(p.reduceSpeed) : "");
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

struct Player {
    PlayerSetup setup;
    TempDir dir{"vorlix_soak"};
    ChildProgram program;
    const char* colour = "";
    // UCI pondering: the expected reply and the board the ponder search is on.
    bool pondering = false;
    std::string ponderMove;
    Board88 searchBoard;  // the position the current search started from
    // XBoard: the board after the engine's own move (its "Hint" belongs
    // there) and after the hinted reply.
    Board88 afterOwnMove;
    Board88 hintBoard;
    bool hintKnown = false;
    bool needsGo = false;  // XBoard: left in force mode by the opening
    int pings = 0;
};

// One game and what went wrong in it.
class Game {
public:
    Game(const GameSetup& setup, const std::string& binDir, Figures& figures)
        : setup(setup), binDir(binDir), figures(figures) {}

    void play();

private:
    enum class Outcome { GoOn, Over };

    bool startPlayer(Player& p);
    bool startUci(Player& p);
    bool startXBoard(Player& p);
    void playUci();
    void playXBoard();
    void finishPlayers();

    // Reads lines until one begins with `prefix`; search output on the way is
    // checked. False on a time-out or the end of output (then counted).
    bool await(Player& p, const char* prefix, SteadyClock::time_point deadline, std::string& line,
               const char* waitingFor);
    void checkLine(Player& p, const std::string& line);
    bool pvIsLegal(Board88 board, const std::vector<std::string>& words, size_t first);
    // The side to move played `move` after `elapsedMs`: clocks, legality,
    // the end of the game.
    Outcome afterMove(int side, const std::string& move, double elapsedMs);
    void problem(const std::string& what, Player* p);
    void lose(int side, const std::string& reason);
    std::string uciPosition(const std::vector<std::string>& extra = {}) const;
    std::string goClocks() const;
    std::string centiseconds(double ms) const {
        return std::to_string(ms <= 0 ? 0 : long(ms / 10.0));
    }

    const GameSetup& setup;
    const std::string& binDir;
    Figures& figures;
    RefereeBoard board;
    std::unique_ptr<Player> players[2];
    double clockMs[2] = {0, 0};
    std::string ending;
    int winner = -1;
    bool aborted = false;  // a fault ended the game
    // Figures of this game, added to the series at the end.
    Figures mine;
};

void Game::problem(const std::string& what, Player* p) {
    std::string text = "game " + std::to_string(setup.index) + " (seed " + std::to_string(setup.seed) +
                       ", " + (setup.xboard ? "xboard" : setup.chess960 ? "uci chess960" : "uci") +
                       ", start " + board.startFen() + "): " + what + "\n    moves: " + board.moveText() + "\n";
    if (p) text += "    " + std::string(p->colour) + " " + describe(p->setup) + ", last lines:\n" +
                   p->program.recentLines();
    mine.problems.push_back(text);
}

void Game::lose(int side, const std::string& reason) {
    if (!ending.empty()) return;
    ending = reason;
    winner = side ^ 1;
    aborted = true;
}

bool Game::pvIsLegal(Board88 b, const std::vector<std::string>& words, size_t first) {
    for (size_t k = first; k < words.size(); k++)
        if (!b.play(words[k])) return false;
    return true;
}

void Game::checkLine(Player& p, const std::string& line) {
    if (line.find("Illegal move") != std::string::npos) {
        mine.rejectedMoves++;
        problem("the engine rejected a move: " + line, &p);
        return;
    }
    const std::vector<std::string> words = split(line);
    if (words.empty()) return;
    if (!setup.xboard) {
        if (words[0] != "info") return;
        const auto pv = std::find(words.begin(), words.end(), "pv");
        if (pv == words.end()) return;
        mine.pvLinesChecked++;
        if (!pvIsLegal(p.searchBoard, words, size_t(pv - words.begin()) + 1)) {
            mine.illegalPvLines++;
            problem("principal variation with an illegal move from " + p.searchBoard.fen() + ": " + line, &p);
        }
        return;
    }
    if (words[0] == "Hint:" && words.size() >= 2) {
        p.hintBoard = p.afterOwnMove;
        p.hintKnown = p.hintBoard.play(words[1]);
        if (!p.hintKnown) {
            mine.illegalPonderMoves++;
            problem("illegal hint " + words[1] + " in " + p.afterOwnMove.fen(), &p);
        }
        return;
    }
    // Thinking lines: depth, score, time, nodes, moves.
    if (words.size() >= 5 && std::isdigit(static_cast<unsigned char>(words[0][0]))) {
        mine.pvLinesChecked++;
        // The line may still come from a ponder search on the hinted reply.
        if (pvIsLegal(board.rules(), words, 4)) return;
        if (p.hintKnown && pvIsLegal(p.hintBoard, words, 4)) return;
        mine.illegalPvLines++;
        problem("thinking line with an illegal move from " + board.fen() + ": " + line, &p);
    }
}

bool Game::await(Player& p, const char* prefix, SteadyClock::time_point deadline, std::string& line,
                 const char* waitingFor) {
    for (;;) {
        const ChildProgram::Read got = p.program.readLine(line, deadline);
        if (got == ChildProgram::Read::Line) {
            if (startsWith(line, prefix)) return true;
            checkLine(p, line);
            continue;
        }
        // Ended output, or silence: did the program die?
        const int status = got == ChildProgram::Read::Ended ? p.program.waitExit(2000)
                                                             : (p.program.ended() ? p.program.exitStatus() : -2);
        if (status == -2) {
            mine.hangs++;
            problem(std::string("no answer (hang) while waiting for ") + waitingFor, &p);
            p.program.kill();
        } else {
            mine.crashes++;
            problem(std::string("the program ended (status ") + std::to_string(status) +
                        ") while waiting for " + waitingFor,
                    &p);
        }
        return false;
    }
}

std::string Game::uciPosition(const std::vector<std::string>& extra) const {
    std::string text = setup.chess960 ? "position fen " + board.startFen() : "position startpos";
    std::string moves = board.moveText();
    for (const std::string& move : extra) moves += (moves.empty() ? "" : " ") + move;
    if (!moves.empty()) text += " moves " + moves;
    return text;
}

std::string Game::goClocks() const {
    char text[128];
    std::snprintf(text, sizeof text, "wtime %ld btime %ld winc %d binc %d",
                  std::max(0L, long(clockMs[1])), std::max(0L, long(clockMs[0])), setup.incrementMs,
                  setup.incrementMs);
    return text;
}

bool Game::startPlayer(Player& p) {
    if (p.dir.path.empty()) {
        problem("no working directory", &p);
        return false;
    }
    // The configuration file is how an XBoard GUI sets threads and table
    // size; for UCI it only carries the input-thread switch.
    {
        std::ofstream ini(p.dir.path + "/vorlix.ini");
        ini << "Hash=" << p.setup.hashMb << "\nMaxThreads=" << p.setup.threads
            << "\nUseInputThread=" << (p.setup.inputThread ? 1 : 0) << "\n";
        if (p.setup.elo) ini << "UseStrength=1\nStrengthELO=" << p.setup.elo << "\n";
        if (p.setup.reduceSpeed) {
            std::ofstream(p.dir.path + "/slow.ini") << "ReduceSpeed=" << p.setup.reduceSpeed << "\n";
            ini << "UsePersonality=1\nPersonalityFile=" << p.dir.path << "/slow.ini\n";
        }
    }
    if (!p.program.start(binDir + "/" + p.setup.program, p.dir.path)) {
        mine.crashes++;
        problem("the program could not be started", &p);
        return false;
    }
    return setup.xboard ? startXBoard(p) : startUci(p);
}

bool Game::startUci(Player& p) {
    std::string line;
    auto limit = [] { return SteadyClock::now() + std::chrono::milliseconds(startupLimitMs); };
    p.program.send("uci");
    if (!await(p, "uciok", limit(), line, "uciok")) return false;
    p.program.send("setoption name Hash value " + std::to_string(p.setup.hashMb));
    p.program.send("setoption name Threads value " + std::to_string(p.setup.threads));
    p.program.send(std::string("setoption name Ponder value ") + (p.setup.ponder ? "true" : "false"));
    if (setup.chess960) p.program.send("setoption name UCI_Chess960 value true");
    p.program.send("isready");
    if (!await(p, "readyok", limit(), line, "readyok")) return false;
    p.program.send("ucinewgame");
    p.program.send("isready");
    return await(p, "readyok", limit(), line, "readyok after ucinewgame");
}

bool Game::startXBoard(Player& p) {
    std::string line;
    auto limit = [] { return SteadyClock::now() + std::chrono::milliseconds(startupLimitMs); };
    p.program.send("xboard");
    p.program.send("protover 2");
    if (!await(p, "feature done=1", limit(), line, "the feature list")) return false;
    p.program.send("new");
    // Whole seconds in the base time, the increment in seconds.
    char level[64];
    std::snprintf(level, sizeof level, "level 0 %d:%02d %.3f", setup.baseMs / 60000,
                  setup.baseMs / 1000 % 60, setup.incrementMs / 1000.0);
    p.program.send(level);
    p.program.send(p.setup.ponder ? "hard" : "easy");
    p.program.send(p.setup.post ? "post" : "nopost");
    p.program.send("ping " + std::to_string(++p.pings));
    return await(p, ("pong " + std::to_string(p.pings)).c_str(), limit(), line, "pong");
}

Game::Outcome Game::afterMove(int side, const std::string& move, double elapsedMs) {
    Player& p = *players[side];
    mine.moves++;
    mine.thinkMs += elapsedMs;
    mine.longestMoveMs = std::max(mine.longestMoveMs, elapsedMs);
    clockMs[side] -= elapsedMs;
    mine.lowestClockMs = std::min(mine.lowestClockMs, clockMs[side]);
    if (clockMs[side] < 0) {
        mine.timeLosses++;
        char text[160];
        std::snprintf(text, sizeof text, "time loss: %s took %.1f ms, clock %.1f ms", move.c_str(),
                      elapsedMs, clockMs[side]);
        problem(text, &p);
        lose(side, "time");
        return Outcome::Over;
    }
    clockMs[side] += setup.incrementMs;
    const std::string before = board.fen();
    const RefereeBoard::Verdict verdict = board.play(move);
    if (verdict != RefereeBoard::Verdict::Legal) {
        const char* kind = verdict == RefereeBoard::Verdict::Illegal ? "illegal move "
                           : verdict == RefereeBoard::Verdict::OnlyEngineRules
                               ? "move only the engine's rules allow: "
                               : "move only the independent rules allow: ";
        if (verdict == RefereeBoard::Verdict::Illegal) mine.illegalMoves++;
        else mine.generatorDifferences++;
        problem(kind + move + " in " + before, &p);
        lose(side, "illegal move");
        return Outcome::Over;
    }
    const std::string difference = board.generatorDifference();
    if (!difference.empty()) {
        mine.generatorDifferences++;
        problem("the rule books disagree: " + difference, nullptr);
    }
    ending = board.ending(winner);
    if (ending.empty() && board.plies() >= plyCap) ending = "ply cap";
    return ending.empty() ? Outcome::GoOn : Outcome::Over;
}

void Game::playUci() {
    std::string line;
    std::string lastMove;
    for (;;) {
        const int side = board.rules().sideToMove();
        Player& p = *players[side];
        auto start = SteadyClock::now();
        auto deadline = [&] {
            return start + std::chrono::milliseconds(long(std::max(0.0, clockMs[side])) + hangMarginMs);
        };
        if (p.pondering) {
            p.pondering = false;
            // Nothing may have come while the engine pondered but search output.
            while (p.program.readLine(line, SteadyClock::now()) == ChildProgram::Read::Line) {
                if (startsWith(line, "bestmove")) {
                    mine.unexpectedAnswers++;
                    problem("bestmove while pondering, before ponderhit or stop: " + line, &p);
                } else {
                    checkLine(p, line);
                }
            }
            if (lastMove == p.ponderMove) {
                mine.ponderHits++;
                p.program.send("ponderhit");
            } else {
                mine.ponderMisses++;
                p.program.send("stop");
                if (!await(p, "bestmove", deadline(), line, "bestmove after stop of a ponder search")) {
                    lose(side, "fault");
                    return;
                }
                const std::vector<std::string> words = split(line);
                Board88 check = p.searchBoard;
                const bool nothingToPlay = check.legalMoves().empty();  // pondered into a mate
                if (words.size() < 2 || (!check.play(words[1]) && !nothingToPlay)) {
                    mine.illegalPonderMoves++;
                    problem("illegal bestmove after a ponder miss: " + line + " in " + p.searchBoard.fen(), &p);
                }
                p.searchBoard = board.rules();
                p.program.send(uciPosition());
                p.program.send("go " + goClocks());
            }
        } else {
            p.searchBoard = board.rules();
            p.program.send(uciPosition());
            p.program.send("go " + goClocks());
        }
        if (!await(p, "bestmove", deadline(), line, "bestmove")) {
            lose(side, "fault");
            return;
        }
        const double elapsed =
            std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
        const std::vector<std::string> words = split(line);
        const std::string move = words.size() >= 2 ? words[1] : std::string("(none)");
        if (afterMove(side, move, elapsed) == Outcome::Over) return;
        lastMove = move;
        // Pondering on the expected reply while the opponent thinks.
        if (p.setup.ponder && words.size() >= 4 && words[2] == "ponder" && words[3] != "0000") {
            Board88 ponderBoard = board.rules();
            if (!ponderBoard.play(words[3])) {
                mine.illegalPonderMoves++;
                problem("illegal ponder move " + words[3] + " in " + board.fen(), &p);
            } else {
                p.searchBoard = ponderBoard;
                p.ponderMove = words[3];
                p.pondering = true;
                p.program.send(uciPosition({words[3]}));
                p.program.send("go ponder " + goClocks());
            }
        }
    }
}

void Game::playXBoard() {
    std::string line;
    // The opening moves go to both programs in force mode; the program to
    // move is then told "go", the other one gets "go" after its first move.
    int side = board.rules().sideToMove();
    if (!board.moves().empty()) {
        for (auto& p : players) {
            p->program.send("force");
            for (const std::string& move : board.moves()) p->program.send(move);
            p->needsGo = true;
        }
    }
    {
        Player& first = *players[side];
        first.program.send("time " + centiseconds(clockMs[side]));
        first.program.send("otim " + centiseconds(clockMs[side ^ 1]));
        first.program.send("go");
        first.needsGo = false;
    }
    auto start = SteadyClock::now();
    for (;;) {
        side = board.rules().sideToMove();
        Player& p = *players[side];
        const auto deadline = start + std::chrono::milliseconds(long(std::max(0.0, clockMs[side])) + hangMarginMs);
        if (!await(p, "move ", deadline, line, "move")) {
            lose(side, "fault");
            return;
        }
        const double elapsed =
            std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
        const std::string move = line.substr(5);
        if (afterMove(side, move, elapsed) == Outcome::Over) return;
        p.afterOwnMove = board.rules();
        p.hintKnown = false;
        Player& next = *players[side ^ 1];
        next.program.send("time " + centiseconds(clockMs[side ^ 1]));
        next.program.send("otim " + centiseconds(clockMs[side]));
        start = SteadyClock::now();
        next.program.send(move);
        if (next.needsGo) {
            next.program.send("go");
            next.needsGo = false;
        }
    }
}

void Game::finishPlayers() {
    const std::string result = winner == 1 ? "1-0" : winner == 0 ? "0-1" : "1/2-1/2";
    for (auto& p : players) {
        if (!p || p->program.ended()) continue;
        std::string line;
        if (setup.xboard) {
            if (!setup.quitWhilePondering) p->program.send("result " + result + " {" + ending + "}");
        } else if (p->pondering && !setup.quitWhilePondering) {
            p->program.send("stop");
            if (!await(*p, "bestmove", SteadyClock::now() + std::chrono::milliseconds(hangMarginMs), line,
                       "bestmove after the final stop"))
                continue;
        }
        p->program.send("quit");
        const int status = p->program.waitExit(exitLimitMs);
        if (status == -1) {
            mine.hangs++;
            problem("no exit within " + std::to_string(exitLimitMs) + " ms after quit", p.get());
        } else if (status != 0) {
            mine.crashes++;
            problem("exit status " + std::to_string(status) + " after quit", p.get());
        }
    }
}

void Game::play() {
    std::mt19937_64 random(setup.seed);
    board.start(setup.backRank, setup.chess960);
    // A few random opening moves give the series its variety of positions.
    for (int ply = 0; ply < setup.openingPlies; ply++) {
        const std::vector<std::string> moves = board.rules().legalMoveTexts();
        int ignored;
        if (moves.empty() || !board.ending(ignored).empty()) break;
        board.play(moves[random() % moves.size()]);
    }
    int ignored;
    if (!board.ending(ignored).empty()) board.start(setup.backRank, setup.chess960);
    const std::string difference = board.generatorDifference();
    if (!difference.empty()) {
        mine.generatorDifferences++;
        problem("the rule books disagree: " + difference, nullptr);
    }

    clockMs[0] = clockMs[1] = setup.baseMs;
    bool started = true;
    for (int colour = 1; colour >= 0; colour--) {
        players[colour].reset(new Player);
        players[colour]->setup = setup.players[colour];
        players[colour]->colour = colour == 1 ? "white" : "black";
        if (started && !startPlayer(*players[colour])) {
            started = false;
            lose(colour, "fault at start");
        }
    }
    if (started) {
        if (setup.xboard) playXBoard();
        else playUci();
    }
    finishPlayers();

    mine.games = 1;
    (setup.xboard ? mine.xboardGames : setup.chess960 ? mine.uci960Games : mine.uciGames) = 1;
    if (winner == 1) mine.whiteWins = 1;
    else if (winner == 0) mine.blackWins = 1;
    else mine.draws = 1;
    mine.endings[ending]++;

    std::lock_guard<std::mutex> guard(outputLock);
    std::printf("game %4d %-12s %3d plies %-8s %-12s white %s; black %s; %d+%d ms\n", setup.index,
                setup.xboard ? "xboard" : setup.chess960 ? "uci chess960" : "uci", board.plies(),
                winner == 1 ? "1-0" : winner == 0 ? "0-1" : "1/2-1/2", ending.c_str(),
                describe(setup.players[1]).c_str(), describe(setup.players[0]).c_str(), setup.baseMs,
                setup.incrementMs);
    for (const std::string& text : mine.problems) std::printf("  PROBLEM %s", text.c_str());
    std::fflush(stdout);
    Figures& f = figures;
    f.games += mine.games, f.uciGames += mine.uciGames, f.uci960Games += mine.uci960Games;
    f.xboardGames += mine.xboardGames;
    f.whiteWins += mine.whiteWins, f.blackWins += mine.blackWins, f.draws += mine.draws;
    for (const auto& entry : mine.endings) f.endings[entry.first] += entry.second;
    f.moves += mine.moves, f.thinkMs += mine.thinkMs;
    f.longestMoveMs = std::max(f.longestMoveMs, mine.longestMoveMs);
    f.lowestClockMs = std::min(f.lowestClockMs, mine.lowestClockMs);
    f.illegalMoves += mine.illegalMoves, f.generatorDifferences += mine.generatorDifferences;
    f.illegalPonderMoves += mine.illegalPonderMoves, f.illegalPvLines += mine.illegalPvLines;
    f.rejectedMoves += mine.rejectedMoves, f.unexpectedAnswers += mine.unexpectedAnswers;
    f.crashes += mine.crashes, f.hangs += mine.hangs, f.timeLosses += mine.timeLosses;
    f.pvLinesChecked += mine.pvLinesChecked;
    f.ponderHits += mine.ponderHits, f.ponderMisses += mine.ponderMisses;
    f.problems.insert(f.problems.end(), mine.problems.begin(), mine.problems.end());
}

// A shuffled back rank: bishops on squares of both colours, the king between
// the rooks.
void shuffledBackRank(std::mt19937_64& random, int backRank[8]) {
    for (int file = 0; file < 8; file++) backRank[file] = NoKind;
    backRank[2 * int(random() % 4)] = BishopKind;
    backRank[2 * int(random() % 4) + 1] = BishopKind;
    auto placeOnFree = [&](int kind) {
        std::vector<int> free;
        for (int file = 0; file < 8; file++)
            if (backRank[file] == NoKind) free.push_back(file);
        backRank[free[random() % free.size()]] = kind;
    };
    placeOnFree(QueenKind);
    placeOnFree(KnightKind);
    placeOnFree(KnightKind);
    const int order[3] = {RookKind, KingKind, RookKind};
    int next = 0;
    for (int file = 0; file < 8; file++)
        if (backRank[file] == NoKind) backRank[file] = order[next++];
}

GameSetup makeSetup(int index, uint64_t seriesSeed, const std::vector<std::string>& programs,
                    const std::string& protocols) {
    GameSetup s;
    s.index = index;
    s.seed = seriesSeed * 1000003u + uint64_t(index);
    std::mt19937_64 random(s.seed);
    auto chance = [&](int percent) { return int(random() % 100) < percent; };
    s.xboard = protocols == "xboard" || (protocols != "uci" && index % 2 == 1);
    s.chess960 = !s.xboard && chance(30);
    if (s.chess960) shuffledBackRank(random, s.backRank);
    s.openingPlies = int(random() % 7);
    s.baseMs = s.xboard ? 1000 * (1 + int(random() % 2)) : 1000 + int(random() % 1001);
    s.incrementMs = 10 + int(random() % 11);
    s.quitWhilePondering = chance(30);
    static const int hashSizes[] = {1, 2, 4, 8, 16, 32, 64, 128};
    for (PlayerSetup& p : s.players) {
        // Half of the programs are the main build, the rest spread over the
        // other builds found.
        p.program = programs.size() > 1 && chance(50) ? programs[1 + random() % (programs.size() - 1)]
                                                      : programs[0];
        p.threads = 1 + int(random() % 8);
        p.hashMb = hashSizes[random() % 8];
        p.ponder = chance(50);
        p.inputThread = !chance(15);
        p.post = chance(70);
    }
    return s;
}

// Random games with both rule books: they must agree at every position.
int selfTest(int games, uint64_t seed) {
    std::mt19937_64 random(seed);
    long positions = 0;
    int differences = 0;
    for (int game = 0; game < games; game++) {
        GameSetup s;
        const bool shuffled = game % 2 == 1;
        if (shuffled) shuffledBackRank(random, s.backRank);
        RefereeBoard board;
        board.start(s.backRank, shuffled);
        for (int ply = 0; ply < 300; ply++) {
            positions++;
            const std::string difference = board.generatorDifference();
            if (!difference.empty()) {
                if (++differences <= 20) std::printf("difference: %s\n", difference.c_str());
                break;
            }
            int winner;
            if (!board.ending(winner).empty()) break;
            const std::vector<std::string> moves = board.rules().legalMoveTexts();
            // Prefer captures, castling and promotions now and then so that the
            // rarer rules come up often.
            std::string chosen = moves[random() % moves.size()];
            if (board.play(chosen) != RefereeBoard::Verdict::Legal) {
                std::printf("move %s refused in %s\n", chosen.c_str(), board.fen().c_str());
                differences++;
                break;
            }
        }
    }
    std::printf("self test: %d games, %ld positions, %d differences\n", games, positions, differences);
    return differences == 0 ? 0 : 1;
}

long perft(const Board88& board, int depth) {
    if (depth == 0) return 1;
    long nodes = 0;
    for (const Move88& move : board.legalMoves()) {
        Board88 next = board;
        next.make(move);
        nodes += perft(next, depth - 1);
    }
    return nodes;
}

void printSummary(const Figures& f, double wallSeconds) {
    std::printf("\n==== soak summary ====\n");
    std::printf("games %d (uci %d, uci chess960 %d, xboard %d) in %.0f s\n", f.games, f.uciGames,
                f.uci960Games, f.xboardGames, wallSeconds);
    std::printf("results: white won %d, black won %d, drawn %d\n", f.whiteWins, f.blackWins, f.draws);
    std::printf("endings:");
    for (const auto& entry : f.endings) std::printf(" %s %d;", entry.first.c_str(), entry.second);
    std::printf("\nmoves %ld, mean move %.1f ms, longest move %.1f ms, lowest clock left %.1f ms\n",
                f.moves, f.moves ? f.thinkMs / double(f.moves) : 0.0, f.longestMoveMs,
                f.lowestClockMs > 1e17 ? 0.0 : f.lowestClockMs);
    std::printf("ponder hits %ld, ponder misses %ld (uci), thinking lines checked %ld\n", f.ponderHits,
                f.ponderMisses, f.pvLinesChecked);
    std::printf("illegal moves %d, rule-book differences %d, illegal ponder/hint moves %d, "
                "illegal pv lines %d\n",
                f.illegalMoves, f.generatorDifferences, f.illegalPonderMoves, f.illegalPvLines);
    std::printf("moves rejected by an engine %d, unexpected answers %d\n", f.rejectedMoves,
                f.unexpectedAnswers);
    std::printf("crashes %d, hangs %d, time losses %d\n", f.crashes, f.hangs, f.timeLosses);
    std::fflush(stdout);
}

int usage() {
    std::fprintf(stderr,
                 "usage: vorlix_soak [--games N] [--parallel N] [--bin DIR] [--seed N]\n"
                 "                   [--protocol uci|xboard|both] [--programs a,b,...]\n"
                 "                   [--cores N] [--elo N] [--reduce-speed N]\n"
                 "       vorlix_soak --selftest GAMES\n");
    return 2;
}

}  // namespace
}  // namespace soak

int main(int argc, char** argv) {
    using namespace soak;
    signal(SIGPIPE, SIG_IGN);
    initAttackTables();

    int games = 1000, parallel = 4, selftestGames = 0, elo = 0, reduceSpeed = 0;
    int cores = int(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
    uint64_t seed = 1;
    std::string binDir = "build/bin", protocols = "both";
    std::string programList = "vorlix-x64-popcnt,vorlix-x64,vorlix-x86,vorlix-x64-static,"
                              "vorlix-x64-popcnt-static,vorlix-x86-static";
    for (int k = 1; k < argc; k++) {
        const std::string arg = argv[k];
        if (k + 1 >= argc) return usage();
        const std::string value = argv[++k];
        if (arg == "--games") games = std::atoi(value.c_str());
        else if (arg == "--parallel") parallel = std::max(1, std::atoi(value.c_str()));
        else if (arg == "--bin") binDir = value;
        else if (arg == "--cores") cores = std::max(1, std::atoi(value.c_str()));
        else if (arg == "--seed") seed = std::strtoull(value.c_str(), nullptr, 10);
        else if (arg == "--protocol") protocols = value;
        else if (arg == "--programs") programList = value;
        else if (arg == "--selftest") selftestGames = std::atoi(value.c_str());
        else if (arg == "--elo") elo = std::atoi(value.c_str());
        else if (arg == "--reduce-speed") reduceSpeed = std::atoi(value.c_str());
        else return usage();
    }
    if (selftestGames > 0) {
        Board88 start;
        start.setStandardStart();
        const long nodes = perft(start, 4);
        std::printf("independent rules: perft 4 of the start position %ld (197281 expected)\n", nodes);
        return selfTest(selftestGames, seed) | (nodes == 197281 ? 0 : 1);
    }

    // The programs run in directories of their own.
    if (char* absolute = realpath(binDir.c_str(), nullptr)) {
        binDir = absolute;
        free(absolute);
    }
    // The builds present in the binary directory, the main build first.
    std::vector<std::string> programs;
    std::stringstream names(programList);
    for (std::string name; std::getline(names, name, ',');)
        if (!name.empty() && access((binDir + "/" + name).c_str(), X_OK) == 0) programs.push_back(name);
    if (programs.empty()) {
        std::fprintf(stderr, "no engine program found in %s\n", binDir.c_str());
        return 2;
    }
    std::printf("soak: %d games, up to %d at a time on %d cores, seed %llu, programs:", games,
                parallel, cores, (unsigned long long)seed);
    for (const std::string& name : programs) std::printf(" %s", name.c_str());
    std::printf("\n");
    // The 32-bit builds may run under the emulator, several times slower:
    // their time losses then say little about the engine.
    for (const std::string& name : programs) {
        if (!launch::isI386Program(binDir + "/" + name)) continue;
        launch::Way way = launch::Way::Native;
        launch::probeWay(binDir + "/" + name, way);
        std::printf("soak: the 32-bit x86 builds run %s\n",
                    way == launch::Way::Emulated ? "emulated, under qemu-i386" : "natively");
        break;
    }
    std::fflush(stdout);

    // Games in flight share the processor cores: a game asks for the search
    // threads that can run at once in it (both programs' when one ponders),
    // and waits until that many cores are free, so that a time loss means a
    // slow engine rather than an overloaded machine.
    std::mutex coreLock;
    std::condition_variable coreFreed;
    int freeCores = cores;
    auto coresOf = [&](const GameSetup& setup) {
        const PlayerSetup& w = setup.players[1];
        const PlayerSetup& b = setup.players[0];
        const int wanted = (w.ponder || b.ponder) ? w.threads + b.threads : std::max(w.threads, b.threads);
        return std::min(wanted, cores);
    };

    Figures figures;
    std::atomic<int> next{0};
    const auto begin = SteadyClock::now();
    std::vector<std::thread> workers;
    for (int k = 0; k < parallel; k++) {
        workers.emplace_back([&] {
            for (int index = next++; index < games; index = next++) {
                GameSetup setup = makeSetup(index, seed, programs, protocols);
                for (PlayerSetup& p : setup.players) p.elo = elo, p.reduceSpeed = reduceSpeed;
                const int need = coresOf(setup);
                {
                    std::unique_lock<std::mutex> guard(coreLock);
                    coreFreed.wait(guard, [&] { return freeCores >= need; });
                    freeCores -= need;
                }
                Game game(setup, binDir, figures);
                game.play();
                {
                    std::lock_guard<std::mutex> guard(coreLock);
                    freeCores += need;
                }
                coreFreed.notify_all();
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    const double wall = std::chrono::duration<double>(SteadyClock::now() - begin).count();

    printSummary(figures, wall);
    const bool clean = figures.illegalMoves == 0 && figures.generatorDifferences == 0 &&
                       figures.illegalPonderMoves == 0 && figures.illegalPvLines == 0 &&
                       figures.rejectedMoves == 0 && figures.unexpectedAnswers == 0 &&
                       figures.crashes == 0 && figures.hangs == 0 && figures.timeLosses == 0 &&
                       figures.games == games;
    return clean ? 0 : 1;
}
