#include "protocol/xboard_protocol.h"

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/fen.h"
#include "board/game_end.h"
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

// A count holds the thread that reads the commands: "quit" ends it, every
// other command waits for its end (a "ping" is answered after the count,
// as after any command before it).
LineDuringCount quitEndsCount(Tokenizer& line) {
    return tokenIs(line, "quit") ? LineDuringCount::Quits : LineDuringCount::Waits;
}

// The commands that set a search limit.
bool isLimitCommand(const Tokenizer& line) {
    return tokenIs(line, "st") || tokenIs(line, "sd") || tokenIs(line, "level");
}

bool isCastlingWord(const char* word, size_t length, bool longSide) {
    return longSide ? length == 5 && std::strncmp(word, "O-O-O", 5) == 0
                    : length == 3 && std::strncmp(word, "O-O", 3) == 0;
}

// A word that begins with file, rank, file, rank is a move, and so is
// castling written O-O or O-O-O, as the GUI sends it in Chess960.
bool isMoveWord(const Tokenizer& line) {
    const char* w = line.tokenStart;
    const size_t length = size_t(line.cursor - w);
    if (isCastlingWord(w, length, false) || isCastlingWord(w, length, true)) return true;
    return length >= 4 && w[0] >= 'a' && w[0] <= 'h' && w[1] >= '1' && w[1] <= '8' &&
           w[2] >= 'a' && w[2] <= 'h' && w[3] >= '1' && w[3] <= '8';
}

// Whether the move text sent (its first word) is O-O or O-O-O naming the
// castling `move`: the short side when its rook stands right of the king.
bool castlingWordNames(const char* sent, Move move) {
    if (!isCastling(move)) return false;
    const size_t length = std::strcspn(sent, " ");
    return isCastlingWord(sent, length, fileOf(moveTo(move)) < fileOf(moveFrom(move)));
}

// A whole decimal number without sign; false for anything else.
bool readCount(const char* text, int64_t& value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    const unsigned long long read = std::strtoull(text, &end, 10);
    if (*end != '\0') return false;
    value = read > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(read);
    return true;
}

// Seconds written as a whole number or with a fraction ("30", "30.5"),
// without sign; false for anything else.
bool readSeconds(const char* text, double& value) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const char* p = text;
    if (!isDigit(*p)) return false;
    while (isDigit(*p)) p++;
    if (*p == '.') {
        if (!isDigit(*++p)) return false;
        while (isDigit(*p)) p++;
    }
    if (*p != '\0') return false;
    value = std::strtod(text, nullptr);
    return true;
}

// The move time of "st": seconds, a fraction included, to whole
// microseconds in the 32-bit field; capped, never negative. Text that is no
// number reads as 0, as it always has.
int32_t moveTimeMicros(const Tokenizer& line) {
    const double micros = std::strtod(tokenText(line).c_str(), nullptr) * 1000000.0;
    if (!(micros > 0.0)) return 0;
    if (micros >= double(INT32_MAX)) return INT32_MAX;
    return int32_t(std::llround(micros));
}

// The result line of a game that has ended on the turn of `mover`.
const char* resultLine(GameEnd end, int mover) {
    if (end == GameEnd::Stalemate) return "1/2-1/2 {Stalemate}";
    return mover == White ? "0-1 {Black mates}" : "1-0 {White mates}";
}

void sendFeatures(Engine& engine) {
    sendToGui(engine, "feature myname=\"%s %s %s\"", build::engineName, build::engineVersion,
              build::wordSizeText);
    sendLine("feature setboard=1");
    sendLine("feature analyze=1");
    sendLine("feature ping=1");
    sendLine("feature draw=0");
    sendLine("feature sigint=0");
    sendLine("feature sigterm=0");
    sendLine("feature colors=0");
    sendLine("feature smp=1");
    sendLine("feature variants=\"normal,fischerandom\"");
    sendLine("feature option=\"Clear Hash -button\"");
    // Node budgets are not available: without this a GUI sends "nps" and
    // reads the "st" after it as nodes.
    sendLine("feature nps=0");
    sendLine("feature done=1");
}

}  // namespace

