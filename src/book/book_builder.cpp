#include "book/book_builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "book/pgn_reader.h"
#include "foundation/log.h"
#include "foundation/output_file.h"
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

// Opens a new file with a short name of its own in the directory of `path`,
// never one that already exists: a file name as long as the system allows
// still leaves room for it. Null, with errno set, when none can be created.
FILE* createFileBeside(const std::string& path, std::string& created) {
    const std::string directory = directoryPrefix(path);
    const unsigned long process = static_cast<unsigned long>(getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = directory + ".vorlix" + std::to_string(process) + "-" + std::to_string(attempt);
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

// Opens the existing regular file at `path` to be written over from its
// start. Null, with errno set, when it cannot be. Should the path have
// become something else since it was looked at, the open does not wait for
// a FIFO's reader, and the truncation fails on anything but a regular file.
FILE* openInPlace(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    FILE* file = ftruncate(fd, 0) == 0 ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

// Opens the file the book is written into: a new one beside the target, which
// `created` names, to take the target's place once it is complete; or the
// target itself, written over in place (`created` empty), when it has more
// than one name (a new file would be the book under this name only) or when
// its directory takes no new file. Null, with errno set, when neither can be
// opened.
FILE* openBookDestination(const OutputFile& target, std::string& created) {
    created.clear();
    if (target.exists && target.links > 1)
        return openInPlace(target.path);
    FILE* file = createFileBeside(target.path, created);
    if (file == nullptr) {
        created.clear();
        if (target.exists && (errno == EACCES || errno == EPERM || errno == EROFS))
            return openInPlace(target.path);
        return nullptr;
    }
    // The new book is the old one in all but its contents: its owner where
    // the system lets it be (a book that root builds over a user's stays the
    // user's), and its permission bits.
    if (target.exists) {
        (void)!fchown(fileno(file), target.owner, target.group);
        if (fchmod(fileno(file), mode_t(target.mode)) != 0) {
            const int error = errno;
            fclose(file);
            unlink(created.c_str());
            created.clear();
            errno = error;
            return nullptr;
        }
    }
    return file;
}

// Writes the header and the entries and closes the file: 0, or the errno
// value of the first failure.
int writeEntries(FILE* file, const BookEntry* entries, int32_t count) {
    int error = 0;
    auto fail = [&error] {
        if (error == 0)
            error = errno != 0 ? errno : EIO;
    };
    unsigned char header[bookHeaderSize];
    for (int i = 0; i < 4; ++i)
        header[i] = uint8_t(bookMagic[i]);
    putLittleEndian32(header + 4, bookVersion);
    putLittleEndian32(header + 8, uint32_t(count));
    errno = 0;
    if (fwrite(header, 1, sizeof header, file) != sizeof header)
        fail();
    // Entries are little-endian in memory on every supported processor, so
    // the records go out as they are.
    if (error == 0 && count > 0 && fwrite(entries, sizeof(BookEntry), size_t(count), file) != size_t(count))
        fail();
    if (fclose(file) != 0)
        fail();
    return error;
}

}  // namespace

bool writeBookFile(const std::string& path, const BookEntry* entries, int32_t count,
                   std::string* failure) {
    OutputFile target;
    std::string reason;
    bool ok = false;
    if (findOutputFile(path, target, reason)) {
        std::string created;
        FILE* file = openBookDestination(target, created);
        int error = file == nullptr ? errno : writeEntries(file, entries, count);
        if (!created.empty()) {
            const bool replaced = error == 0 && rename(created.c_str(), target.path.c_str()) == 0;
            const int renameError = error == 0 && !replaced ? errno : 0;
            // Only the file made here goes; whatever the path named stays as it was.
            if (!replaced)
                unlink(created.c_str());
            // A file the user may write but not replace (another user's, in a
            // directory with the sticky bit) is written over in place, as when
            // its directory takes no new file.
            if (renameError != 0) {
                error = renameError;
                if (target.exists && (error == EPERM || error == EACCES || error == EBUSY)) {
                    FILE* inPlace = openInPlace(target.path);
                    error = inPlace == nullptr ? errno : writeEntries(inPlace, entries, count);
                }
            }
        }
        ok = error == 0;
        if (!ok)
            reason = std::strerror(error);
    }
    if (!ok) {
        logger.log(LogError, "error saving book file : %s", path.c_str());
        if (failure != nullptr)
            *failure = reason;
    }
    return ok;
}

BookBuilder::BookBuilder(const std::string& path, int32_t depthLimit, int32_t minimumCount)
    : bookPath(path), minCount(minimumCount), depth(depthLimit) {}

void BookBuilder::beginFile(PgnReader& reader) {
    capacity = initialCapacity;
    indexMask = capacity - 1;
    used = 0;
    droppedPairs = 0;
    gamesRead = 0;
    written = false;
    // Moves the reader keeps of a game: those the move counter reaches below
    // the depth, 2 * depth - 1 from a game that starts with white. The first
    // is always kept, so that its resolution still tells a game from text
    // that is none.
    reader.moveLimit = depth > 1 ? 2 * size_t(depth) - 1 : 1;
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
    if (reader.game.moves.size() == 1)
        ++gamesRead;
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
    writeFailure.clear();
    // Pairs come only from the games read. A file that gave neither is no
    // PGN (an old book named in its place, say): the book it makes would be
    // empty, and the file it would replace may well be the games.
    written = (gamesRead > 0 || used > 0) && writeBookFile(bookPath, table.get(), kept, &writeFailure);
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
    auto fail = [failure](const std::string& text) {
        if (failure != nullptr)
            *failure = text;
        return false;
    };
    // The book path is looked at before the games are read, so that a wrong
    // one is reported at once; and the games are never written over with
    // their own book.
    OutputFile output;
    std::string refusal;
    if (!findOutputFile(bookPath, output, refusal) || output.isFile(pgnPath)) {
        logger.log(LogError, "error saving book file : %s", bookPath.c_str());
        return fail("cannot write " + bookPath + " (" +
                    (refusal.empty() ? "it is the PGN file" : refusal) + ")");
    }
    BookBuilder builder(bookPath, depth, minCount);
    // The reader owns a full Position and the game record: kept off the stack.
    std::unique_ptr<PgnReader> reader(new PgnReader(pgnPath, builder));
    if (!reader->readFile())
        return fail("cannot read " + pgnPath + " (" + fileErrorText(reader->fileError) + ")");
    if (builder.gamesRead == 0)
        return fail("no game read from " + pgnPath);
    if (!builder.written)
        return fail("cannot write " + bookPath + " (" + builder.writeFailure + ")");
    return true;
}
