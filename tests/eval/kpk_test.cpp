#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "board/types.h"
#include "eval/kpk.h"

namespace {

// A second, separately written solver for king and pawn against king: file
// and rank coordinates instead of square numbers, attack tests by asking
// "does any white unit attack this square", and wins grown ply layer by ply
// layer (each layer computed only from the previous one). White has the pawn
// and moves it up; the pawn stays on files a-d.
class ReferenceKpk {
public:
    ReferenceKpk() : won_(2 * 64 * 64 * 64, 0), legal_(2 * 64 * 64 * 64, 0) {
        for (int stm = 0; stm < 2; ++stm)
            for (int p = 8; p < 56; ++p)
                for (int wk = 0; wk < 64; ++wk)
                    for (int bk = 0; bk < 64; ++bk)
                        legal_[at(stm, p, wk, bk)] = isLegal(stm, p, wk, bk);
        // Layer by layer: a position is won within n + 1 plies when the
        // mover (white) has a move into a position won within n plies, or
        // when every defender move leads into one (and at least one exists
        // or the defender is mated).
        bool grew = true;
        while (grew) {
            grew = false;
            std::vector<uint8_t> next = won_;
            for (int stm = 0; stm < 2; ++stm)
                for (int p = 8; p < 56; ++p) {
                    if ((p & 7) > 3) continue;
                    for (int wk = 0; wk < 64; ++wk)
                        for (int bk = 0; bk < 64; ++bk) {
                            const size_t i = at(stm, p, wk, bk);
                            if (!legal_[i] || won_[i]) continue;
                            if (stm == 1 ? whiteWins(p, wk, bk) : blackLoses(p, wk, bk)) {
                                next[i] = 1;
                                grew = true;
                            }
                        }
                }
            won_.swap(next);
        }
    }

    bool legal(int stm, int p, int wk, int bk) const { return legal_[at(stm, p, wk, bk)]; }
    bool won(int stm, int p, int wk, int bk) const { return won_[at(stm, p, wk, bk)]; }

    // After promotion on `sq` to a queen (or rook), black to move: does white
    // win? Checked by trying every black reply.
    static bool promotionWins(int sq, int wk, int bk, bool queen) {
        const bool check = sliderHits(sq, bk, wk, queen);
        int replies = 0;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy) {
                if (!dx && !dy) continue;
                const int x = bk % 8 + dx, y = bk / 8 + dy;
                if (x < 0 || x > 7 || y < 0 || y > 7) continue;
                const int t = y * 8 + x;
                if (near(t, wk)) continue;
                if (t == sq) return false;  // the new piece is taken
                if (sliderHits(sq, t, wk, queen)) continue;
                ++replies;
            }
        return replies > 0 || check;  // stalemate is the only other outcome
    }

private:
    static size_t at(int stm, int p, int wk, int bk) {
        return ((size_t(stm) * 64 + p) * 64 + wk) * 64 + bk;
    }
    static bool near(int a, int b) {
        return std::abs(a % 8 - b % 8) <= 1 && std::abs(a / 8 - b / 8) <= 1;
    }
    static bool pawnHits(int p, int t) { return t / 8 == p / 8 + 1 && std::abs(t % 8 - p % 8) == 1; }
    static bool sliderHits(int from, int to, int blocker, bool diagonals) {
        const int dx = to % 8 - from % 8, dy = to / 8 - from / 8;
        if (from == to) return false;
        const bool straight = dx == 0 || dy == 0;
        const bool diagonal = std::abs(dx) == std::abs(dy);
        if (!straight && !(diagonals && diagonal)) return false;
        const int sx = (dx > 0) - (dx < 0), sy = (dy > 0) - (dy < 0);
        for (int x = from % 8 + sx, y = from / 8 + sy; x != to % 8 || y != to / 8; x += sx, y += sy)
            if (y * 8 + x == blocker) return false;
        return true;
    }
    static bool isLegal(int stm, int p, int wk, int bk) {
        if (wk == bk || wk == p || bk == p || near(wk, bk)) return false;
        if (stm == 1 && pawnHits(p, bk)) return false;
        return true;
    }

    bool whiteWins(int p, int wk, int bk) const {
        for (int t = 0; t < 64; ++t)
            if (near(t, wk) && t != wk && t != p && !near(t, bk) && won(0, p, t, bk)) return true;
        const int up = p + 8;
        if (up == wk || up == bk) return false;
        if (up >= 56) return promotionWins(up, wk, bk, true) || promotionWins(up, wk, bk, false);
        if (won(0, up, wk, bk)) return true;
        return p / 8 == 1 && up + 8 != wk && up + 8 != bk && won(0, up + 8, wk, bk);
    }

    bool blackLoses(int p, int wk, int bk) const {
        int replies = 0;
        for (int t = 0; t < 64; ++t) {
            if (t == bk || !near(t, bk) || near(t, wk) || pawnHits(p, t)) continue;
            if (t == p) return false;  // takes the undefended pawn
            ++replies;
            if (!won(1, p, wk, t)) return false;
        }
        return replies > 0 || pawnHits(p, bk);
    }

    std::vector<uint8_t> won_;
    std::vector<uint8_t> legal_;
};