bool parseLevel(const char* text, LevelFields& fields) {
    char movesText[64], baseText[64], incrementText[64];
    const int count = std::sscanf(text, "%63s %63s %63s", movesText, baseText, incrementText);
    if (count < 2) return false;

    int64_t moves = 0;
    if (!readCount(movesText, moves)) return false;

    // Whole minutes, and seconds that may have a fraction ("0:30.5").
    int64_t minutes = 0;
    double seconds = 0.0;
    char* colon = std::strchr(baseText, ':');
    if (colon != nullptr) {
        *colon = '\0';
        if (!readCount(baseText, minutes) || !readSeconds(colon + 1, seconds)) return false;
    } else if (!readCount(baseText, minutes)) {
        return false;
    }
    // The minutes capped first; the sum in double precision, rounded to the
    // millisecond and capped to the 32-bit field.
    minutes = clamp64(minutes, 0, INT32_MAX);
    double baseMillis = double(minutes) * 60000.0 + seconds * 1000.0;
    if (!(baseMillis < double(INT32_MAX))) baseMillis = double(INT32_MAX);

    double incrementSeconds = 0.0;
    if (count == 3) {
        char* end = nullptr;
        incrementSeconds = std::strtod(incrementText, &end);
        if (*end != '\0' || !std::isfinite(incrementSeconds)) return false;
    }
    double incrementMillis = incrementSeconds * 1000.0;
    if (!(incrementMillis > 0.0)) incrementMillis = 0.0;
    if (incrementMillis > double(INT32_MAX)) incrementMillis = double(INT32_MAX);

    fields.moves = int32_t(clamp64(moves, 0, INT32_MAX));
    fields.baseMillis = int32_t(std::llround(baseMillis));
    fields.incrementMillis = int32_t(incrementMillis);
    return true;
}

bool samePonderMove(const char* sent, const char* pondered) {
    if (std::strncmp(sent, pondered, 4) != 0 || std::strlen(pondered) < 4) return false;
    // The promotion piece counts: e7e8q and e7e8n are different moves.
    auto promotion = [](const char* text) {
        const char c = text[4];
        return (c == 'q' || c == 'r' || c == 'b' || c == 'n') ? c : '\0';
    };
    if (std::strlen(sent) < 4) return false;
    return promotion(sent) == promotion(pondered);
}

int32_t movesLeftWhenJoining(int32_t movesLeft, int32_t movesPerSession, int32_t movesReceived) {
    if (movesLeft == 0) return 0;
    const int64_t left = int64_t(movesLeft) - int64_t(movesReceived < 0 ? 0 : movesReceived) / 2;
    if (left >= 1) return int32_t(left);
    if (movesPerSession <= 0) return 1;
    // Past the end of this control: so many moves into the next one.
    const int64_t session = movesPerSession;
    return int32_t(((left - 1) % session + session) % session + 1);
}

XBoardProtocol::XBoardProtocol(Engine& owner) : Protocol(owner) {}

XBoardProtocol::~XBoardProtocol() {
    if (engine.listener == &listener) engine.listener = &engine.nullListener;
}

void XBoardProtocol::start() {
    listener.bind(*this);
    Engine& e = host;
    e.init(e.settings.hashMb);
    resetGameState();
    loadConfiguredBook(e);
    loadConfiguredPersonality(e);
    applyConfiguredSearchSettings(e);
    forceMode = false;
}

int XBoardProtocol::handleLine(Tokenizer& line) {
    if (!line.next()) return 1;
    return executeCommand(line);
}

bool XBoardProtocol::analyzing() {
    std::lock_guard<std::recursive_mutex> hold(guard);
    return analyzeMode;
}

bool XBoardProtocol::searchOpen() {
    std::lock_guard<std::recursive_mutex> hold(guard);
    return searchesEnded < searchesRequested;
}

