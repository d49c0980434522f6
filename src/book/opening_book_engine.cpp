// The book load as the protocols call it, on the engine's own book fields.

#include "book/opening_book.h"
#include "search/engine.h"

int OpeningBook::load(Engine& engine, const std::string& path) {
    // The load runs on the protocol thread while the searching thread may be
    // about to probe: the switches change under the same lock as the entries.
    bool inUse = false;
    int32_t plyLimit = 0;
    const int result = loadFile(path, inUse, plyLimit);
    guard.lock();
    engine.bookInUse = inUse;
    engine.bookPlyLimit = plyLimit;
    guard.unlock();
    return result;
}
