// PGN collections: the reader's lexer, tags, comments, NAGs, variations and
// SAN resolution, driven through the book builder; the book it writes must
// load again and answer probes.

#include <cstring>
#include <memory>

#include "book/book_builder.h"
#include "book/opening_book.h"
#include "book/pgn_reader.h"
#include "fuzz_support.h"

namespace {

// The builder with a small first table, so that a short input already makes
// it grow (and one input does not cost the full table's allocation).
class SmallBookBuilder : public BookBuilder {
public:
    using BookBuilder::BookBuilder;
    int moves = 0;

    void beginFile(PgnReader&) override {
        capacity = 16;
        indexMask = capacity - 1;
        used = 0;
        droppedPairs = 0;
        written = false;
        table.reset(new BookEntry[size_t(capacity)]());
    }
    void onMove(PgnReader& reader, const PgnMoveToken& token, Move move,
                const char* comment) override {
        // A reported move is legal, so the mover's king is safe after it.
        const int mover = reader.position.sideToMove ^ 1;
        if (reader.position.isAttacked(reader.position.kingSquare[mover], reader.position.sideToMove))
            __builtin_trap();
        if (comment != nullptr) (void)std::strlen(comment);
        ++moves;
        BookBuilder::onMove(reader, token, move, comment);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    if (size > 65536) return -1;
    static const std::string pgnPath = fuzz::scratchPath("pgn");
    static const std::string bookPath = fuzz::scratchPath("pgnbook");
    if (!fuzz::writeScratch(pgnPath, data, size)) return 0;

    SmallBookBuilder builder(bookPath, 30, size > 0 ? 1 + data[0] % 2 : 1);
    std::unique_ptr<PgnReader> reader(new PgnReader(pgnPath, builder));
    if (!reader->readFile()) __builtin_trap();
    if (!builder.written) return 0;

    // Whatever the builder wrote is a book the engine accepts.
    OpeningBook book;
    bool inUse = false;
    int32_t plyLimit = 0;
    if (book.loadFile(bookPath, inUse, plyLimit) != 1) __builtin_trap();
    for (const BookEntry& entry : book.entries) {
        if (book.findFirst(entry.key) < 0) __builtin_trap();
        (void)book.pickMove(entry.key);
    }
    return 0;
}
