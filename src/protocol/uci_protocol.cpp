#include "protocol/uci_protocol.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "board/notation.h"
#include "eval/pawns.h"
#include "foundation/build_config.h"
#include "foundation/log.h"
#include "protocol/command_words.h"
#include "protocol/count_watch.h"
#include "protocol/engine_setup.h"
#include "protocol/gui_io.h"
#include "protocol/perft_reports.h"
#include "protocol/position_reports.h"
#include "search/engine.h"

namespace {

// The ponder flag of the search that runs now or is about to run.
StopState stopFor(Engine& engine) { return engine.ponderSearch.load() ? PonderStopped : Stopped; }

// A count holds the thread that reads the commands: "isready" is answered at
// once, "stop" and "quit" end the count, the others wait for its end.
LineDuringCount lineDuringCount(Tokenizer& line) {
    if (tokenIs(line, "isready")) {
        sendLine("readyok");
        return LineDuringCount::Answered;
    }
    if (tokenIs(line, "quit")) return LineDuringCount::Quits;
    if (tokenIs(line, "stop")) return LineDuringCount::Stops;
    return LineDuringCount::Waits;
}

}  // namespace

UciProtocol::UciProtocol(Engine& owner) : Protocol(owner) {}

UciProtocol::~UciProtocol() {
    if (engine.listener == &listener) engine.listener = &engine.nullListener;
}

void UciProtocol::start() {
    listener.bind(*this);
    answerUci();
}

int UciProtocol::handleLine(Tokenizer& line) {
    if (!line.next()) return 1;
    return executeCommand(line);
}

int UciProtocol::answerUci() {
    Engine& e = host;
    EngineSettings& s = e.settings;
    const char* yes = "true";
    const char* no = "false";
    sendToGui(e, "id name %s %s %s", build::engineName, build::engineVersion, build::wordSizeText);
    sendToGui(e, "id author %s", build::engineAuthor);
    sendToGui(e, "option name Hash type spin default %d min %d max %d", s.hashMb, 1,
              build::maxHashMb);
    sendLine("option name Ponder type check default false");
    sendToGui(e, "option name OwnBook type check default %s", s.book ? yes : no);
    sendToGui(e, "option name Book File type string default %s", s.bookFile.c_str());
    sendLine("option name Clear Hash type button");
    sendToGui(e, "option name UsePersonality type check default %s", s.usePersonality ? yes : no);
    sendToGui(e, "option name PersonalityFile type string default %s", s.personalityFile.c_str());
    sendLine("option name UCI_Chess960 type check default false");
    sendToGui(e, "option name MultiPV type spin default 1 min 1 max %d", MaxLines);
    sendToGui(e, "option name NullMovePruning type check default %s",
              s.useNullMovePruning ? yes : no);
    sendToGui(e, "option name LateMoveReduction type check default %s", s.useLmr ? yes : no);
    sendToGui(e, "option name Threads type spin default %d min 1 max %d", s.maxThreads,
              MaxSearchThreads);
    sendToGui(e, "option name UCI_LimitStrength type check default %s", s.useStrength ? yes : no);
    sendToGui(e, "option name UCI_Elo type spin default %d min %d max %d", s.strengthElo, 1000,
              2700);
    sendToGui(e, "option name DrawScore type spin default %d min -100 max 100", s.drawScore);

    e.init(s.hashMb);
    loadConfiguredPersonality(e);
    e.newGame();
    e.bestMoveOwed = 0;
    loadConfiguredBook(e);
    applyConfiguredSearchSettings(e);
    sendLine("uciok");
    return 1;
}

bool UciProtocol::searchOpen() {
    stateMutex.lock();
    const bool open = openSearches > 0;
    stateMutex.unlock();
    return open;
}

bool UciProtocol::busy() { return searchOpen() || engine.searchActive(); }

size_t UciProtocol::deferredOptionCount() {
    stateMutex.lock();
    const size_t count = deferredLines.size();
    stateMutex.unlock();
    return count;
}

