#pragma once
// Driving the real program through the XBoard dialogue: an engine process
// that has chosen XBoard, and a referee board that checks every move with the
// engine library's own legal move generator.

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/notation.h"
#include "board/position.h"
#include "engine_process.h"

namespace xboardtest {

using enginetest::EngineProcess;
using enginetest::TempDir;

// Sanitizer builds run the program several times slower: their games get
// longer clocks and fewer games.
constexpr bool slowBuild = enginetest::sanitizerBuild;

constexpr int answerTimeoutMs = slowBuild ? 30000 : 10000;

// The board of a game as the GUI keeps it.
class Referee {
public:
    Referee() {
        initAttackTables();
        position.clear();  // standard chess: castling written as the king's step
        reset();
    }

    void reset() {
        position.setStartPosition();
        keys.assign(1, position.key);
        plies = 0;
    }

    bool setFen(const std::string& fen) {
        FenFields fields;
        if (!parseFen(fen.c_str(), fields)) return false;
        setupFromFen(position, fields);
        keys.assign(1, position.key);
        plies = 0;
        return true;
    }

    std::vector<std::string> legalMoves() {
        ScoredMove list[MaxMoves];
        const int count = position.generateLegalMoves(list, position.inCheck());
        std::vector<std::string> texts;
        for (int i = 0; i < count; i++) texts.push_back(text(list[i].move));
        return texts;
    }

    bool isLegal(const std::string& moveText) { return find(moveText) != 0; }

    // Plays the move when it is legal.
    bool play(const std::string& moveText) {
        const Move move = find(moveText);
        if (move == 0) return false;
        UndoRecord undo;
        position.makeMove(move, undo);
        keys.push_back(position.key);
        plies++;
        return true;
    }

    // Why the game is over, or empty while it goes on.
    std::string gameOver() {
        if (legalMoves().empty()) return position.inCheck() ? "mate" : "stalemate";
        if (position.halfmoveClock >= 100) return "fifty moves";
        int seen = 0;
        for (Key key : keys) seen += key == position.key;
        if (seen >= 3) return "repetition";
        return std::string();
    }

    // The board, side, castling and en-passant fields of the FEN text.
    std::string placement() {
        char buffer[FenBufferSize];
        toFen(position, plies, buffer);
        return fenPlacement(buffer);
    }

    static std::string fenPlacement(const std::string& fen) {
        // Up to the halfmove clock: the move counters may differ.
        size_t cut = 0;
        for (int field = 0; field < 4 && cut != std::string::npos; field++)
            cut = fen.find(' ', cut + (field ? 1 : 0));
        return cut == std::string::npos ? fen : fen.substr(0, cut);
    }

    std::string text(Move move) const {
        char buffer[8];
        formatMove(position, move, buffer);
        return buffer;
    }

    Position position;
    std::vector<Key> keys;
    int plies = 0;

private:
    Move find(const std::string& moveText) {
        ScoredMove list[MaxMoves];
        const int count = position.generateLegalMoves(list, position.inCheck());
        for (int i = 0; i < count; i++)
            if (text(list[i].move) == moveText) return list[i].move;
        return 0;
    }
};

// One program in the XBoard dialogue.
class XBoardEngine {
public:
    explicit XBoardEngine(const TempDir& dir) : process(dir.path) {}

    // "xboard" and "protover 2", up to the last feature line.
    bool handshake() {
        return process.send("xboard") && process.send("protover 2") &&
               process.waitFor("^feature done=1$", answerTimeoutMs);
    }

    bool send(const std::string& line) { return process.send(line); }

    // Every command before it has been handled when "pong" comes back.
    bool sync(std::vector<std::string>* before = nullptr) {
        const int id = ++pings;
        return process.send("ping " + std::to_string(id)) &&
               process.waitFor("^pong " + std::to_string(id) + "$", answerTimeoutMs, before);
    }

    // The engine's next move; the lines before it go to `before`.
    bool readMove(std::string& move, std::vector<std::string>* before = nullptr,
                  int timeoutMs = answerTimeoutMs) {
        std::string line;
        if (!process.waitFor("^move ", timeoutMs, before, &line)) return false;
        move = line.substr(5);
        return true;
    }

    // The FEN placement of the engine's game (it must be idle).
    std::string placement() {
        std::string line;
        if (!process.send("printFEN") || !process.waitFor("/", answerTimeoutMs, nullptr, &line))
            return std::string();
        return Referee::fenPlacement(line);
    }

    int quit() {
        process.send("quit");
        return process.waitExit(answerTimeoutMs);
    }

    EngineProcess process;

private:
    int pings = 0;
};

inline bool isThinkingLine(const std::string& line) {
    static const std::regex thinking("^[0-9]+ -?[0-9]+ [0-9]+ [0-9]+ ");
    return std::regex_search(line, thinking);
}

inline int thinkingDepth(const std::string& line) { return std::atoi(line.c_str()); }

}  // namespace xboardtest
