#include "book/book_builder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "book/pgn_reader.h"
#include "foundation/log.h"
#include "foundation/regular_file.h"

namespace {

constexpr int32_t maximumCapacity = 1 << 30;

BookEntry* allocateTable(int32_t slots) {
    return new (std::nothrow) BookEntry[size_t(slots)]();
}

uint16_t saturatingAdd(uint16_t value, int amount) {
    int sum = int(value) + amount;
    return uint16_t(sum > 0xffff ? 0xffff : sum);
}

void putLittleEndian32(unsigned char* bytes, uint32_t value) {
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
    bytes[2] = uint8_t(value >> 16);
    bytes[3] = uint8_t(value >> 24);
}

}  // namespace

namespace {

// Opens a new file beside `path` for writing, never one that already exists:
// the book is written there and takes the target's name only once it is
// complete. Null, with errno set, when none can be created.
FILE* createFileBeside(const std::string& path, std::string& created) {
    const unsigned long process = static_cast<unsigned long>(getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = path + ".tmp" + std::to_string(process) + "-" + std::to_string(attempt);
        const int fd = open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            FILE* file = fdopen(fd, "wb");
            if (file == nullptr) {
                const int error = errno;
                close(fd);
                unlink(created.c_str());
                errno = error;
            }
            return file;
        }
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

}  // namespace

bool writeBookFile(const std::string& path, const BookEntry* entries, int32_t count,
                   int* failure) {
    std::string created;
    FILE* file = createFileBeside(path, created);
    bool ok = file != nullptr;
    int error = ok ? 0 : errno;
    auto fail = [&] {
        ok = false;
        if (error == 0)
            error = errno;
    };
    if (file != nullptr) {
        unsigned char header[bookHeaderSize];
        for (int i = 0; i < 4; ++i)
            header[i] = uint8_t(bookMagic[i]);
        putLittleEndian32(header + 4, bookVersion);
        putLittleEndian32(header + 8, uint32_t(count));
        if (fwrite(header, 1, sizeof header, file) != sizeof header)
            fail();
        // Entries are little-endian in memory on every supported processor, so
        // the records go out as they are.
        if (ok && count > 0 && fwrite(entries, sizeof(BookEntry), size_t(count), file) != size_t(count))
            fail();
        if (fclose(file) != 0)
            fail();
        if (ok && rename(created.c_str(), path.c_str()) != 0)
            fail();
        // Only the file made here goes; whatever the path named stays as it was.
        if (!ok)
            unlink(created.c_str());
    }
    if (!ok) {
        logger.log(LogError, "error saving book file : %s", path.c_str());
        if (failure != nullptr)
            *failure = error != 0 ? error : EIO;
    }
    return ok;
}

BookBuilder::BookBuilder(const std::string& path, int32_t depthLimit, int32_t minimumCount)
    : bookPath(path), minCount(minimumCount), depth(depthLimit) {}

void BookBuilder::beginFile(PgnReader&) {
    capacity = initialCapacity;
    indexMask = capacity - 1;
    used = 0;
    droppedPairs = 0;
    written = false;
    table.reset(allocateTable(capacity));
    if (!table) {
        capacity = 0;
        indexMask = 0;
        logger.log(LogError, "build opening book : not enough memory !");
    }
}

void BookBuilder::gameStart(PgnReader& reader) {
    result = 0;
    for (const PgnTag& tag : reader.game.tags) {
        if (tag.name == "Result") {
            if (tag.value == "1-0")
                result = 1;
            else if (tag.value == "0-1")
                result = 2;
            break;
        }
    }
    currentKey = reader.position.key;
}

void BookBuilder::onMove(PgnReader& reader, const PgnMoveToken&, Move move, const char*) {
    if (reader.ply < depth) {
        int score = 1;
        if (result != 0) {
            int winner = result == 1 ? White : Black;
            score = reader.side == winner ? 2 : 0;
        }
        addPair(currentKey, move, score);
    }
    currentKey = reader.position.key;
}

bool BookBuilder::grow() {
    if (capacity >= maximumCapacity)
        return false;
    int32_t newCapacity = capacity * 2;
    BookEntry* newTable = allocateTable(newCapacity);
    if (newTable == nullptr)
        return false;
    int32_t newMask = newCapacity - 1;
    for (int32_t i = 0; i < capacity; ++i) {
        const BookEntry& entry = table[i];
        if (entry.key == 0)
            continue;
        int32_t slot = int32_t(entry.key & uint32_t(newMask));
        while (newTable[slot].key != 0)
            slot = (slot + 1) & newMask;
        newTable[slot] = entry;
    }
    table.reset(newTable);
    capacity = newCapacity;
    indexMask = newMask;
    return true;
}

bool BookBuilder::addPair(uint64_t key, Move move, int score) {
    // Linear probing slows down badly as the table fills, and a full table
    // would lose pairs: the table doubles at three quarters full.
    if (table && used >= capacity - capacity / 4)
        grow();
    if (table) {
        int32_t home = int32_t(key & uint32_t(indexMask));
        int32_t slot = home;
        do {
            BookEntry& entry = table[slot];
            if (entry.key == 0) {
                entry.key = key;
                entry.move = move;
                entry.games = 1;
                entry.score = uint16_t(score);
                ++used;
                return true;
            }
            if (entry.key == key && entry.move == move) {
                entry.games = saturatingAdd(entry.games, 1);
                entry.score = saturatingAdd(entry.score, score);
                return true;
            }
            slot = (slot + 1) & indexMask;
        } while (slot != home);
    }
    logger.log(LogError, "build opening book : not enough memory !");
    ++droppedPairs;
    return false;
}

void BookBuilder::endFile(PgnReader&) {
    int32_t kept = 0;
    for (int32_t i = 0; i < capacity; ++i) {
        const BookEntry& entry = table[i];
        if (entry.key != 0 && int32_t(entry.games) >= minCount)
            table[kept++] = entry;
    }
    if (kept > 1)
        qsort(table.get(), size_t(kept), sizeof(BookEntry), compareBookEntries);
    writeError = 0;
    written = writeBookFile(bookPath, table.get(), kept, &writeError);
    if (droppedPairs > 0)
        fprintf(stderr, "build opening book : %llu (position, move) pairs dropped for want of memory\n",
                static_cast<unsigned long long>(droppedPairs));
    table.reset();
    capacity = 0;
    indexMask = 0;
    used = 0;
}

bool OpeningBook::buildFromPgn(const std::string& pgnPath, const std::string& bookPath, int depth,
                               int minCount, std::string* failure) {
    BookBuilder builder(bookPath, depth, minCount);
    // The reader owns a full Position and the game record: kept off the stack.
    std::unique_ptr<PgnReader> reader(new PgnReader(pgnPath, builder));
    if (!reader->readFile()) {
        if (failure != nullptr)
            *failure = "cannot read " + pgnPath + " (" + fileErrorText(reader->fileError) + ")";
        return false;
    }
    if (!builder.written) {
        if (failure != nullptr)
            *failure = "cannot write " + bookPath + " (" + std::strerror(builder.writeError) + ")";
        return false;
    }
    return true;
}
