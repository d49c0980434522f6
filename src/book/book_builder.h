#pragma once
// Counts the (position, move) pairs of the first moves of PGN games and
// writes them as an opening book file.

#include <cstdint>
#include <memory>
#include <string>

#include "book/opening_book.h"
#include "book/pgn_handler.h"

class BookBuilder : public PgnHandler {
public:
    static constexpr int32_t initialCapacity = 0x100000;  // 1,048,576 slots

    std::string bookPath;
    int32_t minCount;  // games a pair needs to enter the book
    int32_t depth;     // a move is counted while the reader's move counter is below it
    int32_t result = 0;  // 0 draw or unknown, 1 white won, 2 black won
    int32_t capacity = 0;
    int32_t indexMask = 0;
    std::unique_ptr<BookEntry[]> table;  // open addressing; key 0 marks a free slot
    uint64_t currentKey = 0;  // key of the reader's position before the next move
    int32_t used = 0;         // occupied slots
    uint64_t droppedPairs = 0;  // pairs lost for want of memory
    uint64_t gamesRead = 0;     // games of the file with at least one legal move
    bool written = false;       // the last endFile wrote a complete book file
    std::string writeFailure;   // why it did not, empty otherwise

    BookBuilder(const std::string& path, int32_t depthLimit, int32_t minimumCount);

    void beginFile(PgnReader& reader) override;
    void endFile(PgnReader& reader) override;
    void gameStart(PgnReader& reader) override;
    void onMove(PgnReader& reader, const PgnMoveToken& token, Move move,
                const char* comment) override;

    // Counts one pair with the given score for the game; false when it had
    // to be dropped because the table could not grow.
    bool addPair(uint64_t key, Move move, int score);

private:
    bool grow();
};

// Writes the header and the entries in the book file layout to the regular
// file `path` names (through its symbolic links): into a new file beside it,
// which takes its place, its owner and its permission bits only once every
// write and the close have succeeded; or over the file in place, when it has
// further hard links, its directory takes no new file, or it may be written
// but not replaced (another user's, in a sticky directory). A path naming
// anything else than a regular file, or a file the user may not write, is
// refused and left as it is. False, with the new file removed, a message
// logged and what failed in *failure (when given), when anything fails; the
// file at `path` is then left as it was unless it was being written in place.
bool writeBookFile(const std::string& path, const BookEntry* entries, int32_t count,
                   std::string* failure = nullptr);
