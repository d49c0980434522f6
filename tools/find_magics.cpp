// Offline search for the engine's magic-bitboard constants.
//
// Prints the complete source of src/board/magics.cpp: the relevant-occupancy
// masks, and for both index forms (one 64-bit product, or two 32-bit products
// XORed together for the i386 builds) the shift and magic tables.
//
//   find_magics > src/board/magics.cpp
//
// The search is deterministic (fixed seed, squares in order), so running it
// again reproduces the committed file byte for byte. A few magics are fixed
// in advance; they are only verified, never searched for.
//
// A magic is accepted when every subset of the square's mask lands inside the
// square's slice of 2^bits entries and two subsets share an index only when
// their attack sets are equal (a harmless, constructive collision).
//
// Deliberately self-contained: this program is not part of the engine.

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Bitboard = uint64_t;

enum Form { Index64, Index32 };

struct Slider {
    const char* name;  // "rook" or "bishop"
    int directions[4][2];  // file step, rank step
};

const Slider rook = {"rook", {{1, 0}, {-1, 0}, {0, 1}, {0, -1}}};
const Slider bishop = {"bishop", {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}}};

// Magics that are given rather than found, per form and slider, by square.
struct FixedMagic {
    Form form;
    const Slider* slider;
    int square;
    Bitboard magic;
};

const FixedMagic fixedMagics[] = {
    {Index64, &rook, 0, 0x180001420804001ULL},
    {Index64, &rook, 1, 0x2040200010004000ULL},
    {Index64, &rook, 2, 0x6100082001001441ULL},
    {Index64, &rook, 3, 0x2100180420100100ULL},
    {Index64, &bishop, 0, 0xda0200a428908b0ULL},
    {Index64, &bishop, 1, 0x203100c01007003ULL},
    {Index64, &bishop, 2, 0x208080102300b24ULL},
    {Index64, &bishop, 3, 0x88204040600000ULL},
    {Index32, &rook, 0, 0x18008450202280ULL},
    {Index32, &bishop, 0, 0x141840c004ea7063ULL},
};

int popCount(Bitboard b) {
    int n = 0;
    for (; b; b &= b - 1) ++n;
    return n;
}

bool onBoard(int file, int rank) {
    return file >= 0 && file < 8 && rank >= 0 && rank < 8;
}

// The squares whose occupancy matters: each ray without its last square.
Bitboard relevantMask(const Slider& slider, int square) {
    Bitboard mask = 0;
    for (const auto& d : slider.directions) {
        int f = (square & 7) + d[0], r = (square >> 3) + d[1];
        while (onBoard(f + d[0], r + d[1])) {
            mask |= Bitboard(1) << (r * 8 + f);
            f += d[0];
            r += d[1];
        }
    }
    return mask;
}

// Rays up to and including the first blocker, or to the edge.
Bitboard slowAttacks(const Slider& slider, int square, Bitboard occupied) {
    Bitboard attacks = 0;
    for (const auto& d : slider.directions) {
        int f = (square & 7) + d[0], r = (square >> 3) + d[1];
        while (onBoard(f, r)) {
            Bitboard bit = Bitboard(1) << (r * 8 + f);
            attacks |= bit;
            if (occupied & bit) break;
            f += d[0];
            r += d[1];
        }
    }
    return attacks;
}

unsigned indexOf(Form form, Bitboard subset, Bitboard magic, int bits) {
    if (form == Index64) return unsigned((subset * magic) >> (64 - bits));
    uint32_t low = uint32_t(subset) * uint32_t(magic);
    uint32_t high = uint32_t(subset >> 32) * uint32_t(magic >> 32);
    return (low ^ high) >> (32 - bits);
}

// All subsets of a mask with their attack sets, in carry-rippler order.
struct Occupancies {
    std::vector<Bitboard> subsets;
    std::vector<Bitboard> attacks;
};

Occupancies enumerate(const Slider& slider, int square, Bitboard mask) {
    Occupancies occ;
    Bitboard sub = 0;
    do {
        occ.subsets.push_back(sub);
        occ.attacks.push_back(slowAttacks(slider, square, sub));
        sub = (sub - mask) & mask;
    } while (sub);
    return occ;
}

// Scratch table reused across attempts: an entry is valid only when its
// stamp equals the current attempt.
struct Scratch {
    std::vector<Bitboard> attacks = std::vector<Bitboard>(4096);
    std::vector<uint32_t> stamp = std::vector<uint32_t>(4096, 0);
    uint32_t attempt = 0;
};

bool fits(Form form, const Occupancies& occ, Bitboard magic, int bits, Scratch& scratch) {
    ++scratch.attempt;
    for (size_t i = 0; i < occ.subsets.size(); ++i) {
        unsigned index = indexOf(form, occ.subsets[i], magic, bits);
        if (scratch.stamp[index] != scratch.attempt) {
            scratch.stamp[index] = scratch.attempt;
            scratch.attacks[index] = occ.attacks[i];
        } else if (scratch.attacks[index] != occ.attacks[i]) {
            return false;
        }
    }
    return true;
}

