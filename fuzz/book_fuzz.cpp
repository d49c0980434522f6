// Opening book files: the loader's header and size checks, then look-ups of
// every key the file holds (sorted or not), with every selectivity path, and
// the probe against the legal moves of the start position.

#include "board/position.h"
#include "book/opening_book.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    if (size > 1 << 20) return -1;
    static const std::string path = fuzz::scratchPath("book");
    if (!fuzz::writeScratch(path, data, size)) return 0;

    OpeningBook book;
    bool inUse = false;
    int32_t plyLimit = 0;
    if (book.loadFile(path, inUse, plyLimit) != 1) return 0;
    if (book.count != int32_t(book.entries.size())) __builtin_trap();

    Position start;
    start.clear();
    start.setStartPosition();
    ScoredMove moves[MaxMoves];
    const int count = start.generateLegalMoves(moves, false);

    for (int32_t selectivity : {100, 50, 0}) {
        book.selectivity = selectivity;
        (void)book.probe(start.key, moves, count);
        for (int32_t i = 0; i < book.count && i < 4096; ++i) {
            const int first = book.findFirst(book.entries[size_t(i)].key);
            if (first >= book.count) __builtin_trap();
            (void)book.pickMove(book.entries[size_t(i)].key);
            (void)book.probe(book.entries[size_t(i)].key, moves, count);
        }
    }

    // Copies and the option switched off.
    OpeningBook copy(book);
    copy = book;
    book.clear();
    return 0;
}
