#pragma once
// The interpreter of the UCI dialogue: announces the engine and its options,
// sets positions, options and limits, starts and stops searches, and serves
// the debugging commands.

#include <memory>
#include <string>
#include <vector>

#include "foundation/mutex.h"
#include "protocol/protocol.h"
#include "protocol/uci_listener.h"

struct PawnHashTable;

class UciProtocol : public Protocol {
public:
    UciListener listener;
    Move lastBestMove = NoMove;    // of the last search that ended
    Move lastPonderMove = NoMove;

    explicit UciProtocol(Engine& owner);
    ~UciProtocol() override;

    // Binds the listener and answers "uci" (identification, options, set-up,
    // "uciok").
    void start() override;
    int handleLine(Tokenizer& line) override;
    int executeCommand(Tokenizer& line);
    int answerUci();

    // The listener's end of a search, on the thread that ran it: remembers
    // the result and sends "bestmove" when it is owed now.
    void searchEnded(StopState state, Move best, Move ponder);

    // Options that were set while a search ran and wait for its end.
    size_t deferredOptionCount();

private:
    // Every "go" owes the GUI exactly one "bestmove". These say where the
    // debt stands; all of them are guarded by `stateMutex`, since the input
    // thread and the searching thread both act on them.
    Mutex stateMutex;
    int openSearches = 0;        // "go" commands whose search has not ended
    bool stopReceived = false;   // a "stop" arrived for the open search
    bool hitReceived = false;    // a "ponderhit" arrived for the open search
    bool resultWithheld = false; // a ponder search finished; its answer waits
    // Lines that wait for the search's end, in order: setoption lines, and
    // without the input thread the position and go lines read during a
    // search.
    std::vector<std::string> deferredLines;
    bool servingWaitingLines = false;  // without the input thread only
    std::unique_ptr<PawnHashTable> evalPawnHash;

    void go(Tokenizer& line);
    void position(Tokenizer& line);
    void setOption(Tokenizer& line);
    void stop();
    void ponderHit();
    void quit();
    void newGameCommand();
    // "perft", "perftd" and "divide": not while a search runs.
    void countMoves(Tokenizer& line);

    bool searchOpen();
    // True while a search runs or is about to: options that rebuild what the
    // search uses must wait.
    bool busy();
    void applyDeferredOptions();
    // Without the input thread: the lines that waited for the search that
    // has just returned on this thread.
    void serveWaitingLines();
    // Sets the stop state until the open search has ended. With the input
    // thread, a search being handed over resets the stop state when it
    // starts, so the stop is repeated until the answer has come.
    void interruptSearch(StopState state);
    // Waits until the last search has returned, stopping it first when it
    // has not answered yet, before a command changes the game it played in.
    void settleLastSearch();
    void sendBestMove(Move best, Move ponder, bool withPonder);
    void sendWithheldResult();
};