int UciProtocol::executeCommand(Tokenizer& line) {
    if (!deferredLines.empty() && !busy()) applyDeferredOptions();

    if (tokenIs(line, "go")) {
        go(line);
    } else if (tokenIs(line, "position")) {
        position(line);
    } else if (tokenIs(line, "isready")) {
        sendLine("readyok");
    } else if (tokenIs(line, "ponderhit")) {
        ponderHit();
    } else if (tokenIs(line, "setoption")) {
        setOption(line);
    } else if (tokenIs(line, "quit")) {
        quit();
        return 0;
    } else if (tokenIs(line, "ucinewgame")) {
        newGameCommand();
    } else if (tokenIs(line, "stop")) {
        stop();
    } else if (tokenIs(line, "perftd") || tokenIs(line, "perft") || tokenIs(line, "divide")) {
        countMoves(line);
    } else if (tokenIs(line, "debug")) {
        // accepted; nothing depends on it
    } else if (isPositionReport(line)) {
        sendPositionReport(engine, line, evalPawnHash);
    }
    return 1;
}

void UciProtocol::countMoves(Tokenizer& line) {
    // The counts walk the game position, which the search's end changes.
    if (searchOpen()) {
        sendLine("info string perft is not run during a search");
        return;
    }
    const bool detailed = tokenIs(line, "perftd");
    const bool divide = tokenIs(line, "divide");
    int64_t depth;
    if (!nextNumber(line, depth)) return;
    settleLastSearch();
    const int plies = int(clamp64(depth, INT_MIN, INT_MAX));
    if (plies > MaxPerftDepth) {
        sendToGui(engine, "info string depth too large (at most %d): %s", MaxPerftDepth, line.lineStart);
        return;
    }
    CountEnd end = CountEnd::Finished;
    const CountSetting watched = [&](const std::function<void()>& count) {
        end = runWatchedCount(engine, lineDuringCount, count);
    };
    PerftReport report;
    if (detailed) report = runPerftDetailed(engine, plies, watched);
    else if (divide) report = runDivide(engine, plies, watched);
    else report = runPerft(engine, plies, watched);
    // After "quit" nothing more is said.
    if (report == PerftReport::Stopped && end == CountEnd::Stopped)
        sendToGui(engine, "info string stopped, no count: %s", line.lineStart);
}

