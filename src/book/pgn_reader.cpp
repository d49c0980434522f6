#include "book/pgn_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/fen.h"
#include "book/san.h"
#include "foundation/log.h"
#include "foundation/regular_file.h"

// ---------------------------------------------------------------- handler --

PgnHandler::~PgnHandler() = default;
void PgnHandler::beginFile(PgnReader&) {}
void PgnHandler::endFile(PgnReader&) {}
void PgnHandler::gameStart(PgnReader&) {}
void PgnHandler::gameEnd(PgnReader&) {}
void PgnHandler::onMove(PgnReader&, const PgnMoveToken&, Move, const char*) {}
void PgnHandler::onComment(PgnReader&, const std::string&) {}
void PgnHandler::onTag(PgnReader&, const std::string&, const std::string&) {}
void PgnHandler::onNag(PgnReader&, int) {}

void PgnHandler::onError(PgnReader& reader, int code, const char* text) {
    if (text == nullptr)
        text = "";
    switch (code) {
        case PgnErrorFileNotFound:
            logger.log(LogError, "Chess PGN : File not found \"%s\"", text);
            break;
        case PgnErrorOutOfMemory:
            logger.log(LogError, "Chess PGN : Out of memory\n");
            break;
        case PgnErrorParseMove:
            logger.log(LogError, "Chess PGN : Error parsing move '%s' in game %d at ply %d, line %d",
                       text, reader.gameNumber, reader.ply, reader.elementLine);
            break;
        case PgnErrorInvalidMove:
            logger.log(LogError, "Chess PGN : Invalid move '%s' in game %d at ply %d, line %d", text,
                       reader.gameNumber, reader.ply, reader.elementLine);
            break;
        case PgnErrorReadFailed:
            logger.log(LogError, "Chess PGN : Error reading file \"%s\"", text);
            break;
        case PgnErrorInvalidFen:
            logger.log(LogError, "Chess PGN : Invalid FEN '%s' in game %d at line %d", text,
                       reader.gameNumber, reader.elementLine);
            break;
        default:
            logger.log(LogError, "Chess PGN : unknown error");
            break;
    }
}

// ------------------------------------------------------------------- game --

void PgnGame::clear() {
    tags.clear();
    tokens.clear();
    moves.clear();
    comments.clear();
}

// ----------------------------------------------------------------- reader --

PgnReader::PgnReader(const std::string& pgnPath, PgnHandler& eventHandler)
    : path(pgnPath), handler(&eventHandler) {
    position.clear();
    position.setStartPosition();
}

void PgnReader::reset() {
    game.clear();
    token.clear();
    // Room for the longest text kept (a tag's: its name, then the value with
    // a blank and two quotes), taken once: no element grows it.
    token.reserve(2 * textLength + 3);
    errorFlag = false;
    side = White;
    commentCount = 0;
    ply = 0;
    moveNumber = 0;
    gameNumber = 0;
    line = 0;
    elementLine = 0;
    variationDepth = 0;
    inTagSection = false;
    gameOpen = false;
    movesDropped = false;
    mode = Dispatch;
    previousWasCarriageReturn = false;
}

bool PgnReader::readFile() {
    fileError = 0;
    FILE* file = openRegularFile(path.c_str(), &fileError);
    if (file == nullptr) {
        handler->onError(*this, PgnErrorFileNotFound, path.c_str());
        return false;
    }
    handler->beginFile(*this);
    reset();

    std::vector<unsigned char> buffer(readBlockSize);
    for (;;) {
        size_t read = fread(buffer.data(), 1, buffer.size(), file);
        for (size_t i = 0; i < read; ++i)
            feed(buffer[i]);
        if (read < buffer.size())
            break;
    }
    if (ferror(file)) {
        fileError = errno;
        fclose(file);
        handler->onError(*this, PgnErrorReadFailed, path.c_str());
        return false;
    }
    endOfFile();
    fclose(file);
    handler->endFile(*this);
    return true;
}

