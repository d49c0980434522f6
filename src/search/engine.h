#pragma once
// The one engine object: it owns the game (position, history, repetition
// keys), the evaluation settings, the transposition table, the thread pool,
// the book, the search limits and flags, the protocol state and the settings.
// main holds it on its stack, so everything of fixed size lives inside it.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "board/perft.h"
#include "board/position.h"
#include "board/types.h"
#include "book/opening_book.h"
#include "eval/eval_params.h"
#include "foundation/thread.h"
#include "foundation/timer.h"
#include "search/limits.h"
#include "search/listener.h"
#include "search/pv_line.h"
#include "search/thread_pool.h"
#include "search/tt.h"

class Protocol;
class InputThread;

// A copy of the game taken whole: the position, the number of game moves
// and the undo record of the last one (when there is one).
struct GameSnapshot {
    Position position;
    int plies = 0;
    UndoRecord last{};
};

constexpr int MaxRepetitionKeys = 256;

// The values of "vorlix.ini" with their built-in defaults.
struct EngineSettings {
    int32_t hashMb = 32;
    int32_t book = 0;
    int32_t bookSelectivity = 100;
    int32_t useStrength = 0;
    int32_t strengthElo = 2700;
    int32_t maxThreads = 1;
    int32_t minSplitDepth = 4;
    int32_t usePersonality = 0;
    int32_t logLevel = 0;
    int32_t logFormat = 0;
    int32_t logPid = 0;
    int32_t useNullMovePruning = 1;
    int32_t useLmr = 1;
    int32_t drawScore = 0;
    int32_t useInputThread = 1;
    bool personalityInUse = false;
    std::string bookFile = "vorlixbook-20.bin";
    std::string personalityFile;
};

class Engine {
public:
    Engine();
    virtual ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Game and evaluation.
    Position position;
    EvalParams evalParams;
    TranspositionTable transpositionTable;
    int32_t repKeyCount = 0;
    // Keys of the positions before the moves since the last irreversible game
    // move, oldest first, the current position excluded.
    Key repKeys[MaxRepetitionKeys];

    // Threads and game history.
    ThreadPool threadPool;
    std::vector<UndoRecord> gameHistory;

    // Root lines of the multi-line search.
    int32_t linesInUse = 1;
    int32_t excludedCount = 0;
    Move excludedMoves[MaxLines];
    PvLine pvLines[MaxLines];

    // Output, book and tools.
    SearchListener nullListener;
    SearchListener* listener = &nullListener;  // never null
    OpeningBook book;
    PerftRunner perftRunner;
    Timer searchTimer;

    // Search control. Words marked atomic are read by searching threads while
    // other threads write them; every access is a single whole word.
    std::atomic<StopState> stopState{Running};
    Color rootSide = White;
    int32_t multiPv = 1;
    int32_t timeBudget = 0;               // microseconds for the current search
    uint32_t pollInterval = 30000;        // polls between two clock and input checks
    // The counters are written at every node; every thread reads the words
    // around them at every node, so they keep a cache line of their own.
    alignas(64) std::atomic<uint32_t> pollCounter{0};
    std::atomic<uint64_t> throttleCounter{0};
    alignas(64) uint64_t npsLimit = 0;    // nodes per second, 0 for no limit
    uint64_t nodeLimit = 2000000;
    int32_t moveTime = 5000000;           // microseconds
    int32_t movesToGo = 40;
    int32_t increment[2] = {0, 0};        // milliseconds, by colour
    int32_t searchCount = 0;
    int32_t depthLimit = 0;               // plies
    int32_t baseClock = 0;                // milliseconds
    int32_t bookPlyLimit = 0;
    float clock[2] = {0, 0};              // milliseconds, by colour

    // Flags.
    std::atomic<bool> searching{false};
    bool ponderAllowed = false;
    std::atomic<bool> ponderSearch{false};
    bool inputThreadInUse = false;
    bool verbose = false;
    bool useNullMove = true;
    bool useLmr = true;
    bool toolMode = false;
    bool bookInUse = true;

    // Protocol, threads and protocol state.
    Protocol* protocol = nullptr;
    InputThread* inputThread = nullptr;
    Mutex mutex;
    Condition condition;
    Mutex gameGuard;  // held while a search changes the game position, and by snapshotGame
    Condition commandCondition;  // a search waiting for a command sleeps on it, under mutex
    std::atomic<bool> searchRequested{false};  // written under mutex
    int32_t ponderArg = 0;                     // written under mutex
    bool requestArmed = false;                 // the request set the stop state; under mutex
    int32_t protocolKind = 0;
    std::atomic<bool> quitRequested{false};
    int32_t bestMoveOwed = 0;
    int32_t ponderEnabled = 0;
    int32_t pondering = 0;
    int32_t movesLeft = 0;
    int32_t movesPerSession = 0;
    int32_t newGamePending = 0;
    int32_t ponderMove = 0;