void UciProtocol::go(Tokenizer& line) {
    Engine& e = host;
    // Without the input thread, Engine::startSearch runs the search on this
    // thread, unless one is in hand here already.
    const bool searchesHere = e.settings.useInputThread == 0;
    if (searchesHere && e.searchActive()) {
        // Read inside the search's own poll: the search ends and answers
        // first, and this "go" waits for it to return, behind the lines that
        // already wait, so that the options set during that search apply to
        // this one. Its limits must not reach the ending search either: an
        // analysis that took them would play its move into the game.
        interruptSearch(Stopped);
        stateMutex.lock();
        deferredLines.push_back(line.lineStart);
        stateMutex.unlock();
        return;
    }

    // A "go" while a search runs (without waiting for its answer) ends that
    // search first: two requests must never merge into one search, or one
    // "go" would stay unanswered.
    if (searchOpen()) interruptSearch(Stopped);

    // Options set during the last search take effect before the next one,
    // also when this "go" is what ended it; the previous search may still be
    // returning after its answer.
    if (!deferredLines.empty()) {
        while (e.searchActive()) usleep(200);
        applyDeferredOptions();
    }

    // Each "go" names all of its limits: nothing carries over from the one
    // before, and every limit named applies.
    e.pondering = 0;
    e.movesToGo = 0;
    e.clock[White] = e.clock[Black] = 0;
    e.increment[White] = e.increment[Black] = 0;
    LimitSet limits;
    bool infinite = false;
    bool noNodes = false;  // a node limit below one node
    while (line.next()) {
        int64_t n;
        if (tokenIs(line, "ponder")) {
            e.pondering = 1;
        } else if (tokenIs(line, "wtime")) {
            if (!nextNumber(line, n)) break;
            e.clock[White] = float(clamp64(n, 0, INT32_MAX));
            limits |= Clock;
        } else if (tokenIs(line, "btime")) {
            if (!nextNumber(line, n)) break;
            e.clock[Black] = float(clamp64(n, 0, INT32_MAX));
            limits |= Clock;
        } else if (tokenIs(line, "winc")) {
            if (!nextNumber(line, n)) break;
            e.increment[White] = int32_t(clamp64(n, 0, INT32_MAX));
        } else if (tokenIs(line, "binc")) {
            if (!nextNumber(line, n)) break;
            e.increment[Black] = int32_t(clamp64(n, 0, INT32_MAX));
        } else if (tokenIs(line, "movetime")) {
            if (!nextNumber(line, n)) break;
            // Milliseconds to microseconds in 64 bits, then capped to the
            // 32-bit field: a long move time never turns negative.
            e.moveTime = int32_t(clamp64(clamp64(n, 0, INT64_MAX / 1000) * 1000, 0, INT32_MAX));
            limits |= MoveTime;
        } else if (tokenIs(line, "movestogo")) {
            // Shares out the clock; no limit by itself.
            if (!nextNumber(line, n)) break;
            e.movesToGo = int32_t(clamp64(n, 0, INT32_MAX));
        } else if (tokenIs(line, "infinite")) {
            infinite = true;
        } else if (tokenIs(line, "depth")) {
            if (!nextNumber(line, n)) break;
            e.depthLimit = int32_t(clamp64(n, 1, 127));
            limits |= Depth;
        } else if (tokenIs(line, "nodes")) {
            if (!nextNumber(line, n)) break;
            noNodes = n < 1;
            e.nodeLimit = uint64_t(clamp64(n, 1, INT64_MAX));
            limits |= Nodes;
        }
    }
    // A "go" that names no limit (a bare "go", or one whose only words the
    // engine does not obey, such as a mate count) is an analysis like "go
    // infinite": it waits for "stop". "infinite" overrides the limits named
    // with it, since such a search must not end before it is told to.
    if (infinite) limits = LimitSet();
    // The node limit would stop the search before it has a move of its own:
    // the least search that answers with one, the first iteration, instead.
    if (noNodes && limits.has(Nodes)) {
        limits = limits.without(Nodes) | Depth;
        e.depthLimit = 1;
    }
    e.setLimits(limits);
    e.bestMoveOwed = limits == Infinite ? 1 : 0;

    // Read inside a running search's own poll (no input thread), this
    // request may meet one that is already waiting and merge with it.
    e.mutex.lock();
    const bool merged = e.searchRequested.load();
    e.mutex.unlock();

    stateMutex.lock();
    if (!merged) openSearches++;
    stopReceived = false;
    hitReceived = false;
    resultWithheld = false;  // a new search: the GUI has moved on
    stateMutex.unlock();
    e.startSearch(e.pondering);
    // The search has run on this thread by now; what waited for its end
    // comes before the next line is read.
    if (searchesHere) serveWaitingLines();
}

void UciProtocol::position(Tokenizer& line) {
    Engine& e = host;
    const std::string wholeLine(line.lineStart);
    if (!line.next()) return;
    if (!e.inputThreadInUse && searchOpen()) {
        // Read inside the search's own poll: the search ends and answers
        // first; the new position is set when it has returned.
        interruptSearch(Stopped);
        stateMutex.lock();
        deferredLines.push_back(wholeLine);
        stateMutex.unlock();
        return;
    }
    settleLastSearch();
    if (tokenIs(line, "startpos")) {
        e.gameHistory.clear();
        e.repKeyCount = 0;
        e.position.setStartPosition();
        if (line.next() && tokenIs(line, "moves") && line.next()) e.applyMoves(line.tokenStart);
        return;
    }
    if (!tokenIs(line, "fen")) return;
    if (!line.next()) return;
    // The FEN text runs up to the "moves" word or the end of the line,
    // whatever its length; its fields are joined by single blanks, as runs of
    // blanks separate tokens everywhere else.
    std::string fen;
    const char* movesStart = nullptr;
    do {
        if (tokenIs(line, "moves")) {
            if (line.next()) movesStart = line.tokenStart;
            break;
        }
        if (!fen.empty()) fen += ' ';
        fen += tokenText(line);
    } while (line.next());
    if (!e.setFen(fen.c_str())) {
        // The old position stays; the GUI must know its own is not in force.
        sendToGui(e, "info string Illegal position: %s", fenEcho(fen.c_str()).c_str());
        return;
    }
    if (movesStart != nullptr) e.applyMoves(movesStart);
}

