#include "search/engine.h"

#include <cstdio>
#include <cstring>

#include "board/attacks.h"
#include "board/fen.h"
#include "eval/pawns.h"
#include "eval/weights.h"
#include "foundation/log.h"
#include "search/reductions.h"

Engine::Engine() {
    position.clear();
    evalParams.loaded = false;
    std::memset(evalParams.values, 0, sizeof(evalParams.values));
    evalParams.elo = 2700;
    evalParams.reducedStrength = false;
    evalParams.ownColour = 0;
    std::memset(repKeys, 0, sizeof(repKeys));
    gameHistory.reserve(512);
    std::memset(excludedMoves, 0, sizeof(excludedMoves));
    std::memset(pvLines, 0, sizeof(pvLines));
    setStrength(2700);
}

Engine::~Engine() {
    gameHistory.clear();
    threadPool.destroyThreads();
    transpositionTable.release();
}

void Engine::init(int hashMb) {
    initAttackTables();
    initEvalWeights(evalParams, false);
    initEvalTables();
    repKeyCount = 0;
    transpositionTable.resize(hashMb);
    logger.log(LogInfo, "Pawns hash table size : %d Kb by thread", 2048);
    repKeyCount = 0;
    gameHistory.clear();
    position.setStartPosition();
    initReductionTables();
    threadPool.engine = this;
    threadPool.createThreads();
    position.owner = threadPool.mainThread;
    perftRunner.engine = this;
    perftRunner.position = &position;
}

void Engine::release() {
    mutex.lock();
    // A search asked for but not yet begun must not start on a released engine.
    searchRequested = false;
    bool active = searching || requestInService;
    mutex.unlock();
    if (active) {
        stopState = Aborted;
        wakeSearch();
    }
    ponderSearch = false;
    ponderAllowed = false;
    threadPool.destroyThreads();
    perftRunner.engine = nullptr;
    perftRunner.position = nullptr;
    position.clear();
    transpositionTable.release();
}

void Engine::newGame() {
    searching = false;
    searchCount = 0;
    ponderSearch = false;
    gameHistory.clear();
    baseClock = 300000;
    depthLimit = 8;
    setLimits(MoveTime);
    pollInterval = 30000;
    pollCounter = 0;
    nodeLimit = 2000000;
    moveTime = 5000000;
    movesToGo = 40;
    increment[0] = increment[1] = 0;
    repKeyCount = 0;
    position.setStartPosition();
    transpositionTable.clear();
    clock[0] = clock[1] = float(baseClock);
}

bool Engine::setFen(const char* text) {
    FenFields fields;
    // The reader refuses boards the engine cannot play from (missing or extra
    // kings, too many pieces, the side not to move in check), so everything
    // it accepts is safe to search.
    if (text == nullptr || !parseFen(text, fields)) {
        logger.log(LogError, "Invalid FEN string : '%s'", fenEcho(text ? text : "").c_str());
        return false;
    }
    repKeyCount = 0;
    gameHistory.clear();
    setupFromFen(position, fields);
    return true;
}

bool Engine::toFen(const Position& source, char* buffer) const {
    return ::toFen(source, int(gameHistory.size()), buffer);
}

GameSnapshot Engine::snapshotGame() {
    GameSnapshot snapshot;
    gameGuard.lock();
    snapshot.position = position;
    snapshot.plies = int(gameHistory.size());
    if (!gameHistory.empty()) snapshot.last = gameHistory.back();
    gameGuard.unlock();
    return snapshot;
}

void Engine::pushRepetitionKey(Key key) {
    if (repKeyCount >= MaxRepetitionKeys) {
        std::memmove(repKeys, repKeys + 1, sizeof(Key) * (MaxRepetitionKeys - 1));
        repKeyCount = MaxRepetitionKeys - 1;
    }
    repKeys[repKeyCount++] = key;
}