void PgnReader::feed(unsigned char byte) {
    char c;
    // A line ends at a carriage return, a line feed, or the pair of both.
    bool lineBreak = byte == '\r' || byte == '\n';
    if (byte == '\r') {
        ++line;
        previousWasCarriageReturn = true;
        c = ' ';
    } else {
        if (byte == '\n' && !previousWasCarriageReturn)
            ++line;
        previousWasCarriageReturn = false;
        // Control characters and everything outside plain ASCII read as blanks.
        c = byte < 32 || byte >= 128 ? ' ' : char(byte);
    }
    // A tag pair stands on one line: a value whose closing quote is missing
    // ends with its line instead of swallowing the games after it.
    if (lineBreak && mode == TagText && quoted) {
        storeTagChar('"');
        finishTag();
        mode = Dispatch;
        return;
    }
    switch (mode) {
        case Dispatch: onChar(c); break;
        case TagText: onTagChar(c); break;
        case CommentText: onCommentChar(c); break;
        case MoveText: onMoveTextChar(c); break;
    }
}

// A comment or move text ends the tag section; move text with no tag section
// before it starts a game of its own from the standard position.
void PgnReader::startGameIfNeeded() {
    if (inTagSection || !gameOpen) {
        inTagSection = false;
        endOfTags();
    }
}

bool PgnReader::onChar(char c) {
    switch (c) {
        case ' ':
            break;
        case '(':
            // A variation is move text: it ends the tag section first, so that
            // starting the game does not forget the depth it opens.
            startGameIfNeeded();
            ++variationDepth;
            break;
        case ')':
            startGameIfNeeded();
            if (variationDepth > 0)
                --variationDepth;
            break;
        case '[':
            if (!inTagSection) {
                inTagSection = true;
                if (gameOpen)
                    closeGame();
            }
            mode = TagText;
            atElementStart = true;
            quoted = false;
            escaped = false;
            tagNameLength = 0;
            tagTextCut = false;
            token.clear();
            elementLine = line;
            break;
        case '{':
            startGameIfNeeded();
            ++commentCount;
            mode = CommentText;
            atElementStart = true;
            token.clear();
            elementLine = line;
            break;
        default:
            startGameIfNeeded();
            mode = MoveText;
            token.assign(1, c);
            atElementStart = false;
            elementLine = line;
            break;
    }
    return true;
}

void PgnReader::onTagChar(char c) {
    if (quoted && escaped) {
        escaped = false;
    } else if (quoted && c == '\\') {
        escaped = true;  // \" and \\ stand for the character itself
        return;
    } else if (c == '"') {
        quoted = !quoted;
    } else if (c == ']' && !quoted) {
        finishTag();
        mode = Dispatch;
        return;
    } else if (c == ' ') {
        if (atElementStart)
            return;
        if (tagNameLength == 0)
            tagNameLength = token.size();
    }
    storeTagChar(c);
    atElementStart = false;
}

// The name keeps textLength characters; after it, the blank and the opening
// quote, textLength characters of the value and the closing quote are kept.
void PgnReader::storeTagChar(char c) {
    if (tagNameLength == 0) {
        if (token.size() < textLength)
            token.push_back(c);
    } else if (token.size() - tagNameLength < textLength + 3) {
        token.push_back(c);
    } else {
        tagTextCut = true;
    }
}

bool PgnReader::hasTag(const std::string& name) const {
    for (const PgnTag& tag : game.tags)
        if (tag.name == name)
            return true;
    return false;
}

void PgnReader::finishTag() {
    if (token.empty())
        return;
    PgnTag tag;
    if (tagNameLength == 0) {
        tag.name = token;  // a name alone, without a value
    } else {
        tag.name = token.substr(0, tagNameLength);
        // The value lies between the blank plus opening quote and the last
        // character (the closing quote); a shorter tag has an empty value.
        // A value cut short has lost its closing quote with the rest.
        size_t start = tagNameLength + 2;
        size_t end = tagTextCut ? token.size() : token.size() - 1;
        if (end > start)
            tag.value = token.substr(start, std::min(end - start, textLength));
    }
    // A tag section holds each name once: a repeated name opens the section
    // of the next game, and the game before it had no move text.
    if (hasTag(tag.name)) {
        endOfTags();
        closeGame();
    }
    if (game.tags.size() < tagLimit)
        game.tags.push_back(tag);
    handler->onTag(*this, tag.name, tag.value);
}

void PgnReader::onCommentChar(char c) {
    if (c == '}') {
        finishComment();
        mode = Dispatch;
        return;
    }
    if (c == ' ' && atElementStart)
        return;
    if (token.size() < textLength)
        token.push_back(c);
    atElementStart = false;
}