void UciProtocol::setOption(Tokenizer& line) {
    Engine& e = host;
    EngineSettings& s = e.settings;
    const std::string wholeLine(line.lineStart);
    if (!line.next() || !tokenIs(line, "name")) return;
    if (!line.next()) return;

    // The value after the word "value"; false when either is missing.
    auto value = [&line](std::string& text) {
        if (!line.next() || !tokenIs(line, "value") || !line.next()) return false;
        text = tokenText(line);
        return true;
    };
    auto number = [&line](int64_t& n) {
        if (!line.next() || !tokenIs(line, "value") || !line.next()) return false;
        n = tokenNumber(line);
        return true;
    };
    auto flag = [&line](bool& on) {
        if (!line.next() || !tokenIs(line, "value") || !line.next()) return false;
        on = startsWith(line.tokenStart, "true");
        return true;
    };
    // Options that a running search reads (the pruning switches, the
    // lines, the draw score, the strength, pondering and with it the ponder
    // move of its answer) or that rebuild what it uses (the table, the
    // threads, the weights, the book) wait until the search has ended.
    auto deferIfBusy = [&]() {
        if (!busy()) return false;
        stateMutex.lock();
        deferredLines.push_back(wholeLine);
        stateMutex.unlock();
        logger.log(LogInfo, "option applied after the search: %s", wholeLine.c_str());
        return true;
    };
    int64_t n;
    bool on;
    std::string text;
    if (tokenIs(line, "Hash")) {
        if (deferIfBusy() || !number(n)) return;
        e.transpositionTable.resize(int(clamp64(n, 1, build::maxHashMb)));
    } else if (tokenIs(line, "Ponder")) {
        if (deferIfBusy() || !flag(on)) return;
        e.ponderAllowed = on;
        e.ponderEnabled = on ? 1 : 0;
        if (!on) e.ponderSearch = false;
    } else if (tokenIs(line, "NullMovePruning")) {
        if (!deferIfBusy() && flag(on)) e.useNullMove = on;
    } else if (tokenIs(line, "LateMoveReduction")) {
        if (!deferIfBusy() && flag(on)) e.useLmr = on;
    } else if (tokenIs(line, "OwnBook")) {
        if (deferIfBusy() || !flag(on)) return;
        if (on) {
            s.book = 1;
            if (!e.book.load(e, s.bookFile)) {
                sendLine("info string book file not found");
                s.book = 0;
            }
        } else {
            s.book = 0;
            e.bookInUse = false;
            e.book.clear();
        }
    } else if (tokenIs(line, "Book")) {
        if (!line.next() || !tokenIs(line, "File")) return;
        if (deferIfBusy() || !value(text)) return;
        s.bookFile = text;
        if (s.book != 0 && !e.book.load(e, s.bookFile)) {
            sendLine("info string book file not found");
            s.book = 0;
        }
    } else if (tokenIs(line, "Clear")) {
        if (!line.next() || !tokenIs(line, "Hash")) return;
        if (deferIfBusy()) return;
        e.transpositionTable.clear();
    } else if (tokenIs(line, "MultiPV")) {
        if (!deferIfBusy() && number(n)) e.multiPv = int32_t(clamp64(n, 1, MaxLines));
    } else if (tokenIs(line, "UCI_LimitStrength")) {
        if (deferIfBusy() || !flag(on)) return;
        s.useStrength = on ? 1 : 0;
        applyUciStrength(e);
    } else if (tokenIs(line, "UCI_Elo")) {
        if (deferIfBusy() || !number(n)) return;
        s.strengthElo = int32_t(clamp64(n, 1000, 2700));
        applyUciStrength(e);
    } else if (tokenIs(line, "DrawScore")) {
        if (!deferIfBusy() && number(n)) s.drawScore = int32_t(clamp64(n, -100, 100));
    } else if (tokenIs(line, "UCI_Chess960")) {
        if (flag(on)) e.position.chess960 = on ? 1 : 0;
    } else if (tokenIs(line, "Threads")) {
        if (deferIfBusy() || !number(n)) return;
        useSearchThreads(e, int(clamp64(n, INT_MIN, INT_MAX)));
    } else if (tokenIs(line, "UsePersonality")) {
        if (deferIfBusy() || !flag(on)) return;
        s.personalityInUse = on;
        loadPersonalityFile(e, on ? s.personalityFile : std::string());
    } else if (tokenIs(line, "PersonalityFile")) {
        if (deferIfBusy() || !value(text)) return;
        s.personalityFile = text;
        loadPersonalityFile(e, s.personalityInUse ? s.personalityFile : std::string());
    }
}

