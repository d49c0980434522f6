// The book load as the protocols call it, on the engine's own book fields.

#include "book/opening_book.h"
#include "search/engine.h"

int OpeningBook::load(Engine& engine, const std::string& path) {
    return loadFile(path, engine.bookInUse, engine.bookPlyLimit);
}