int XBoardProtocol::executeCommand(Tokenizer& line) {
    std::lock_guard<std::recursive_mutex> hold(guard);
    Engine& e = host;
    int64_t n = 0;
    if (!limitLines.empty() && !searchOpen()) applyWaitingLimits();
    applyWantedCores();

    if (isMoveWord(line)) {
        moveCommand(line, line.tokenStart);
    } else if (tokenIs(line, "usermove")) {
        if (line.next() && isMoveWord(line)) moveCommand(line, line.tokenStart);
    } else if (tokenIs(line, "time")) {
        timeCommand(line, true);
    } else if (tokenIs(line, "otim")) {
        timeCommand(line, false);
    } else if (tokenIs(line, "go")) {
        goCommand(line);
    } else if (tokenIs(line, "quit")) {
        e.ponderEnabled = 0;
        if (e.inputThreadInUse) stopAllSearches(Aborted);
        else if (searchOpen()) e.stopState = Aborted;
        e.ponderAllowed = false;
        return 0;
    } else if (tokenIs(line, "undo") || tokenIs(line, "remove")) {
        if (!makeIdle(Aborted, line)) return 1;
        // "remove" goes back a whole move: the opponent's and the engine's.
        const int plies = tokenIs(line, "remove") ? 2 : 1;
        for (int ply = 0; ply < plies; ply++) e.takeBack();
        if (analyzeMode) startAnalysis();
    } else if (tokenIs(line, "force")) {
        forceMode = true;
        // No thinking on the opponent's time in force mode: the expected
        // reply goes off the board before the GUI's moves come.
        if (searchOpen() && openKind == SearchKind::Ponder && !makeIdle(Aborted, line)) return 1;
        e.pondering = 0;
    } else if (tokenIs(line, "result")) {
        if (!makeIdle(Aborted, line)) return 1;
    } else if (tokenIs(line, "analyze")) {
        if (!makeIdle(Aborted, line)) return 1;
        if (!analyzeMode) {
            limitBeforeAnalysis = e.limits();
            analyzeMode = true;
        }
        startAnalysis();
    } else if (tokenIs(line, "exit")) {
        if (!makeIdle(Aborted, line)) return 1;
        if (analyzeMode) {
            // The limits of the game come back, so that the next "go" ends.
            analyzeMode = false;
            e.setLimits(limitBeforeAnalysis);
        }
    } else if (tokenIs(line, "variant")) {
        // Chess960 holds until "new" or another variant: castling is then
        // written as the king taking its own rook, the form the GUI reads.
        if (!makeIdle(Aborted, line)) return 1;
        if (!line.next()) return 1;
        const std::string name = tokenText(line);
        if (name != "fischerandom" && name != "normal")
            logger.log(LogError, "unknown variant '%s' played as normal chess", name.c_str());
        e.position.chess960 = name == "fischerandom" ? 1 : 0;
    } else if (tokenIs(line, "setboard")) {
        // A position the engine refuses is told at once and changes
        // nothing: the game stays as it was, a running search included.
        const char* fen = line.next() ? line.tokenStart : "";
        FenFields fields;
        if (!parseFen(fen, fields)) {
            logger.log(LogError, "Invalid FEN string : '%s'", fenEcho(fen).c_str());
            sendLine("tellusererror Illegal position");
            return 1;
        }
        if (!makeIdle(Aborted, line)) return 1;
        e.setFen(fen);
        if (analyzeMode) startAnalysis();
    } else if (tokenIs(line, "?")) {
        // Move now: only the engine's own search has a move to play.
        if (searchOpen() && openKind == SearchKind::Game) interruptSearch(Stopped);
    } else if (tokenIs(line, "new")) {
        newCommand(line);
    } else if (tokenIs(line, "easy")) {
        if (searchOpen() && openKind == SearchKind::Ponder) interruptSearch(PonderStopped);
        e.ponderEnabled = 0;
        e.ponderMove = 0;
    } else if (tokenIs(line, "hard")) {
        // The search reads the switch as it starts and ends: a running one
        // gets it at its end.
        if (searchOpen()) ponderAllowedAfterSearch = 1;
        else e.ponderAllowed = true;
        e.ponderEnabled = 1;
    } else if (tokenIs(line, "post")) {
        postThinking = true;
    } else if (tokenIs(line, "nopost")) {
        postThinking = false;
    } else if (tokenIs(line, "accepted") || tokenIs(line, "refused")) {
        // the GUI's answer to a feature; nothing depends on it
    } else if (tokenIs(line, "protover")) {
        if (line.next()) sendFeatures(e);
    } else if (tokenIs(line, "ping")) {
        if (nextNumber(line, n)) sendToGui(e, "pong %d", int(clamp64(n, INT_MIN, INT_MAX)));
    } else if (isLimitCommand(line) && searchOpen()) {
        // The running search reads the limits: they wait for the next one.
        limitLines.emplace_back(line.lineStart);
    } else if (tokenIs(line, "st")) {
        if (!line.next()) return 1;
        e.moveTime = moveTimeMicros(line);
        addGameLimit(MoveTime);
    } else if (tokenIs(line, "sd")) {
        if (!nextNumber(line, n)) return 1;
        e.depthLimit = int32_t(clamp64(n, 1, 127));
        addGameLimit(Depth);
    } else if (tokenIs(line, "level")) {
        levelCommand(line);
    } else if (tokenIs(line, "cores")) {
        if (!nextNumber(line, n)) return 1;
        coresWanted = int(clamp64(n, 1, MaxSearchThreads));
        applyWantedCores();
    } else if (tokenIs(line, "#") || tokenIs(line, ".") || tokenIs(line, "computer")) {
        // nothing to do
    } else if (isPositionReport(line)) {
        // While the engine ponders, its expected reply stands on the board;
        // the GUI's game is without it.
        sendPositionReport(e, line, evalPawnHash, e.pondering ? pliesWithReply : -1);
    } else if (tokenIs(line, "perftd") || tokenIs(line, "perft") || tokenIs(line, "divide")) {
        const bool detailed = tokenIs(line, "perftd");
        const bool divide = tokenIs(line, "divide");
        if (!nextNumber(line, n)) return 1;
        // The counts walk the game position, which a search's end changes.
        if (searchOpen()) {
            logger.log(LogWarning, "perft is not run during a search");
            sendToGui(e, "Error (not run during a search): %s", line.lineStart);
            return 1;
        }
        const int depth = int(clamp64(n, INT_MIN, INT_MAX));
        if (depth > MaxPerftDepth) {
            sendToGui(e, "Error (depth too large): %s", line.lineStart);
            return 1;
        }
        // "quit" ends the count at once; the other commands wait for its end.
        const CountSetting watched = [&e](const std::function<void()>& count) {
            runWatchedCount(e, quitEndsCount, count);
        };
        if (detailed) runPerftDetailed(e, depth, watched);
        else if (divide) runDivide(e, depth, watched);
        else runPerft(e, depth, watched);
    } else if (tokenIs(line, "option")) {
        if (line.next() && tokenIs(line, "Clear") && line.next() && tokenIs(line, "Hash")) {
            // The search threads read the table: a running search clears it
            // when it has ended.
            if (searchOpen()) clearHashPending = true;
            else e.transpositionTable.clear();
        }
    }
    return 1;
}

