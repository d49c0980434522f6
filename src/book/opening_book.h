#pragma once
// The opening book: sorted (position key, move) pairs with game counts and
// scores, read whole from a binary file and looked up by binary search.
//
// File layout (little-endian): "BOOK", u32 version 0x00020000, i32 entry
// count N, then N 16-byte BookEntry records sorted by compareBookEntries.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board/types.h"
#include "foundation/mutex.h"

class Engine;

// One (position, move) pair; the same 16 bytes in memory and in the file.
struct BookEntry {
    uint64_t key;    // Zobrist key of the position before the move; never 0 in a file
    uint32_t move;   // the generator's move word for that move
    uint16_t games;  // games in which the move was played from the position
    uint16_t score;  // 2 per win, 1 per draw or unknown result, 0 per loss of the mover
};
static_assert(sizeof(BookEntry) == 16, "book entries are 16-byte file records");
static_assert(offsetof(BookEntry, move) == 8 && offsetof(BookEntry, games) == 12 &&
                  offsetof(BookEntry, score) == 14,
              "book entry fields sit at their file offsets");

constexpr char bookMagic[4] = {'B', 'O', 'O', 'K'};
constexpr uint32_t bookVersion = 0x00020000;
constexpr long bookHeaderSize = 12;
constexpr int bookPlyLimitDefault = 20;

// qsort comparator: key ascending (unsigned), then score descending, so the
// best-scored move of a position comes first in its run.
int compareBookEntries(const void* a, const void* b);

class OpeningBook {
public:
    std::vector<BookEntry> entries;  // file order
    int32_t count = 0;               // entries in use
    int32_t selectivity = 100;       // BookSelectivity percentage used by the probe
    // Held by the probe while it reads the entries and by whoever replaces
    // or frees them: a load on the protocol thread never pulls the entries
    // from under a probe on the searching thread.
    mutable Mutex guard;

    OpeningBook() = default;
    // A copy holds the same entries under a lock of its own.
    OpeningBook(const OpeningBook& other)
        : entries(other.entries), count(other.count), selectivity(other.selectivity) {}
    OpeningBook& operator=(const OpeningBook& other) {
        if (this != &other) {
            std::vector<BookEntry> copied(other.entries);
            guard.lock();
            entries.swap(copied);
            count = other.count;
            selectivity = other.selectivity;
            guard.unlock();
        }
        return *this;
    }

    // Reads the book file into the engine's book and sets the engine's
    // bookInUse and bookPlyLimit. 1 on success; 0 (book switched off, earlier
    // entries kept) when the file is missing, not a book, or truncated.
    int load(Engine& engine, const std::string& path);

    // The same load for callers that hold the two engine fields themselves.
    int loadFile(const std::string& path, bool& bookInUse, int32_t& bookPlyLimit);

    // Frees the entries (the book option switched off).
    void clear();

    // Index of the first entry for the key, or -1.
    int findFirst(uint64_t key) const;

    // The book move for a position, chosen among its entries by selectivity:
    // at 100 the best-scored one, otherwise each entry in turn with a chance
    // of selectivity percent, the last one when none was taken. 0 when the
    // position is not in the book.
    Move pickMove(uint64_t key) const;

    // pickMove, accepted only when the move is one of the given legal moves
    // (compared as whole words); 0 otherwise. This is what the root driver
    // calls with its legal root moves.
    Move probe(uint64_t key, const ScoredMove* legalMoves, int legalCount) const;

    // Builds a book file from a PGN collection (the -buildbook tool): counts
    // the pairs of every game's moves while the move counter is below depth,
    // keeps those seen in at least minCount games. False when the PGN file
    // cannot be read, yields no game, or is the book file itself, or when the
    // book file cannot be written (see writeBookFile), with a one-line
    // account of what failed in *failure (when given); no book is written
    // then. This book's own entries are not used.
    bool buildFromPgn(const std::string& pgnPath, const std::string& bookPath, int depth,
                      int minCount, std::string* failure = nullptr);
};
