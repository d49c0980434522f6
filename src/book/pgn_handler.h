#pragma once
// Events of a PGN file as the reader reports them. Every operation has a
// default; only onError does something (it writes the error to the log).

#include <string>

#include "board/types.h"

class PgnReader;
struct PgnMoveToken;

// Error codes of onError.
constexpr int PgnErrorFileNotFound = 0;  // argument: the PGN file name
constexpr int PgnErrorOutOfMemory = 1;   // no argument
constexpr int PgnErrorParseMove = 2;     // argument: the SAN text
constexpr int PgnErrorInvalidMove = 3;   // argument: the SAN text
constexpr int PgnErrorInvalidFen = 4;    // argument: the FEN text
constexpr int PgnErrorReadFailed = 5;    // argument: the PGN file name

class PgnHandler {
public:
    virtual ~PgnHandler();
    virtual void beginFile(PgnReader& reader);
    virtual void endFile(PgnReader& reader);
    // After the game's tag section, once the reader's position holds the
    // game's start position.
    virtual void gameStart(PgnReader& reader);
    // After the game's moves were resolved.
    virtual void gameEnd(PgnReader& reader);
    // A legal move, already made on the reader's position; comment is null
    // when the move has none.
    virtual void onMove(PgnReader& reader, const PgnMoveToken& token, Move move,
                        const char* comment);
    virtual void onComment(PgnReader& reader, const std::string& text);
    virtual void onTag(PgnReader& reader, const std::string& name, const std::string& value);
    virtual void onNag(PgnReader& reader, int nag);
    // Logs the code's message at level ERROR with the reader's game number,
    // move counter and line.
    virtual void onError(PgnReader& reader, int code, const char* text);
};