void XBoardProtocol::addGameLimit(LimitMode mode) {
    // During an analysis the limits changed are those the game returns to.
    LimitSet limits = analyzeMode ? limitBeforeAnalysis : host.limits();
    // A move time and a clock are two ways of keeping the time: the one
    // named last replaces the other. A depth applies with either, so that
    // a depth cap never lets the engine think past its time.
    if (mode != Depth) limits = limits.without(MoveTime).without(Clock);
    limits |= mode;
    if (analyzeMode) limitBeforeAnalysis = limits;
    else host.setLimits(limits);
}

void XBoardProtocol::resetGameState() {
    Engine& e = host;
    e.newGame();
    e.position.chess960 = 0;  // a new game is normal chess until "variant"
    e.movesLeft = 40;
    e.movesPerSession = 40;
    movesReceived = 0;
    firstGoDone = false;
    e.movesToGo = 40;
    e.newGamePending = 0;
}

void XBoardProtocol::timeCommand(Tokenizer& line, bool own) {
    Engine& e = host;
    int64_t n = 0;
    if (!nextNumber(line, n)) return;
    // Centiseconds to milliseconds in 64 bits; a clock below zero (the flag
    // has fallen) counts as empty.
    const int64_t millis = clamp64(clamp64(n, 0, INT64_MAX / 10) * 10, 0, INT32_MAX);
    if (own) {
        engineClockMillis = millis;
        engineClockKnown = true;
    } else {
        opponentClockMillis = millis;
        opponentClockKnown = true;
    }
    // The clocks of a running search are not touched; every search start
    // gives the engine's clock to the side it moves for.
    if (searchOpen()) return;
    const int side = e.position.sideToMove;
    e.clock[own ? side ^ 1 : side] = float(millis);
}