// xorshift64*: small, fixed and identical on every platform.
struct Random {
    uint64_t state;
    uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545f4914f6cdd1dULL;
    }
    uint64_t sparse() { return next() & next() & next(); }
};

const FixedMagic* fixedFor(Form form, const Slider& slider, int square) {
    for (const FixedMagic& f : fixedMagics)
        if (f.form == form && f.slider == &slider && f.square == square) return &f;
    return nullptr;
}

bool searchTable(Form form, const Slider& slider, Bitboard magics[64], Random& random) {
    Scratch scratch;
    bool ok = true;
    for (int square = 0; square < 64; ++square) {
        Bitboard mask = relevantMask(slider, square);
        int bits = popCount(mask);
        Occupancies occ = enumerate(slider, square, mask);
        if (const FixedMagic* fixed = fixedFor(form, slider, square)) {
            magics[square] = fixed->magic;
            if (!fits(form, occ, fixed->magic, bits, scratch)) {
                std::fprintf(stderr, "given %s magic for square %d (%s form) collides\n",
                             slider.name, square, form == Index64 ? "64-bit" : "32-bit");
                ok = false;
            }
            continue;
        }
        for (;;) {
            Bitboard magic = random.sparse();
            // Cheap filter for the 64-bit form: the top byte of mask * magic
            // must carry enough bits to spread the subsets.
            if (form == Index64 && popCount((mask * magic) >> 56) < 6) continue;
            if (form == Index32 && (uint32_t(magic) == 0 || uint32_t(magic >> 32) == 0)) continue;
            if (fits(form, occ, magic, bits, scratch)) {
                magics[square] = magic;
                break;
            }
        }
    }
    return ok;
}

void printBitboards(const char* type, const char* name, const Bitboard values[64]) {
    std::printf("const %s %s[64] = {\n", type, name);
    for (int i = 0; i < 64; i += 4)
        std::printf("    0x%" PRIx64 "ULL, 0x%" PRIx64 "ULL, 0x%" PRIx64 "ULL, 0x%" PRIx64 "ULL,\n",
                    values[i], values[i + 1], values[i + 2], values[i + 3]);
    std::printf("};\n\n");
}

void printInts(const char* name, const int values[64]) {
    std::printf("const int %s[64] = {\n", name);
    for (int i = 0; i < 64; i += 8) {
        std::printf("   ");
        for (int j = 0; j < 8; ++j) std::printf(" %d,", values[i + j]);
        std::printf("\n");
    }
    std::printf("};\n\n");
}

}  // namespace

int main() {
    Bitboard rookMask[64], bishopMask[64];
    int rookShift64[64], bishopShift64[64], rookShift32[64], bishopShift32[64];
    for (int s = 0; s < 64; ++s) {
        rookMask[s] = relevantMask(rook, s);
        bishopMask[s] = relevantMask(bishop, s);
        rookShift64[s] = 64 - popCount(rookMask[s]);
        bishopShift64[s] = 64 - popCount(bishopMask[s]);
        rookShift32[s] = 32 - popCount(rookMask[s]);
        bishopShift32[s] = 32 - popCount(bishopMask[s]);
    }

    Bitboard rookMagic64[64], bishopMagic64[64], rookMagic32[64], bishopMagic32[64];
    Random random{0x9e3779b97f4a7c15ULL};
    bool ok = searchTable(Index64, rook, rookMagic64, random);
    ok = searchTable(Index64, bishop, bishopMagic64, random) && ok;
    ok = searchTable(Index32, rook, rookMagic32, random) && ok;
    ok = searchTable(Index32, bishop, bishopMagic32, random) && ok;

    std::printf(
        "// Generated by tools/find_magics; do not edit by hand, run the tool again.\n"
        "//\n"
        "// Slider occupancy masks and the magic multipliers that hash every subset\n"
        "// of a mask into its square's attack slice. Both index forms are always\n"
        "// compiled in so that one test binary can verify both; attacks.h picks\n"
        "// the form of the build (64-bit product, or two 32-bit products on i386).\n"
        "\n"
        "#include \"board/attacks.h\"\n"
        "\n"
        "namespace AttackTables {\n\n");
    printBitboards("Bitboard", "rookMask", rookMask);
    printBitboards("Bitboard", "bishopMask", bishopMask);
    std::printf("// One 64-bit product: index = (subset * magic) >> shift, shift = 64 - bits.\n\n");
    printInts("rookShift64", rookShift64);
    printInts("bishopShift64", bishopShift64);
    printBitboards("Bitboard", "rookMagic64", rookMagic64);
    printBitboards("Bitboard", "bishopMagic64", bishopMagic64);
    std::printf(
        "// Two 32-bit products: index = (low(subset) * low(magic) ^\n"
        "// high(subset) * high(magic)) >> shift, shift = 32 - bits.\n\n");
    printInts("rookShift32", rookShift32);
    printInts("bishopShift32", bishopShift32);
    printBitboards("Bitboard", "rookMagic32", rookMagic32);
    printBitboards("Bitboard", "bishopMagic32", bishopMagic32);
    std::printf("}  // namespace AttackTables\n");
    return ok ? 0 : 1;
}