bool bitOf(int stm, int p, int wk, int bk) {
    const int i = kpkIndex(stm, p, wk, bk);
    return (kpkBitbase()[i >> 5] >> (i & 31)) & 1;
}

TEST(KpkBitbase, AgreesWithSeparateSolverOnEveryLegalPosition) {
    const ReferenceKpk reference;
    int checked = 0, wins = 0, mismatches = 0;
    for (int stm = 0; stm < 2; ++stm)
        for (int p = 8; p < 56; ++p) {
            if ((p & 7) > 3) continue;
            for (int wk = 0; wk < 64; ++wk)
                for (int bk = 0; bk < 64; ++bk) {
                    if (!reference.legal(stm, p, wk, bk)) continue;
                    ++checked;
                    wins += reference.won(stm, p, wk, bk);
                    if (bitOf(stm, p, wk, bk) != reference.won(stm, p, wk, bk) &&
                        ++mismatches <= 10)
                        ADD_FAILURE() << "stm " << stm << " pawn " << p << " wk " << wk << " bk "
                                      << bk << " reference " << reference.won(stm, p, wk, bk);
                }
        }
    EXPECT_EQ(mismatches, 0);
    // Sanity of the reference itself: most but not all positions are wins.
    EXPECT_GT(wins, checked / 2);
    EXPECT_LT(wins, checked);
}

struct KpkCase {
    const char* what;
    int pawn, strongKing, weakKing;
    bool strongToMove;
    bool win;
};

const KpkCase kpkCases[] = {
    {"pawn a7 walks in", A7, C3, H1, true, true},
    {"rook pawn, defender in the corner", A2, A1, A8, true, false},
    {"rook pawn, defender in the corner, defender to move", A2, A1, A8, false, false},
    {"king on the sixth ahead of the pawn", E5 ^ 7, E6 ^ 7, E8 ^ 7, true, true},
    {"opposition with the defender to move", E4 ^ 7, E5 ^ 7, E7 ^ 7, false, true},
    {"opposition with the pawn's side to move", E4 ^ 7, E5 ^ 7, E7 ^ 7, true, false},
    {"stalemate in the corner", A7, B6, A8, false, false},
    {"undefended pawn is taken", D4, H1, D5, false, false},
    {"king too far from a runaway pawn", A5, H1, H3, true, true},
    {"defender catches the pawn (rule of the square)", A5, H1, D5, false, false},
    {"promotion to a piece that is taken at once", B7, H1, A7, true, false},
};

TEST(KpkBitbase, KnownPositions) {
    for (const KpkCase& c : kpkCases)
        EXPECT_EQ(kpkProbeOriented(c.pawn, c.strongKing, c.weakKing, c.strongToMove), c.win)
            << c.what;
}

TEST(KpkBitbase, UnderpromotionToARookCountsAsAWin) {
    // Every placement where a queen on the promotion square would stalemate
    // but a rook does not: the pawn's side wins by promoting to a rook.
    int found = 0;
    for (int p = 48; p < 52; ++p)
        for (int wk = 0; wk < 64; ++wk)
            for (int bk = 0; bk < 64; ++bk) {
                if (wk == bk || wk == p || bk == p || wk == p + 8 || bk == p + 8) continue;
                if (std::abs(wk % 8 - bk % 8) <= 1 && std::abs(wk / 8 - bk / 8) <= 1) continue;
                if (bk / 8 == p / 8 + 1 && std::abs(bk % 8 - p % 8) == 1) continue;
                if (ReferenceKpk::promotionWins(p + 8, wk, bk, true)) continue;
                if (!ReferenceKpk::promotionWins(p + 8, wk, bk, false)) continue;
                ++found;
                EXPECT_TRUE(kpkProbeOriented(p, wk, bk, true)) << p << " " << wk << " " << bk;
            }
    EXPECT_GT(found, 0);
}

TEST(KpkBitbase, ProbeOrientsTheBoard) {
    // Black pawn a2, black king c6, white king h8: the top-bottom mirror of
    // the first known case.
    EXPECT_TRUE(kpkProbe(Black, A2, C6, H8, Black));
    EXPECT_EQ(kpkProbe(Black, A2, C6, H8, White), kpkProbeOriented(A7, C3, H1, false));
    // The left-right mirror: pawn h7, king f3, defender a1.
    EXPECT_TRUE(kpkProbe(White, H7, F3, A1, White));
    // Both mirrors at once.
    EXPECT_TRUE(kpkProbe(Black, H2, F6, A8, Black));
    EXPECT_FALSE(kpkProbe(Black, H7, H8, H1, Black));
}

TEST(KpkBitbase, PawnOnItsFirstOrLastRankReadsInsideTheTableAsDraw) {
    for (int file = 0; file < 4; ++file) {
        EXPECT_FALSE(kpkProbeOriented(makeSquare(file, 0), H4, H6, true));
        EXPECT_FALSE(kpkProbeOriented(makeSquare(file, 7), H4, H6, false));
        EXPECT_LT(kpkIndex(1, makeSquare(file, 7), 63, 63), kpkIndexCount);
    }
}

}  // namespace
