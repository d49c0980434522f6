#pragma once
// Shared support for the book and PGN tests: positions from FEN, temporary
// files, the log capture and a handler that records the reader's events.

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/position.h"
#include "book/pgn_handler.h"
#include "book/pgn_reader.h"
#include "foundation/log.h"
#include "support/log_capture.h"

namespace book_test {

inline void ensureTables() { initAttackTables(); }

inline Position fromFen(const std::string& fen) {
    ensureTables();
    Position position;
    position.clear();
    FenFields fields;
    EXPECT_TRUE(parseFen(fen.c_str(), fields)) << fen;
    setupFromFen(position, fields);
    return position;
}

inline Position startPosition() {
    ensureTables();
    Position position;
    position.clear();
    position.setStartPosition();
    return position;
}

inline std::string fenOf(const Position& position) {
    char buffer[FenBufferSize];
    toFen(position, 0, buffer);
    std::string text(buffer);
    // Drop the history-length field, which the tests do not track.
    return text.substr(0, text.rfind(' '));
}

inline std::string tempPath(const std::string& name) {
    return testing::TempDir() + "vorlix_book_" + std::to_string(getpid()) + "_" + name;
}

inline std::string writeTempFile(const std::string& name, const std::string& content) {
    std::string path = tempPath(name);
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path;
}

inline std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

inline bool fileExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

struct RecordedError {
    int code;
    std::string text;
    int game;
    int ply;
    int line;
};

struct RecordedMove {
    std::string san;
    Move move;
    int ply;
    int side;
    std::string comment;  // "-" when the move has none
    std::vector<int> nags;
};

struct RecordedGame {
    std::vector<std::pair<std::string, std::string>> tagsAtStart;
    Key startKey = 0;
    int startSide = White;
    std::vector<RecordedMove> moves;
    std::string finalFen;
    int finalLegalMoves = 0;
    bool finalInCheck = false;
    bool ended = false;
};

// Records every event, and still logs errors as the default handler does.
class RecordingHandler : public PgnHandler {
public:
    std::vector<std::string> events;  // in order, one short text each
    std::vector<RecordedGame> games;
    std::vector<RecordedError> errors;
    std::vector<int> nags;
    std::vector<std::string> comments;
    std::vector<std::pair<std::string, std::string>> tags;

    void beginFile(PgnReader&) override { events.push_back("beginFile"); }
    void endFile(PgnReader&) override { events.push_back("endFile"); }
    void gameStart(PgnReader& reader) override {
        events.push_back("gameStart");
        RecordedGame game;
        for (const PgnTag& tag : reader.game.tags)
            game.tagsAtStart.emplace_back(tag.name, tag.value);
        game.startKey = reader.position.key;
        game.startSide = reader.position.sideToMove;
        games.push_back(game);
    }
    void gameEnd(PgnReader& reader) override {
        events.push_back("gameEnd");
        ASSERT_FALSE(games.empty());
        RecordedGame& game = games.back();
        game.ended = true;
        game.finalFen = fenOf(reader.position);
        ScoredMove list[MaxMoves];
        game.finalInCheck = reader.position.inCheck();
        game.finalLegalMoves = reader.position.generateLegalMoves(list, game.finalInCheck);
    }
    void onMove(PgnReader& reader, const PgnMoveToken& token, Move move,
                const char* comment) override {
        events.push_back("move " + token.san);
        ASSERT_FALSE(games.empty());
        RecordedMove recorded{token.san, move, reader.ply, reader.side,
                              comment ? comment : "-", {}};
        for (uint8_t nag : token.nags) {
            if (nag != 0)
                recorded.nags.push_back(nag);
        }
        games.back().moves.push_back(recorded);
    }
    void onComment(PgnReader&, const std::string& text) override {
        events.push_back("comment " + text);
        comments.push_back(text);
    }
    void onTag(PgnReader&, const std::string& name, const std::string& value) override {
        events.push_back("tag " + name + "=" + value);
        tags.emplace_back(name, value);
    }
    void onNag(PgnReader&, int nag) override {
        events.push_back("nag " + std::to_string(nag));
        nags.push_back(nag);
    }
    void onError(PgnReader& reader, int code, const char* text) override {
        events.push_back("error " + std::to_string(code));
        errors.push_back({code, text ? text : "", reader.gameNumber, reader.ply, reader.elementLine});
        PgnHandler::onError(reader, code, text);
    }
};

// Reads PGN text through a temporary file.
inline bool readPgnText(const std::string& name, const std::string& text, RecordingHandler& handler,
                        int* gamesClosed = nullptr) {
    ensureTables();
    std::string path = writeTempFile(name + ".pgn", text);
    PgnReader reader(path, handler);
    bool ok = reader.readFile();
    if (gamesClosed)
        *gamesClosed = reader.gameNumber;
    std::remove(path.c_str());
    return ok;
}

}  // namespace book_test