void XBoardProtocol::levelCommand(Tokenizer& line) {
    Engine& e = host;
    LevelFields fields;
    if (!line.next() || !parseLevel(line.tokenStart, fields)) {
        logger.log(LogWarning, "invalid level command '%s'", line.lineStart);
        return;
    }
    e.movesPerSession = fields.moves;
    e.movesLeft = fields.moves;
    e.movesToGo = fields.moves;
    // The base time is both players' clock until "time" and "otim" say more.
    engineClockMillis = opponentClockMillis = fields.baseMillis;
    engineClockKnown = opponentClockKnown = true;
    if (!searchOpen()) e.clock[0] = e.clock[1] = float(fields.baseMillis);
    e.increment[0] = e.increment[1] = fields.incrementMillis;
    addGameLimit(Clock);
}

void XBoardProtocol::goCommand(Tokenizer& line) {
    Engine& e = host;
    if (!makeIdle(Aborted, line)) return;
    if (analyzeMode) {
        analyzeMode = false;
        e.setLimits(limitBeforeAnalysis);
    }
    e.pondering = 0;
    if (!firstGoDone) {
        firstGoDone = true;
        e.movesLeft = movesLeftWhenJoining(e.movesLeft, e.movesPerSession, movesReceived);
    }
    e.movesToGo = e.movesLeft;
    forceMode = false;
    if (reportGameEnd()) return;
    requestSearch(0);
}

void XBoardProtocol::newCommand(Tokenizer& line) {
    Engine& e = host;
    e.ponderEnabled = 0;
    e.ponderMove = 0;
    if (searchOpen()) {
        // The end of the search sets the new game up, and sends nothing.
        e.newGamePending = 1;
        if (!makeIdle(Aborted, line)) return;
    }
    e.ponderAllowed = false;
    ponderAllowedAfterSearch = -1;
    e.ponderSearch = false;
    resetGameState();
    forceMode = false;
    e.pondering = 0;
    pendingMove.clear();
    engineClockKnown = opponentClockKnown = false;
    if (analyzeMode) {
        limitBeforeAnalysis = e.limits();
        startAnalysis();
    }
}

void XBoardProtocol::moveCommand(Tokenizer& line, const char* text) {
    Engine& e = host;
    if (e.ponderEnabled && e.pondering && e.ponderMove != 0 && !analyzeMode) {
        movesReceived++;
        opponentMoveWhilePondering(text);
        return;
    }
    if (!makeIdle(Aborted, line)) return;
    movesReceived++;
    e.pondering = 0;
    const bool played = e.applyMoves(text);
    if (analyzeMode) {
        startAnalysis();
        return;
    }
    if (!played || forceMode || reportGameEnd()) return;
    e.movesToGo = e.movesLeft;
    requestSearch(0);
}

void XBoardProtocol::opponentMoveWhilePondering(const char* text) {
    Engine& e = host;
    char expected[8];
    formatMove(e.position, Move(e.ponderMove), expected);
    const bool hit =
        samePonderMove(text, expected) || castlingWordNames(text, Move(e.ponderMove));
    e.pondering = 0;

    if (!searchOpen()) {
        // The ponder search has already ended at its depth and taken the
        // expected reply back: the opponent's move is played here.
        if (!e.applyMoves(text) || forceMode || reportGameEnd()) return;
        e.movesToGo = e.movesLeft;
        requestSearch(0);
        return;
    }

    // Should the ponder search end as one after all, its end plays this move
    // and starts the real search.
    pendingMove = text;
    if (hit && openKind == SearchKind::Ponder) {
        convertPonderSearch();
        return;
    }
    if (!e.inputThreadInUse) {
        e.stopState = PonderStopped;  // read inside the ponder search's poll
        return;
    }
    waitForSearchEnd(searchesRequested, PonderStopped);
}