namespace {

bool isIrreversible(Move move) {
    return movePiece(move) == Pawn || moveCaptured(move) != 0 || isCastling(move);
}

// Reads one move token at text[i] (n = text length) into from, to and the
// promotion piece; returns the token's length including the separator after
// a promotion letter, or 0 when it cannot be read.
int readMoveToken(const Position& position, const char* text, int i, int n, int& from, int& to,
                  int& promotion) {
    auto at = [&](int k) { return i + k < n ? text[i + k] : '\0'; };
    const int side = position.sideToMove;
    promotion = 0;
    if (at(0) == 'O' && at(1) == '-' && at(2) == 'O') {
        from = position.kingStart[side];
        if (at(3) == '-' && at(4) == 'O') {
            to = position.rookStart[LongWing][side];
            return 5;
        }
        to = position.rookStart[ShortWing][side];
        return 3;
    }
    char f1 = at(0), r1 = at(1), f2 = at(2), r2 = at(3);
    if (f1 < 'a' || f1 > 'h' || r1 < '1' || r1 > '8' || f2 < 'a' || f2 > 'h' || r2 < '1' ||
        r2 > '8')
        return 0;
    from = makeSquare(f1 - 'a', r1 - '1');
    to = makeSquare(f2 - 'a', r2 - '1');
    if (i + 4 >= n) return 4;
    switch (at(4)) {
        case ' ': return 4;
        case 'q': promotion = Queen; return 6;
        case 'r': promotion = Rook; return 6;
        case 'b': promotion = Bishop; return 6;
        case 'n': promotion = Knight; return 6;
        default: return 0;
    }
}

// The move word the move generators produce for a from/to pair typed by a
// GUI: the king taking its own castling rook becomes castling, and so does,
// outside Chess960, the king's two-file step from e1 or e8 towards a wing it
// may still castle on (the form formatMove writes); a pawn moving diagonally
// onto the empty en-passant square becomes an en-passant capture. A king
// starting elsewhere that steps onto the c- or g-file makes a plain move.
Move moveFromSquares(const Position& position, int from, int to, int promotion) {
    const int side = position.sideToMove;
    const int piece = position.board[from];
    int captured = position.board[to];
    Move flags = 0;
    if (piece == Pawn && fileOf(from) != fileOf(to) && position.board[to] == NoPiece &&
        position.epFile != 0) {
        captured = Pawn;
        flags |= EnPassantFlag;
    }
    if (piece == King && from == position.kingStart[side]) {
        const int shortRook = position.rookStart[ShortWing][side];
        const int longRook = position.rookStart[LongWing][side];
        const int backRank = side == White ? 0 : 7;
        if (!position.chess960 && from == makeSquare(4, backRank)) {
            const int shortRight = side == White ? WhiteShort : BlackShort;
            const int longRight = side == White ? WhiteLong : BlackLong;
            if (to == makeSquare(6, backRank) && (position.castlingRights & shortRight))
                to = shortRook;
            else if (to == makeSquare(2, backRank) && (position.castlingRights & longRight))
                to = longRook;
        }
        const bool ownRook = position.board[to] == Rook &&
                             (position.byColor[side] & (Bitboard(1) << to)) != 0;
        if (ownRook && (to == shortRook || to == longRook)) {
            captured = 0;
            flags |= CastlingFlag;
        }
    }
    return makeMove(from, to, piece, captured, promotion) | flags;
}

// Reports a rejected move token: its first five characters, or four when the
// fifth is missing or a blank; never reads past the text.
void reportIllegalMove(Engine& engine, const char* token, int available) {
    int length = available < 5 ? available : 5;
    if (length == 5 && token[4] == ' ') length = 4;
    char message[256];
    std::snprintf(message, sizeof(message), "Illegal move: %.*s", length, token);
    engine.listener->onMessage(message);
    logger.log(LogError, "%s", message);
}

}  // namespace

bool Engine::applyMoves(const char* text) {
    if (text == nullptr) return true;
    const int n = int(std::strlen(text));
    int i = 0;
    while (i < n) {
        int from = 0, to = 0, promotion = 0;
        const int length = readMoveToken(position, text, i, n, from, to, promotion);
        Move move = length == 0 ? NoMove : moveFromSquares(position, from, to, promotion);

        // Only a move the legal generator produces is played: a word that
        // merely looks plausible (a wrong capture field, a castling through
        // attacked squares) would corrupt the position.
        bool legal = false;
        if (move != NoMove) {
            ScoredMove legalMoves[MaxMoves];
            const int count = position.generateLegalMoves(legalMoves, position.inCheck());
            for (int k = 0; k < count && !legal; k++) legal = legalMoves[k].move == move;
        }
        if (!legal) {
            reportIllegalMove(*this, text + i, n - i);
            return false;
        }

        int next = i + length;
        while (next < n && text[next] == ' ') next++;

        pushRepetitionKey(position.key);
        if (isIrreversible(move)) repKeyCount = 0;
        UndoRecord undo;
        position.makeMove(move, undo);
        gameHistory.push_back(undo);
        i = next;
    }
    return true;
}

void Engine::rebuildRepetitionKeys() {
    repKeyCount = 0;
    for (const UndoRecord& record : gameHistory) {
        pushRepetitionKey(record.key);
        if (isIrreversible(record.move)) repKeyCount = 0;
    }
}

bool Engine::takeBack() {
    if (gameHistory.empty()) return false;
    const UndoRecord last = gameHistory.back();
    position.unmakeMove(last.move, last);
    gameHistory.pop_back();
    rebuildRepetitionKeys();
    return true;
}

void Engine::followWeights() {
    const uint32_t generation = evalWeightsGeneration();
    if (positionWeightsGeneration != generation) {
        position.refreshMaterial();
        positionWeightsGeneration = generation;
    }
    for (SearchThread* thread : threadPool.threads) thread->pawnHash.clearIfStale();
}
