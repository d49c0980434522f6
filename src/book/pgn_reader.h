#pragma once
// A one-pass PGN reader: a byte-at-a-time lexer splits the file into games,
// tags, comments, NAGs and move tokens; when a game is closed its SAN moves
// are resolved on the reader's own position and reported to a PgnHandler.

#include <cstdint>
#include <string>
#include <vector>

#include "board/position.h"
#include "book/pgn_handler.h"

struct PgnTag {
    std::string name;
    std::string value;  // the text between the quotes, escapes resolved
};

struct PgnMoveToken {
    // The SAN text as written, move number removed; a move-text token keeps
    // at most PgnReader::textLength characters.
    std::string san;
    int16_t comment = 0;  // 1-based index into the game's comments, 0 for none
    uint8_t nags[4] = {0, 0, 0, 0};  // NAGs after the move; 0 marks a free slot
};

struct PgnGame {
    std::vector<PgnTag> tags;
    std::vector<PgnMoveToken> tokens;  // main line only
    std::vector<Move> moves;           // resolved moves
    // The comments the stored moves refer to; of several after one move,
    // only the last, the one the move refers to, is kept.
    std::vector<std::string> comments;

    // Empties the lists, keeping their storage for the next game.
    void clear();
};

class PgnReader {
public:
    enum Mode { Dispatch, TagText, CommentText, MoveText };

    static constexpr size_t readBlockSize = 4096;
    // Characters kept of a move-text token, a comment, a tag name and a tag
    // value: far more than any move, move number, NAG, result or FEN takes.
    // The rest of a longer text is read and skipped, so that what the reader
    // holds does not grow with the file: a file without blanks, a comment
    // whose brace never closes or a tag value as long as the file each take
    // no more than this.
    static constexpr size_t textLength = 1023;
    // Tags a game keeps (far more than any real game has); those after them
    // are reported but neither kept nor checked for a repeated name.
    static constexpr size_t tagLimit = 64;

    std::string path;
    PgnGame game;
    // Text of the current tag, comment or move token, at most textLength
    // characters of each part (of a tag: the name, and the rest after it).
    std::string token;
    int line = 0;        // line counter, from 0
    int elementLine = 0; // line where the current element began
    bool inTagSection = false;
    bool gameOpen = false;  // the current game's tag section has ended
    int variationDepth = 0;
    bool errorFlag = false;
    int side = White;  // side of the move being resolved
    int commentCount = 0;
    int ply = 0;  // move counter of the move being resolved
    int moveNumber = 0;
    Mode mode = Dispatch;
    bool atElementStart = false;
    bool quoted = false;
    bool escaped = false;  // a backslash inside a quoted tag value
    size_t tagNameLength = 0;
    bool tagTextCut = false;  // characters after the tag name were skipped
    int gameNumber = 0;  // games closed so far; the first game is game 0
    // Main-line moves a game keeps. Those after them are read, so that the
    // game still ends where it does, but neither stored nor resolved, and
    // the comments and NAGs after them are not stored either: what a game
    // takes in memory is bounded by what its handler uses of it, not by the
    // length of its move text. A handler that uses only a game's first moves
    // sets it in beginFile.
    size_t moveLimit = SIZE_MAX;
    bool movesDropped = false;  // the current game has moves beyond moveLimit
    int fileError = 0;   // why the open or a read failed (fileErrorText), 0 otherwise
    Position position;
    PgnHandler* handler;

    // position must be usable: the attack tables are built.
    PgnReader(const std::string& pgnPath, PgnHandler& eventHandler);

    // Reads the whole file and sends the events. False when the file cannot
    // be opened or is not a regular file (after onError code 0), or a read
    // fails part way (after onError code 5, with no endFile: what was read is
    // not the whole file).
    bool readFile();

    // Ends a game's tag section: sets the position up and sends gameStart.
    void endOfTags();

    // Plays the game's tokens on the position (SAN resolution).
    void resolveMoves();

private:
    void reset();
    void feed(unsigned char byte);
    bool onChar(char c);
    void onTagChar(char c);
    void storeTagChar(char c);
    void onCommentChar(char c);
    void onMoveTextChar(char c);
    void startGameIfNeeded();
    void finishTag();
    bool hasTag(const std::string& name) const;
    void finishComment();
    void finishMoveToken();
    void closeGame();
    void endOfFile();

    bool previousWasCarriageReturn = false;
};