void UciProtocol::applyDeferredOptions() {
    stateMutex.lock();
    std::vector<std::string> lines;
    lines.swap(deferredLines);
    stateMutex.unlock();
    for (const std::string& text : lines) {
        Tokenizer line(text.c_str(), ' ');
        if (!line.next()) continue;
        if (tokenIs(line, "go")) go(line);
        else if (tokenIs(line, "position")) position(line);
        else setOption(line);
    }
}

void UciProtocol::serveWaitingLines() {
    // A "go" among them runs its search from here, and lines read during
    // that search wait again: the outermost call serves them all in turn, so
    // that searches started one after another do not nest on the stack.
    if (servingWaitingLines) return;
    servingWaitingLines = true;
    while (!deferredLines.empty() && !host.quitRequested.load() && !busy())
        applyDeferredOptions();
    servingWaitingLines = false;
}

void UciProtocol::interruptSearch(StopState state) {
    Engine& e = host;
    const bool stopping = state == Stopped;
    if (!e.inputThreadInUse) {
        // Read inside the search's own poll: the search is past its start.
        e.stopState = stopping ? stopFor(e) : state;
        return;
    }
    int idleTurns = 0;
    while (searchOpen()) {
        if (e.stopState.load() == Running) {
            e.stopState = stopping ? stopFor(e) : state;
            e.wakeSearch();
        }
        usleep(200);
        // A search that is neither running nor asked for will never answer:
        // do not wait for it for ever.
        idleTurns = e.searchActive() ? 0 : idleTurns + 1;
        if (idleTurns > 5000) {
            logger.log(LogError, "no search answered the last go");
            stateMutex.lock();
            openSearches = 0;
            stateMutex.unlock();
        }
    }
}

void UciProtocol::stop() {
    stateMutex.lock();
    if (openSearches > 0) {
        stopReceived = true;
        stateMutex.unlock();
        interruptSearch(Stopped);
        return;
    }
    if (resultWithheld) sendWithheldResult();
    stateMutex.unlock();
}

void UciProtocol::ponderHit() {
    Engine& e = host;
    stateMutex.lock();
    if (openSearches == 0) {
        if (resultWithheld) sendWithheldResult();
        stateMutex.unlock();
        return;
    }
    hitReceived = true;
    stateMutex.unlock();

    if (e.inputThreadInUse) {
        // A request the main thread has not taken yet simply becomes a
        // normal search.
        e.mutex.lock();
        const bool pending = e.searchRequested.load();
        if (pending) e.ponderArg = 0;
        e.mutex.unlock();
        if (pending) return;
        // Taken: the search settles its ponder flag before it counts as
        // searching, so wait for that before clearing the flag.
        while (!e.searching.load() && searchOpen()) usleep(100);
        if (!searchOpen()) return;
    }
    e.ponderSearch = false;
    // The next poll of the search makes the full check, clock included: the
    // clock and the time budget belong to the searching thread.
    e.pollCounter = e.pollInterval;
}

