#pragma once
// The engine's perft runner: counts the legal move tree of the engine's game
// position. The counting and the reports are built elsewhere; the engine only
// owns the runner and points it at itself.

#include <cstdint>

struct Position;
class Engine;

struct DivideEntry {
    uint64_t count;
    char text[16];
};

struct PerftRunner {
    Engine* engine = nullptr;
    Position* position = nullptr;
    DivideEntry* divideEntries = nullptr;
    int32_t divideCount = 0;
    uint64_t nodes = 0;
    uint64_t captures = 0;
    uint64_t enPassant = 0;
    uint64_t promotions = 0;
    uint64_t castles = 0;
    uint64_t checks = 0;
    uint64_t mates = 0;
};
