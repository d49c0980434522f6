#include "book/opening_book.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "foundation/log.h"
#include "foundation/regular_file.h"

int compareBookEntries(const void* a, const void* b) {
    const BookEntry& x = *static_cast<const BookEntry*>(a);
    const BookEntry& y = *static_cast<const BookEntry*>(b);
    if (x.key < y.key)
        return -1;
    if (x.key > y.key)
        return 1;
    return int(y.score) - int(x.score);
}

namespace {

uint32_t readLittleEndian32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

// Size of an open file in bytes, -1 when it cannot be told.
long fileSize(FILE* file) {
    if (fseek(file, 0, SEEK_END) != 0)
        return -1;
    long size = ftell(file);
    if (fseek(file, 0, SEEK_SET) != 0)
        return -1;
    return size;
}

}  // namespace

int OpeningBook::loadFile(const std::string& path, bool& bookInUse, int32_t& bookPlyLimit) {
    bookInUse = true;
    bookPlyLimit = bookPlyLimitDefault;
    // The probe draws from the C generator to honour the selectivity.
    srand(unsigned(time(nullptr)));

    FILE* file = openRegularFile(path.c_str());
    if (file == nullptr) {
        logger.log(LogError, "book file not found : %s", path.c_str());
        bookInUse = false;
        return 0;
    }

    // The header and the size are checked before the count is trusted, so a
    // truncated or foreign file never makes the book read beyond its data.
    unsigned char header[bookHeaderSize];
    long size = fileSize(file);
    bool headerRead = size >= bookHeaderSize && fread(header, 1, sizeof header, file) == sizeof header;
    if (!headerRead || memcmp(header, bookMagic, sizeof bookMagic) != 0 ||
        readLittleEndian32(header + 4) != bookVersion) {
        fclose(file);
        logger.log(LogError, "invalid book file : %s", path.c_str());
        bookInUse = false;
        return 0;
    }
    int32_t entryCount = int32_t(readLittleEndian32(header + 8));
    long long expectedSize = bookHeaderSize + 16LL * entryCount;
    if (entryCount < 0 || expectedSize != size) {
        fclose(file);
        logger.log(LogError, "invalid book file : %s (header announces %d entries, file holds %ld bytes)",
                   path.c_str(), entryCount, size);
        bookInUse = false;
        return 0;
    }

    std::vector<BookEntry> loaded(static_cast<size_t>(entryCount));
    size_t read = entryCount == 0 ? 0 : fread(loaded.data(), sizeof(BookEntry), loaded.size(), file);
    fclose(file);
    if (read != loaded.size()) {
        logger.log(LogError, "invalid book file : %s (read error)", path.c_str());
        bookInUse = false;
        return 0;
    }

    guard.lock();
    entries.swap(loaded);
    count = entryCount;
    guard.unlock();
    return 1;
}

void OpeningBook::clear() {
    std::vector<BookEntry> freed;
    guard.lock();
    freed.swap(entries);
    count = 0;
    guard.unlock();
}

int OpeningBook::findFirst(uint64_t key) const {
    int low = 0;
    int high = count;  // first entry whose key is not below `key` lies in [low, high]
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (entries[middle].key < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low < count && entries[low].key == key ? low : -1;
}

Move OpeningBook::pickMove(uint64_t key) const {
    int first = findFirst(key);
    if (first < 0)
        return NoMove;
    if (selectivity >= 100)
        return entries[first].move;
    int index = first;
    for (; index < count && entries[index].key == key; ++index) {
        if (rand() % 100 < selectivity)
            return entries[index].move;
    }
    return entries[index - 1].move;
}

Move OpeningBook::probe(uint64_t key, const ScoredMove* legalMoves, int legalCount) const {
    guard.lock();
    Move move = pickMove(key);
    guard.unlock();
    if (move == NoMove)
        return NoMove;
    for (int i = 0; i < legalCount; ++i) {
        if (legalMoves[i].move == move)
            return move;
    }
    return NoMove;
}
