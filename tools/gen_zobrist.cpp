// Offline generator of the Zobrist key tables in src/board/zobrist.cpp.
//
// Opening-book files store position keys, so the tables must never change once
// books exist: this program is kept only to show where the values came from.
// A handful of entries have fixed historical values (the book format relies on
// them); every other entry comes from a splitmix64 stream with a fixed seed.
// The castling table holds four independent values and the XOR combinations
// of them, so castling[a ^ b] == castling[a] ^ castling[b].
//
// Build and run:  g++ -O2 -std=c++17 -o gen_zobrist tools/gen_zobrist.cpp
//                 ./gen_zobrist > src/board/zobrist.cpp

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <set>

namespace {

uint64_t state = 0x5652524c49582121ULL;  // fixed seed

uint64_t next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

uint64_t piece[2][8][64];
uint64_t castling[16];
uint64_t enPassant[9];
constexpr uint64_t side = 0xf039404e0dd3333fULL;

constexpr int BlackIdx = 0, WhiteIdx = 1, PawnIdx = 1, KingIdx = 6;

void printTable(const uint64_t* values, int count, const char* indent) {
    for (int i = 0; i < count; ++i) {
        if (i % 4 == 0) std::printf("%s", indent);
        std::printf("0x%016" PRIx64 "ULL,", values[i]);
        std::printf((i % 4 == 3 || i == count - 1) ? "\n" : " ");
    }
}

}  // namespace

int main() {
    for (int c = 0; c < 2; ++c)
        for (int t = 1; t <= 6; ++t)
            for (int s = 0; s < 64; ++s) piece[c][t][s] = next();
    uint64_t castlingBase[4];
    for (uint64_t& v : castlingBase) v = next();
    for (int f = 1; f <= 8; ++f) enPassant[f] = next();

    // Entries with fixed values.
    piece[BlackIdx][PawnIdx][0] = 0x64d79b552a559d7fULL;   // a1
    piece[WhiteIdx][PawnIdx][8] = 0xd361d871f4e393feULL;   // a2
    piece[WhiteIdx][PawnIdx][12] = 0x4fec1248b5dedb65ULL;  // e2
    piece[WhiteIdx][PawnIdx][28] = 0x61b0c87f0084129dULL;  // e4
    piece[WhiteIdx][KingIdx][4] = 0x1a32471bd26acd7aULL;   // e1
    piece[BlackIdx][KingIdx][60] = 0xe2b35bf615038253ULL;  // e8
    castlingBase[0] = 0x71fddf9ef5b5def6ULL;
    castlingBase[1] = 0xd4d61614cc333541ULL;
    castlingBase[2] = 0xd08a0694cd7f72a7ULL;
    castlingBase[3] = 0x686cfe3ea1889281ULL;
    enPassant[1] = 0x9052fed81a8ca4faULL;
    enPassant[5] = 0x8c9a454af9e09984ULL;
    enPassant[8] = 0x446ed5203696abacULL;

    for (int mask = 0; mask < 16; ++mask) {
        castling[mask] = 0;
        for (int bit = 0; bit < 4; ++bit)
            if (mask & (1 << bit)) castling[mask] ^= castlingBase[bit];
    }

    // Every independent key must be distinct and non-zero.
    std::set<uint64_t> seen{side};
    for (int c = 0; c < 2; ++c)
        for (int t = 1; t <= 6; ++t)
            for (int s = 0; s < 64; ++s)
                if (!piece[c][t][s] || !seen.insert(piece[c][t][s]).second) return 1;
    for (uint64_t v : castlingBase)
        if (!v || !seen.insert(v).second) return 1;
    for (int f = 1; f <= 8; ++f)
        if (!enPassant[f] || !seen.insert(enPassant[f]).second) return 1;

    std::printf(
        "// Zobrist key tables and the initial board. Generated once by\n"
        "// tools/gen_zobrist.cpp and fixed from then on: opening-book files store\n"
        "// keys computed with these values, so changing any of them makes every\n"
        "// existing book unreadable.\n\n"
        "#include \"board/position.h\"\n\n"
        "const int8_t startBoard[64] = {\n"
        "    4,  2,  3,  5,  6,  3,  2,  4,\n"
        "    1,  1,  1,  1,  1,  1,  1,  1,\n"
        "    0,  0,  0,  0,  0,  0,  0,  0,\n"
        "    0,  0,  0,  0,  0,  0,  0,  0,\n"
        "    0,  0,  0,  0,  0,  0,  0,  0,\n"
        "    0,  0,  0,  0,  0,  0,  0,  0,\n"
        "   -1, -1, -1, -1, -1, -1, -1, -1,\n"
        "   -4, -2, -3, -5, -6, -3, -2, -4,\n"
        "};\n\n"
        "namespace ZobristKeys {\n\n"
        "const Key piece[2][8][64] = {\n");
    static const char* colourNames[2] = {"black", "white"};
    static const char* typeNames[8] = {"none", "pawn", "knight", "bishop", "rook", "queen", "king", "unused"};
    for (int c = 0; c < 2; ++c) {
        std::printf("    {\n");
        for (int t = 0; t < 8; ++t) {
            std::printf("        // %s %s\n        {\n", colourNames[c], typeNames[t]);
            printTable(piece[c][t], 64, "            ");
            std::printf("        },\n");
        }
        std::printf("    },\n");
    }
    std::printf("};\n\nconst Key castling[16] = {\n");
    printTable(castling, 16, "    ");
    std::printf("};\n\nconst Key enPassant[9] = {\n");
    printTable(enPassant, 9, "    ");
    std::printf("};\n\n}  // namespace ZobristKeys\n");
    return 0;
}