void UciProtocol::quit() {
    Engine& e = host;
    // The ending search reads the switch under this lock for its answer.
    stateMutex.lock();
    e.ponderEnabled = 0;
    stateMutex.unlock();
    if (searchOpen()) interruptSearch(Aborted);
}

void UciProtocol::newGameCommand() {
    Engine& e = host;
    if (searchOpen()) {
        e.newGamePending = 1;
        interruptSearch(Aborted);
        if (!e.inputThreadInUse) return;  // the listener completes it
        // The search may have ended on its own before the abort reached it.
        if (e.newGamePending == 0) return;
        while (e.searchActive()) usleep(200);
        e.newGamePending = 0;
    }
    settleLastSearch();
    e.newGame();
    e.bestMoveOwed = 0;
}

void UciProtocol::settleLastSearch() {
    Engine& e = host;
    // Without the input thread this runs inside the search's own poll.
    if (!e.inputThreadInUse) return;
    // A search whose answer has not come yet (the GUI did not wait for it)
    // ends first, as for "go", so that it still answers once.
    if (searchOpen()) interruptSearch(Stopped);
    // The answer leaves a moment before the search has returned, and a GUI
    // sends the next position as soon as it reads it: the game the search
    // has just played its move into is not ours until then.
    while (e.searchActive()) usleep(100);
}

void UciProtocol::sendBestMove(Move best, Move ponder, bool withPonder) {
    char bestText[8], ponderText[8];
    formatMove(engine.position, best, bestText);
    formatMove(engine.position, ponder, ponderText);
    char text[64];
    // "0000" would read as a move: no ponder move is left out.
    if (withPonder && ponder != NoMove)
        std::snprintf(text, sizeof text, "bestmove %s ponder %s", bestText, ponderText);
    else
        std::snprintf(text, sizeof text, "bestmove %s", bestText);
    sendLine(text);
}

// Called with stateMutex held.
void UciProtocol::sendWithheldResult() {
    resultWithheld = false;
    sendBestMove(lastBestMove, lastPonderMove, true);
}

void UciProtocol::searchEnded(StopState state, Move best, Move ponder) {
    Engine& e = host;
    stateMutex.lock();
    lastBestMove = best;
    lastPonderMove = ponder;
    // A ponder search ends without playing its move and reports none; its
    // answer is the first move of its principal variation.
    if (best == NoMove && (state == PonderFinished || state == PonderStopped) &&
        e.pvLines[0].pvLength > 0) {
        lastBestMove = e.pvLines[0].pv[0];
        lastPonderMove = e.pvLines[0].pvLength > 1 ? e.pvLines[0].pv[1] : NoMove;
    }
    if (openSearches > 0) openSearches--;

    switch (state) {
        case Aborted:
            // A "go" is answered once, also when "ucinewgame" ends its
            // search: before the new game takes effect. Only "quit" leaves
            // a bounded search unanswered.
            if (e.bestMoveOwed || e.newGamePending) {
                e.bestMoveOwed = 0;
                sendBestMove(lastBestMove, NoMove, false);
            }
            if (e.newGamePending) {
                e.newGame();
                e.bestMoveOwed = 0;
                e.movesLeft = 40;
                e.movesPerSession = 40;
                e.movesToGo = 40;
                e.newGamePending = 0;
            }
            break;
        case PonderFinished:
            // The answer waits for "ponderhit" or "stop", unless one of them
            // came while the search was finishing.
            if (hitReceived || stopReceived)
                sendBestMove(lastBestMove, lastPonderMove, true);
            else
                resultWithheld = true;
            break;
        case PonderStopped:
            // A "go ponder" is answered like any other "go".
            sendBestMove(lastBestMove, lastPonderMove, e.ponderEnabled != 0);
            break;
        default:
            sendBestMove(lastBestMove, lastPonderMove, e.ponderEnabled != 0);
            break;
    }
    stateMutex.unlock();
}
