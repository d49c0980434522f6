#include "eval/kpk.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include "board/types.h"

// The analysis is self-contained (its own king steps and rays) so that it
// can run before, or without, the engine's attack tables.

namespace {

uint32_t bitbaseWords[kpkWordCount];
std::once_flag bitbaseOnce;

enum : uint8_t { Invalid = 0, Draw = 1, Win = 2 };

int distance(int a, int b) {
    const int df = std::abs(fileOf(a) - fileOf(b));
    const int dr = std::abs(rankOf(a) - rankOf(b));
    return df > dr ? df : dr;
}

// Squares attacked by a white pawn on s (the pawn only captures upwards).
bool pawnAttacks(int pawn, int target) {
    return rankOf(target) == rankOf(pawn) + 1 && std::abs(fileOf(target) - fileOf(pawn)) == 1;
}

struct Neighbours {
    int count[64];
    int square[64][8];
};

Neighbours makeNeighbours() {
    Neighbours n{};
    for (int s = 0; s < 64; ++s)
        for (int t = 0; t < 64; ++t)
            if (t != s && distance(s, t) == 1) n.square[s][n.count[s]++] = t;
    return n;
}

// Whether a rook (or queen) on `piece` attacks `target`, with only the
// square `blocker` occupied in between (the defending king is never a
// blocker: it cannot hide behind itself).
bool sliderAttacks(int piece, int target, int blocker, bool diagonals) {
    static const int steps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1},
                                    {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    const int directions = diagonals ? 8 : 4;
    for (int d = 0; d < directions; ++d) {
        int f = fileOf(piece) + steps[d][0], r = rankOf(piece) + steps[d][1];
        while (f >= 0 && f < 8 && r >= 0 && r < 8) {
            const int s = makeSquare(f, r);
            if (s == target) return true;
            if (s == blocker) break;
            f += steps[d][0];
            r += steps[d][1];
        }
    }
    return false;
}

// The pawn has just promoted on `piece`; the defender is to move. A new queen
// or rook wins unless it can be taken at once or the defender is stalemated
// (a lone queen or rook with the defender to move always wins otherwise).
// A rook can win where the queen would stalemate; knights and bishops never
// win, so they need no test.
bool promotionWins(int piece, int strongKing, int weakKing, const Neighbours& n) {
    if (distance(weakKing, piece) == 1 && distance(strongKing, piece) > 1) return false;
    for (int queen = 1; queen >= 0; --queen) {
        const bool diagonals = queen == 1;
        const bool inCheck = sliderAttacks(piece, weakKing, strongKing, diagonals);
        bool canMove = false;
        for (int i = 0; i < n.count[weakKing] && !canMove; ++i) {
            const int t = n.square[weakKing][i];
            if (distance(t, strongKing) <= 1) continue;
            if (t != piece && sliderAttacks(piece, t, strongKing, diagonals)) continue;
            canMove = true;  // t == piece is only reachable when undefended: handled above
        }
        if (canMove || inCheck) return true;
    }
    return false;
}

int pawnSquareOf(int pawnIndex) { return makeSquare(pawnIndex & 3, pawnIndex >> 2); }

void buildBitbase() {
    const Neighbours n = makeNeighbours();
    std::vector<uint8_t> state(kpkIndexCount, Invalid);

    // Legal placements start as draws; wins are then propagated backwards
    // until nothing changes (the least fixed point: wins in finitely many
    // moves).
    for (int index = 0; index < kpkIndexCount; ++index) {
        const int weakKing = index & 63, strongKing = (index >> 6) & 63;
        const int pawnIndex = (index >> 12) & 31, strongToMove = index >> 17;
        const int rank = pawnIndex >> 2;
        if (rank < 1 || rank > 6) continue;
        const int pawn = pawnSquareOf(pawnIndex);
        if (weakKing == strongKing || weakKing == pawn || strongKing == pawn) continue;
        if (distance(weakKing, strongKing) <= 1) continue;
        if (strongToMove && pawnAttacks(pawn, weakKing)) continue;  // king could be taken
        state[index] = Draw;
    }

    bool changed = true;
    while (changed) {
        changed = false;
        for (int index = 0; index < kpkIndexCount; ++index) {
            if (state[index] != Draw) continue;
            const int weakKing = index & 63, strongKing = (index >> 6) & 63;
            const int pawnIndex = (index >> 12) & 31, strongToMove = index >> 17;
            const int pawn = pawnSquareOf(pawnIndex);
            bool win = false;
            if (strongToMove) {
                for (int i = 0; i < n.count[strongKing] && !win; ++i) {
                    const int t = n.square[strongKing][i];
                    if (t == pawn || distance(t, weakKing) <= 1) continue;
                    win = state[kpkIndex(0, pawn, t, weakKing)] == Win;
                }
                const int push = pawn + 8;
                if (!win && push != strongKing && push != weakKing) {
                    if (rankOf(push) == 7)
                        win = promotionWins(push, strongKing, weakKing, n);
                    else
                        win = state[kpkIndex(0, push, strongKing, weakKing)] == Win;
                    const int jump = pawn + 16;
                    if (!win && rankOf(pawn) == 1 && jump != strongKing && jump != weakKing)
                        win = state[kpkIndex(0, jump, strongKing, weakKing)] == Win;
                }
            } else {
                // The defender escapes to a draw with any move that does not
                // lead to a win, taking an undefended pawn included; with no
                // move at all it is mated (in check) or stalemated.
                int moves = 0;
                bool escape = false;
                for (int i = 0; i < n.count[weakKing] && !escape; ++i) {
                    const int t = n.square[weakKing][i];
                    if (distance(t, strongKing) <= 1 || pawnAttacks(pawn, t)) continue;
                    ++moves;
                    if (t == pawn)
                        escape = true;
                    else
                        escape = state[kpkIndex(1, pawn, strongKing, t)] != Win;
                }
                win = !escape && (moves > 0 || pawnAttacks(pawn, weakKing));
            }
            if (win) {
                state[index] = Win;
                changed = true;
            }
        }
    }

    for (int index = 0; index < kpkIndexCount; ++index)
        if (state[index] == Win) bitbaseWords[index >> 5] |= uint32_t(1) << (index & 31);
}

}  // namespace

const uint32_t* kpkBitbase() {
    std::call_once(bitbaseOnce, buildBitbase);
    return bitbaseWords;
}

void initKpkBitbase() { kpkBitbase(); }

bool kpkProbe(int strongSide, int pawnSquare, int strongKing, int weakKing, int sideToMove) {
    if (strongSide == Black) {
        pawnSquare ^= 56;
        strongKing ^= 56;
        weakKing ^= 56;
    }
    if (fileOf(pawnSquare) >= 4) {
        pawnSquare ^= 7;
        strongKing ^= 7;
        weakKing ^= 7;
    }
    return kpkProbeOriented(pawnSquare, strongKing, weakKing, sideToMove == strongSide);
}