void XBoardProtocol::convertPonderSearch() {
    Engine& e = host;
    openKind = SearchKind::Game;
    if (e.inputThreadInUse) {
        // Not yet taken by the main thread: it simply runs as a normal search.
        e.mutex.lock();
        const bool waiting = e.searchRequested.load();
        if (waiting) e.ponderArg = 0;
        e.mutex.unlock();
        if (waiting) return;
        // Taken: the search marks itself a ponder search as it starts; the
        // mark can only be cleared after that. A search that ends first ends
        // as a ponder search, and its end plays the pending move.
        const uint64_t search = searchesRequested;
        while (!e.ponderSearch.load() && searchesEnding.load() < search) usleep(50);
    }
    if (e.ponderSearch.load()) {
        e.ponderSearch = false;
        // The next poll of the search makes the full check, clock included.
        e.pollCounter = e.pollInterval;
    }
}

void XBoardProtocol::applyWaitingLimits() {
    std::vector<std::string> limits;
    limits.swap(limitLines);
    for (const std::string& text : limits) {
        Tokenizer line(text.c_str(), ' ');
        if (line.next()) executeCommand(line);
    }
}

void XBoardProtocol::startAnalysis() {
    host.setLimits(Infinite);
    requestSearch(0);
}

bool XBoardProtocol::reportGameEnd() {
    Position& position = host.position;
    const GameEnd end = gameEndOnTurn(position);
    if (end == GameEnd::None) return false;
    sendLine(resultLine(end, position.sideToMove));
    return true;
}

void XBoardProtocol::applyWantedCores() {
    Engine& e = host;
    if (coresWanted == 0 || searchOpen() || endingSearch) return;
    if (e.inputThreadInUse) {
        // A search that has answered may still be returning on the main
        // thread; nothing else can start one while this thread holds the
        // lock.
        while (e.searchActive()) usleep(100);
    } else if (e.searchActive()) {
        return;  // a command that waited for a search's end, inside it
    }
    useSearchThreads(e, coresWanted);
    coresWanted = 0;
}

void XBoardProtocol::requestSearch(int ponder) {
    Engine& e = host;
    applyWaitingLimits();
    applyWantedCores();
    const int side = e.position.sideToMove;
    if (engineClockKnown) e.clock[side] = float(engineClockMillis);
    if (opponentClockKnown) e.clock[side ^ 1] = float(opponentClockMillis);
    openKind = analyzeMode ? SearchKind::Analysis
                           : (ponder != 0 && e.ponderAllowed ? SearchKind::Ponder : SearchKind::Game);
    searchesRequested++;
    e.startSearch(ponder);
}

void XBoardProtocol::waitForSearchEnd(uint64_t search, StopState how) {
    Engine& e = host;
    while (searchesEnded < search) {
        if (e.stopState.load() == Running) {
            e.stopState = how;
            e.wakeSearch();
        }
        guard.unlock();
        usleep(200);
        guard.lock();
    }
}

void XBoardProtocol::interruptSearch(StopState how) {
    Engine& e = host;
    if (!searchOpen()) return;
    if (!e.inputThreadInUse) {
        // Read inside the search's own poll: it has started and sees this.
        e.stopState = how;
        return;
    }
    waitForSearchEnd(searchesRequested, how);
}

void XBoardProtocol::stopAllSearches(StopState how) {
    idleWanted = true;
    while (searchOpen()) waitForSearchEnd(searchesRequested, how);
    idleWanted = false;
    // An aborted ponder search leaves its mark behind.
    host.ponderSearch = false;
}