void PgnReader::finishComment() {
    if (token.empty())
        return;
    // A comment before the first move, or after a move that was not kept,
    // belongs to no stored move and is not stored. Of several comments after
    // one move the move refers to the last: it takes the place of the one
    // before, so that a game keeps no more comments than moves.
    if (!game.tokens.empty() && !movesDropped) {
        PgnMoveToken& move = game.tokens.back();
        if (move.comment > 0 && size_t(move.comment) == game.comments.size()) {
            game.comments.back() = token;
        } else if (game.comments.size() < size_t(INT16_MAX)) {
            game.comments.push_back(token);
            move.comment = int16_t(game.comments.size());
        }
    }
    handler->onComment(*this, token);
}

void PgnReader::onMoveTextChar(char c) {
    switch (c) {
        case ' ':
            finishMoveToken();
            mode = Dispatch;
            break;
        case '(':
        case ')':
        case '[':
        case '{':
            finishMoveToken();
            mode = Dispatch;
            onChar(c);
            break;
        default:
            if (token.size() < textLength)
                token.push_back(c);
            break;
    }
}

void PgnReader::finishMoveToken() {
    if (variationDepth != 0 || token.empty())
        return;
    if (token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*")
        return;
    if (token[0] == '$') {
        long nag = strtol(token.c_str() + 1, nullptr, 10);
        handler->onNag(*this, int(nag));
        // A NAG before the first move, or after a move that was not kept,
        // belongs to no stored move.
        if (!game.tokens.empty() && !movesDropped && nag > 0 && nag <= 255) {
            for (uint8_t& slot : game.tokens.back().nags) {
                if (slot == 0) {
                    slot = uint8_t(nag);
                    break;
                }
            }
        }
        return;
    }
    size_t sanStart = 0;
    size_t dot = token.find('.');
    if (dot != std::string::npos) {
        moveNumber = int(strtol(token.c_str(), nullptr, 10));
        sanStart = dot;
        while (sanStart < token.size() && token[sanStart] == '.')  // 12. and 12...
            ++sanStart;
        if (sanStart == token.size())
            return;
    }
    if (game.tokens.size() >= moveLimit) {
        movesDropped = true;
        return;
    }
    PgnMoveToken move;
    move.san = token.substr(sanStart);
    game.tokens.push_back(move);
}

void PgnReader::endOfTags() {
    gameOpen = true;
    variationDepth = 0;
    const PgnTag* fenTag = nullptr;
    for (const PgnTag& tag : game.tags) {
        if (tag.name == "FEN") {
            fenTag = &tag;
            break;
        }
    }
    if (fenTag != nullptr && !fenTag->value.empty()) {
        FenFields fields;
        if (parseFen(fenTag->value.c_str(), fields)) {
            setupFromFen(position, fields);
        } else {
            logger.log(LogError, "Invalid FEN string : '%s'", fenTag->value.c_str());
            // The moves cannot be replayed from an unknown position: the
            // game is skipped rather than read from a guessed board.
            position.setStartPosition();
            errorFlag = true;
        }
    } else {
        position.setStartPosition();
    }
    handler->gameStart(*this);
}

void PgnReader::resolveMoves() {
    ply = 0;
    side = position.sideToMove;
    if (errorFlag)
        return;
    for (const PgnMoveToken& moveToken : game.tokens) {
        if (side == Black)
            ++ply;
        Move move = NoMove;
        SanResult result = resolveSan(position, moveToken.san, move);
        if (result != SanResult::Ok) {
            errorFlag = true;
            handler->onError(*this,
                             result == SanResult::Unreadable ? PgnErrorParseMove : PgnErrorInvalidMove,
                             moveToken.san.c_str());
            return;
        }
        UndoRecord undo;
        position.makeMove(move, undo);
        game.moves.push_back(move);
        const char* comment = nullptr;
        if (moveToken.comment >= 1 && size_t(moveToken.comment) <= game.comments.size())
            comment = game.comments[moveToken.comment - 1].c_str();
        handler->onMove(*this, moveToken, move, comment);
        side ^= 1;
    }
}

void PgnReader::closeGame() {
    resolveMoves();
    handler->gameEnd(*this);
    ++gameNumber;
    game.clear();
    errorFlag = false;
    side = White;
    commentCount = 0;
    ply = 0;
    moveNumber = 0;
    variationDepth = 0;
    gameOpen = false;
    movesDropped = false;
}

void PgnReader::endOfFile() {
    // A move token running into the end of the file is still a move.
    if (mode == MoveText)
        finishMoveToken();
    mode = Dispatch;
    if (inTagSection) {  // tags with no move text after them
        inTagSection = false;
        endOfTags();
    }
    if (gameOpen)
        closeGame();
}