    EngineSettings settings;

    // Builds the global tables, sizes the table, sets the start position and
    // creates the search threads. Must not run while a search runs.
    void init(int hashMb);
    // Gives back the threads and the table memory; init must run again before
    // the next search.
    void release();

    // Game state.
    void newGame();
    bool setFen(const char* text);
    bool applyMoves(const char* text);
    bool takeBack();
    bool toFen(const Position& source, char* buffer) const;
    // The game as it stands, for a command answered while a search runs:
    // the searching thread changes the game position (its legality tests at
    // the start, the move played at the end) under `gameGuard`.
    GameSnapshot snapshotGame();

    // Appends a key of the position before a game move, dropping the oldest
    // key when the list is full. The 8-bit halfmove clock keeps the draw test
    // within the newest 256 keys, so the dropped ones can never decide a
    // result.
    void pushRepetitionKey(Key key);

    // Brings what the engine derives from the evaluation weights up to the
    // weights in force: the game position's material sums and every search
    // thread's pawn table. A personality loaded, changed or dropped (by
    // whichever protocol or the configuration) leaves them stale until this
    // runs, so every search and every evaluation of the game position calls
    // it first; it costs one comparison while the weights stay the same.
    // Runs between searches only.
    void followWeights();

    // Search control.
    // Every limit of the set applies and the first one reached ends the
    // search; an empty set leaves only a stop from outside (Infinite). The
    // one way the limits change.
    void setLimits(LimitSet limits) { limitMode = limits; }
    LimitSet limits() const { return limitMode; }
    // limitedBy(Infinite): no limit at all.
    bool limitedBy(LimitMode mode) const { return limitMode.has(mode); }
    int poll();
    // The pause of the speed limit, taken by a search thread that found the
    // search too fast: about 20 ms, cut short by a stop and by the time limit
    // (a paused thread notices the time running out, not the next node). The
    // main thread keeps polling while it pauses, so its input is read too.
    void slowDown(bool mainThread);
    void startSearch(int ponder);
    void setStrength(int elo);
    // Searches the game position and reports through the listener. A search
    // served from a request keeps the stop state that the request armed, so a
    // stop that arrives between the request and the start of the search is
    // never lost; a direct call (the tools) arms it itself.
    bool think(int ponder, bool armedByRequest = false);

    // The main thread's side of the hand-off: waits until a search is
    // requested or quit is, runs a requested search, and returns false once
    // quit has been requested.
    bool serveSearchRequest();
    // Asks the main thread to leave its loop; a pending request is dropped.
    void requestQuit();
    // An infinite or ponder search that has run its last iteration sleeps
    // here until a command ends it: a stop state set, or (not infinite) the
    // ponder flag cleared. Without the input thread it reads the commands
    // itself meanwhile. Without a protocol nothing could end it: it returns.
    void waitForEndingCommand();
    // Wakes a search sleeping in waitForEndingCommand after another thread
    // has changed the stop state or the ponder flag.
    void wakeSearch();
    // True when a search runs or has been requested and not yet finished
    // (decided under the engine mutex, so there is no gap between the two).
    bool searchActive();

private:
    // Takes the pending request under the mutex (waiting for one when
    // `wait`), runs it, and reports whether one was run.
    bool runRequestedSearch(bool wait);
    bool nodeLimitReached();
    int stopFromPoll();
    void rebuildRepetitionKeys();
    // The end of a search (root driver): a move to ponder on, the end of a
    // ponder search or the move played, and the final report.
    Move findPonderMove(Move best);
    void finishSearch(Move best, Move ponder, int depth, int maxDepth, int selDepth,
                      uint64_t nodes, double elapsed, bool fromBook);
    // The end of a search that "quit" or a new game aborted: nothing is
    // played, a pondered move is taken back, and the listener decides what
    // it still owes.
    void finishAbortedSearch(Move best, Move ponder, int depth, int selDepth, uint64_t nodes,
                             double elapsed);

    LimitSet limitMode = MoveTime;  // the limits of the next search (and of the running one)
    bool requestInService = false;  // under mutex: a taken request whose search has not ended
    uint32_t positionWeightsGeneration = 0;  // weights the game position's sums were made with
};
