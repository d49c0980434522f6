#include "rules88.h"

#include <algorithm>

namespace soak {

namespace {

const int knightSteps[8] = {31, 33, 14, 18, -31, -33, -14, -18};
const int kingSteps[8] = {1, -1, 16, -16, 15, 17, -15, -17};
const int straightSteps[4] = {1, -1, 16, -16};
const int diagonalSteps[4] = {15, 17, -15, -17};
const char promotionLetters[] = "  nbrq";

}  // namespace

void Board88::setStart(const int backRank[8], bool chess960Notation) {
    for (int8_t& cell : cells) cell = 0;
    for (int file = 0; file < 8; file++) {
        cells[square(file, 0)] = int8_t(backRank[file]);
        cells[square(file, 1)] = PawnKind;
        cells[square(file, 6)] = -PawnKind;
        cells[square(file, 7)] = int8_t(-backRank[file]);
    }
    side = 1;
    epTarget = -1;
    halfmove = 0;
    chess960 = chess960Notation;
    int kingFile = 0;
    for (int file = 0; file < 8; file++)
        if (backRank[file] == KingKind) kingFile = file;
    for (int colour = 0; colour < 2; colour++) {
        const int rank = colour == 1 ? 0 : 7;
        castleRook[colour][0] = castleRook[colour][1] = -1;
        for (int file = 0; file < 8; file++) {
            if (backRank[file] != RookKind) continue;
            if (file > kingFile) castleRook[colour][0] = square(file, rank);
            else castleRook[colour][1] = square(file, rank);
        }
    }
}

int Board88::kingSquare(int colour) const {
    const int8_t king = int8_t(colour == 1 ? KingKind : -KingKind);
    for (int s = 0; s < 128; s++)
        if (onBoard(s) && cells[s] == king) return s;
    return -1;
}

bool Board88::attacked(int target, int by) const {
    if (target < 0) return false;
    const int sign = by == 1 ? 1 : -1;
    // A white pawn attacks upwards, so it stands below its target.
    const int pawnFrom[2] = {by == 1 ? target - 15 : target + 15, by == 1 ? target - 17 : target + 17};
    for (int s : pawnFrom)
        if (onBoard(s) && cells[s] == sign * PawnKind) return true;
    for (int step : knightSteps)
        if (onBoard(target + step) && cells[target + step] == sign * KnightKind) return true;
    for (int step : kingSteps)
        if (onBoard(target + step) && cells[target + step] == sign * KingKind) return true;
    for (int pass = 0; pass < 2; pass++) {
        const int* steps = pass == 0 ? straightSteps : diagonalSteps;
        const int slider = pass == 0 ? RookKind : BishopKind;
        for (int k = 0; k < 4; k++) {
            for (int s = target + steps[k]; onBoard(s); s += steps[k]) {
                if (cells[s] == 0) continue;
                if (cells[s] == sign * slider || cells[s] == sign * QueenKind) return true;
                break;
            }
        }
    }
    return false;
}

void Board88::addPawnMove(std::vector<Move88>& moves, int from, int to) const {
    Move88 move;
    move.from = from;
    move.to = to;
    if (rankOf(to) == 0 || rankOf(to) == 7) {
        for (int kind = KnightKind; kind <= QueenKind; kind++) {
            move.promotion = kind;
            moves.push_back(move);
        }
    } else {
        moves.push_back(move);
    }
}

void Board88::pseudoMoves(std::vector<Move88>& moves) const {
    const int sign = side == 1 ? 1 : -1;
    const int forward = side == 1 ? 16 : -16;
    for (int from = 0; from < 128; from++) {
        if (!onBoard(from) || cells[from] == 0 || colourOf(cells[from]) != side) continue;
        const int kind = std::abs(cells[from]);
        auto enemyOrEmpty = [&](int s) { return cells[s] == 0 || colourOf(cells[s]) != side; };
        switch (kind) {
            case PawnKind: {
                const int one = from + forward;
                if (onBoard(one) && cells[one] == 0) {
                    addPawnMove(moves, from, one);
                    const int startRank = side == 1 ? 1 : 6;
                    if (rankOf(from) == startRank && cells[one + forward] == 0)
                        addPawnMove(moves, from, one + forward);
                }
                for (int sideways : {-1, 1}) {
                    const int to = one + sideways;
                    if (!onBoard(to)) continue;
                    if ((cells[to] != 0 && colourOf(cells[to]) != side) || to == epTarget)
                        addPawnMove(moves, from, to);
                }
                break;
            }
            case KnightKind:
            case KingKind:
                for (int step : kind == KnightKind ? knightSteps : kingSteps) {
                    const int to = from + step;
                    if (onBoard(to) && enemyOrEmpty(to)) moves.push_back(Move88{from, to, 0, -1});
                }
                break;
            default: {
                for (int pass = 0; pass < 2; pass++) {
                    if (pass == 0 && kind == BishopKind) continue;
                    if (pass == 1 && kind == RookKind) continue;
                    const int* steps = pass == 0 ? straightSteps : diagonalSteps;
                    for (int k = 0; k < 4; k++) {
                        for (int to = from + steps[k]; onBoard(to); to += steps[k]) {
                            if (!enemyOrEmpty(to)) break;
                            moves.push_back(Move88{from, to, 0, -1});
                            if (cells[to] != 0) break;
                        }
                    }
                }
            }
        }
    }

    // Castling, one rule for the standard and the shuffled starts: every
    // square the king and the rook cross or reach is empty but for the two
    // of them, and no square the king stands on, crosses or reaches is
    // attacked.
    const int king = kingSquare(side);
    const int rank = side == 1 ? 0 : 7;
    for (int wing = 0; wing < 2; wing++) {
        const int rook = castleRook[side][wing];
        if (rook < 0 || king < 0 || cells[rook] != sign * RookKind || rankOf(king) != rank) continue;
        const int kingTo = square(wing == 0 ? 6 : 2, rank);
        const int rookTo = square(wing == 0 ? 5 : 3, rank);
        bool clear = true;
        for (int pair = 0; pair < 2 && clear; pair++) {
            const int a = pair == 0 ? king : rook;
            const int b = pair == 0 ? kingTo : rookTo;
            for (int file = std::min(fileOf(a), fileOf(b)); file <= std::max(fileOf(a), fileOf(b)); file++) {
                const int s = square(file, rank);
                if (s != king && s != rook && cells[s] != 0) clear = false;
            }
        }
        if (!clear) continue;
        bool safe = true;
        for (int file = std::min(fileOf(king), fileOf(kingTo));
             file <= std::max(fileOf(king), fileOf(kingTo)); file++)
            if (attacked(square(file, rank), side ^ 1)) safe = false;
        if (safe) moves.push_back(Move88{king, kingTo, 0, rook});
    }
}

void Board88::make(const Move88& move) {
    const int us = side;
    const int8_t piece = cells[move.from];
    const int kind = std::abs(piece);
    bool capture = false;
    int newEp = -1;
    if (move.castleRook >= 0) {
        const int rank = rankOf(move.from);
        const int8_t rook = cells[move.castleRook];
        cells[move.from] = 0;
        cells[move.castleRook] = 0;
        cells[move.to] = piece;
        cells[square(fileOf(move.to) == 6 ? 5 : 3, rank)] = rook;
    } else {
        capture = cells[move.to] != 0;
        if (kind == PawnKind && move.to == epTarget) {
            cells[move.to + (us == 1 ? -16 : 16)] = 0;
            capture = true;
        }
        if (kind == PawnKind && std::abs(move.to - move.from) == 32) newEp = (move.from + move.to) / 2;
        cells[move.to] = move.promotion ? int8_t(us == 1 ? move.promotion : -move.promotion) : piece;
        cells[move.from] = 0;
    }
    if (kind == KingKind) castleRook[us][0] = castleRook[us][1] = -1;
    for (auto& colour : castleRook)
        for (int& rook : colour)
            if (move.castleRook < 0 && (rook == move.from || rook == move.to)) rook = -1;
    halfmove = (kind == PawnKind || capture) ? 0 : halfmove + 1;
    epTarget = newEp;
    side ^= 1;
}

std::vector<Move88> Board88::legalMoves() const {
    std::vector<Move88> pseudo, legal;
    pseudoMoves(pseudo);
    for (const Move88& move : pseudo) {
        Board88 after = *this;
        after.make(move);
        if (!after.attacked(after.kingSquare(side), after.side)) legal.push_back(move);
    }
    return legal;
}

std::string Board88::text(const Move88& move) const {
    std::string out = squareText(move.from);
    out += squareText(move.castleRook >= 0 && chess960 ? move.castleRook : move.to);
    if (move.promotion) out += promotionLetters[move.promotion];
    return out;
}

std::vector<std::string> Board88::legalMoveTexts() const {
    std::vector<std::string> texts;
    for (const Move88& move : legalMoves()) texts.push_back(text(move));
    return texts;
}

bool Board88::find(const std::string& moveText, Move88& found) const {
    for (const Move88& move : legalMoves()) {
        if (text(move) == moveText) {
            found = move;
            return true;
        }
    }
    return false;
}

bool Board88::play(const std::string& moveText) {
    Move88 move;
    if (!find(moveText, move)) return false;
    make(move);
    return true;
}

std::string Board88::fen(int fullmove) const {
    static const char letters[] = " pnbrqk";
    std::string out;
    for (int rank = 7; rank >= 0; rank--) {
        int empty = 0;
        for (int file = 0; file < 8; file++) {
            const int8_t piece = cells[square(file, rank)];
            if (piece == 0) {
                empty++;
                continue;
            }
            if (empty) out += char('0' + empty);
            empty = 0;
            const char letter = letters[std::abs(piece)];
            out += piece > 0 ? char(letter - 'a' + 'A') : letter;
        }
        if (empty) out += char('0' + empty);
        if (rank) out += '/';
    }
    out += side == 1 ? " w " : " b ";
    std::string rights;
    if (castleRook[1][0] >= 0) rights += 'K';
    if (castleRook[1][1] >= 0) rights += 'Q';
    if (castleRook[0][0] >= 0) rights += 'k';
    if (castleRook[0][1] >= 0) rights += 'q';
    out += rights.empty() ? "-" : rights;
    out += ' ';
    out += epTarget >= 0 ? squareText(epTarget) : "-";
    out += " " + std::to_string(halfmove) + " " + std::to_string(fullmove);
    return out;
}

std::string Board88::repetitionKey() const {
    std::string key;
    for (int s = 0; s < 128; s++)
        if (onBoard(s)) key += char(cells[s] + 8);
    key += char('0' + side);
    for (const auto& colour : castleRook)
        for (int rook : colour) key += char(rook + 2);
    bool epUsable = false;
    if (epTarget >= 0) {
        const int sign = side == 1 ? 1 : -1;
        const int behind = epTarget - (side == 1 ? 16 : -16);
        for (int sideways : {-1, 1})
            if (onBoard(behind + sideways) && cells[behind + sideways] == sign * PawnKind) epUsable = true;
    }
    key += epUsable ? char(epTarget + 1) : char(0);
    return key;
}

bool Board88::insufficientMaterial() const {
    int knights = 0, bishops[2] = {0, 0};
    for (int s = 0; s < 128; s++) {
        if (!onBoard(s) || cells[s] == 0) continue;
        switch (std::abs(cells[s])) {
            case KingKind: break;
            case KnightKind: knights++; break;
            case BishopKind: bishops[(fileOf(s) + rankOf(s)) & 1]++; break;
            default: return false;  // a pawn, rook or queen can still mate
        }
    }
    const int minors = knights + bishops[0] + bishops[1];
    // One minor piece, or bishops that all stand on one colour of square.
    return minors <= 1 || (knights == 0 && (bishops[0] == 0 || bishops[1] == 0));
}

}  // namespace soak