bool XBoardProtocol::makeIdle(StopState how, const Tokenizer& line) {
    Engine& e = host;
    if (!searchOpen()) {
        // A ponder search that ended at its depth has taken its expected
        // reply back; the game now goes another way.
        e.pondering = 0;
        return true;
    }
    if (!e.inputThreadInUse) {
        // Read inside the search's own poll: the search must return before
        // the game can change, so the line waits for the search's end.
        e.stopState = how;
        deferredLines.emplace_back(line.lineStart);
        return false;
    }
    stopAllSearches(how);
    e.pondering = 0;
    return true;
}

void XBoardProtocol::startPondering(double elapsedMicros) {
    Engine& e = host;
    char hint[8];
    formatMove(e.position, Move(e.ponderMove), hint);
    sendToGui(e, "Hint: %s", hint);
    if (!e.applyMoves(hint)) return;
    pliesWithReply = int(e.gameHistory.size());
    // A reply that ends the game leaves nothing to think about.
    if (!hasLegalMove(e.position)) {
        e.takeBack();
        return;
    }
    e.pondering = 1;
    const int side = e.position.sideToMove;  // the engine's side again
    if (engineClockKnown) {
        // The GUI's next "time" comes with the opponent's move; until then
        // the engine's clock is what it was less the time just spent.
        engineClockMillis -= int64_t(elapsedMicros / 1000.0);
        engineClockMillis += e.increment[side];
        engineClockMillis = clamp64(engineClockMillis, 0, INT32_MAX);
    }
    e.movesToGo = e.movesLeft;
    requestSearch(1);
}

void XBoardProtocol::searchEnded(StopState state, Move best, Move ponder, double elapsedMicros) {
    searchesEnding.fetch_add(1);
    std::lock_guard<std::recursive_mutex> hold(guard);
    endingSearch = true;
    Engine& e = host;
    const SearchKind kind = openKind;
    if (searchesEnded < searchesRequested) searchesEnded++;

    if (clearHashPending) {
        clearHashPending = false;
        e.transpositionTable.clear();
    }
    if (ponderAllowedAfterSearch >= 0) {
        e.ponderAllowed = ponderAllowedAfterSearch != 0;
        ponderAllowedAfterSearch = -1;
    }

    if (state == Aborted || e.newGamePending) {
        // Nothing is sent; a "new" that came during the search is carried
        // out now, whatever the search made of the game.
        if (e.newGamePending) resetGameState();
        e.ponderSearch = false;
        e.pondering = 0;
        pendingMove.clear();
    } else if (state == PonderFinished || state == PonderStopped) {
        // The ponder search has taken the expected reply back.
        if (!pendingMove.empty()) {
            std::string text;
            text.swap(pendingMove);
            e.pondering = 0;
            if (e.applyMoves(text.c_str()) && !forceMode && !reportGameEnd() &&
                mayStartSearch()) {
                e.movesToGo = e.movesLeft;
                requestSearch(0);
            }
        } else if (state == PonderStopped) {
            e.pondering = 0;
        }
        // Finished at its depth with no reply yet: the opponent's move is
        // played when it comes.
    } else {
        pendingMove.clear();
        // An analysis plays no move, and no legal move means none to send.
        if (!e.toolMode && kind != SearchKind::Analysis && best != NoMove) {
            char moveText[8];
            formatMove(e.position, best, moveText);
            e.ponderMove = int32_t(ponder);
            if (state == Stopped && e.movesPerSession != 0 && --e.movesLeft <= 0)
                e.movesLeft = e.movesPerSession;
            char text[32];
            std::snprintf(text, sizeof text, "move %s", moveText);
            sendLine(text);
            if (e.ponderEnabled) {
                e.pondering = 0;
                // A thread count that waits for this search's end: no ponder
                // search, so that the count is in force for the next search.
                if (e.ponderMove != 0 && !forceMode && mayStartSearch() && coresWanted == 0)
                    startPondering(elapsedMicros);
            }
        }
    }

    // Commands read inside this search's poll that had to wait for its end.
    while (!deferredLines.empty() && searchesEnded >= searchesRequested) {
        const std::string text = deferredLines.front();
        deferredLines.erase(deferredLines.begin());
        Tokenizer line(text.c_str(), ' ');
        if (line.next() && executeCommand(line) == 0) e.requestQuit();
    }
    endingSearch = false;
}
