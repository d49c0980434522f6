#pragma once
// The interpreter of the XBoard dialogue. The engine keeps the game itself:
// the GUI sends the opponent's moves and the engine answers each with its own
// move unless force mode is on. Time controls arrive as "level", "st", "sd",
// "time" and "otim". With "hard" the engine plays the reply it expects after
// its own move and thinks on it; the opponent's real move then either turns
// that ponder search into the real one or replaces it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/protocol.h"
#include "protocol/xboard_listener.h"
#include "search/limits.h"

struct PawnHashTable;

// The three fields of "level": moves per time control (0 for the whole
// game), the base time and the increment.
struct LevelFields {
    int32_t moves = 0;
    int32_t baseMillis = 0;
    int32_t incrementMillis = 0;
};

// Reads "MOVES BASE INC" (BASE as minutes or minutes:seconds, the seconds
// with a fraction or not; INC in seconds, optional). Values are computed in
// 64 bits or doubles and capped to the 32-bit fields.
// False when the move count or the base time is missing or malformed.
bool parseLevel(const char* text, LevelFields& fields);

// Whether the move text the opponent sent (its first word) is the pondered
// move given as coordinate text: same squares and same promotion piece.
bool samePonderMove(const char* sent, const char* pondered);

// Moves left in the current time control when the engine's first "go" comes
// after `movesReceived` half moves of the game: the moves already played are
// taken off `movesLeft`, and a count that would reach 0 or below wraps into
// the next control, so it always stays between 1 and `movesPerSession`. 0
// (a clock for the whole game) stays 0.
int32_t movesLeftWhenJoining(int32_t movesLeft, int32_t movesPerSession, int32_t movesReceived);

class XBoardProtocol : public Protocol {
public:
    XBoardListener listener;
    int32_t movesReceived = 0;     // opponent moves since the last new game
    bool forceMode = false;        // moves are played, none is answered
    bool firstGoDone = false;      // the first "go" of this game has been handled
    std::atomic<bool> postThinking{true};
    std::string pendingMove;       // the opponent's move that ends a ponder search
    int pliesWithReply = -1;       // game moves once the expected reply was played to ponder on

    explicit XBoardProtocol(Engine& owner);
    ~XBoardProtocol() override;

    // Binds the listener and sets the engine up from the settings; sends
    // nothing ("protover" gets the feature lines).
    void start() override;
    int handleLine(Tokenizer& line) override;
    int executeCommand(Tokenizer& line);

    // The listener's end of a search, on the thread that ran it.
    void searchEnded(StopState state, Move best, Move ponder, double elapsedMicros);

    bool analyzing();
    bool searchOpen();

private:
    enum class SearchKind { Game, Ponder, Analysis };

    // Held by every command and by the end of every search, so that the two
    // threads never change the game together and the ponder state is
    // complete before the next command looks at it. Recursive because,
    // without the input thread, commands run inside a search's poll and a
    // search started by a command ends on the same thread.
    std::recursive_mutex guard;

    // Searches asked for by this protocol, and those whose end was handled;
    // a search is open between the two.
    uint64_t searchesRequested = 0;
    uint64_t searchesEnded = 0;
    // Ends of searches counted before the lock is taken: a command holding
    // the lock can tell that the search it waits on has already finished.
    std::atomic<uint64_t> searchesEnding{0};
    SearchKind openKind = SearchKind::Game;

    bool analyzeMode = false;
    LimitSet limitBeforeAnalysis = MoveTime;
    bool idleWanted = false;        // a command waits for the engine to be idle
    bool clearHashPending = false;  // "option Clear Hash" came during a search
    int coresWanted = 0;            // search threads "cores" asked for, not yet in force
    bool endingSearch = false;      // the end of a search is being handled
    int ponderAllowedAfterSearch = -1;  // "hard" came during a search: 1
    std::vector<std::string> deferredLines;  // commands that wait for the search's end
    std::vector<std::string> limitLines;     // limits that wait for the next search

    // The clocks as the GUI last gave them ("level", "time", "otim"); they are
    // given to the engine's colours when a search starts.
    bool engineClockKnown = false;
    bool opponentClockKnown = false;
    int64_t engineClockMillis = 0;
    int64_t opponentClockMillis = 0;

    std::unique_ptr<PawnHashTable> evalPawnHash;

    void moveCommand(Tokenizer& line, const char* text);
    void opponentMoveWhilePondering(const char* text);
    void goCommand(Tokenizer& line);
    void newCommand(Tokenizer& line);
    void levelCommand(Tokenizer& line);
    void timeCommand(Tokenizer& line, bool own);
    // Adds the limit of "st" (MoveTime), "sd" (Depth) or "level" (Clock) to
    // the game's limits.
    void addGameLimit(LimitMode mode);
    // The limit commands that came during a search, in their order.
    void applyWaitingLimits();
    void resetGameState();

    // Asks the main thread for a search of the game position.
    void requestSearch(int ponder);
    void startAnalysis();
    // When the side to move (the engine, outside force mode) has no legal
    // move, the game is over: sends its result line and returns true.
    bool reportGameEnd();
    // Rebuilds the search threads to the count "cores" asked for, once no
    // search runs; until then the count waits.
    void applyWantedCores();
    // Ends the open search before a command that changes the game. With the
    // input thread it stops the search and waits for its end (true); inside
    // a search's poll it stops it and keeps the line for the search's end
    // (false: the caller returns).
    bool makeIdle(StopState how, const Tokenizer& line);
    // Stops the open search and, with the input thread, waits until it has
    // ended.
    void interruptSearch(StopState how);
    // Stops every open search, and any the end of one would start, until the
    // engine is idle (input thread only).
    void stopAllSearches(StopState how);
    // Waits until search number `search` has ended, repeating the stop while
    // that search has not yet taken it up (a search being handed to the main
    // thread sets its stop state to running when it starts).
    void waitForSearchEnd(uint64_t search, StopState how);
    // A ponder hit: the open ponder search goes on as the real search.
    void convertPonderSearch();
    // After the engine's move: the hint, the expected reply played and the
    // ponder search on it.
    void startPondering(double elapsedMicros);
    // Whether the end of a search may start the next one.
    bool mayStartSearch() const { return !idleWanted && deferredLines.empty(); }
};
