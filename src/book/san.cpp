#include "book/san.h"

#include "board/attacks.h"
#include "board/bitops.h"

namespace {

bool isFileLetter(char c) { return c >= 'a' && c <= 'h'; }
bool isRankDigit(char c) { return c >= '1' && c <= '8'; }
bool isCastlingLetter(char c) { return c == 'O' || c == '0'; }

// Piece type of an upper-case SAN letter, 0 for any other character.
int pieceOfLetter(char c) {
    switch (c) {
        case 'N': return Knight;
        case 'B': return Bishop;
        case 'R': return Rook;
        case 'Q': return Queen;
        case 'K': return King;
        default: return NoPiece;
    }
}

int promotionOfLetter(char c) {
    int type = pieceOfLetter(c);
    return type == King ? NoPiece : type;
}

bool isPinned(const Position& position, int candidate, int to) {
    int us = position.sideToMove;
    int them = us ^ 1;
    int king = position.kingSquare[us];
    Bitboard occupancy = position.occupied & ~(Bitboard(1) << candidate);
    Bitboard sliders;
    if (fileOf(candidate) == fileOf(king) || rankOf(candidate) == rankOf(king))
        sliders = rookAttacks(king, occupancy) &
                  (position.pieces[them][Rook] | position.pieces[them][Queen]);
    else
        sliders = bishopAttacks(king, occupancy) &
                  (position.pieces[them][Bishop] | position.pieces[them][Queen]);
    // The piece on the destination is the one being taken: it pins nothing.
    sliders &= ~(Bitboard(1) << to);
    while (sliders) {
        int slider = popLowest(sliders);
        if (AttackTables::between[king][slider] & (Bitboard(1) << candidate))
            return true;
    }
    return false;
}

// What the text says, before the position is asked whether it is legal.
struct SanMove {
    int piece = NoPiece;
    int to = -1;
    int fileFilter = -1;
    int rankFilter = -1;
    int promotion = NoPiece;
    int castlingWing = -1;  // ShortWing or LongWing for castling
};

// Reads the promotion, check and annotation suffixes from text[i]; false when
// anything else follows or a promotion does not fit the move.
bool readSuffixes(const std::string& text, size_t i, int side, SanMove& san) {
    size_t n = text.size();
    if (i < n && (text[i] == '=' || promotionOfLetter(text[i]) != NoPiece)) {
        if (text[i] == '=')
            ++i;
        if (i >= n || promotionOfLetter(text[i]) == NoPiece)
            return false;
        int lastRank = side == White ? 7 : 0;
        if (san.piece != Pawn || rankOf(san.to) != lastRank)
            return false;
        san.promotion = promotionOfLetter(text[i]);
        ++i;
    }
    if (i < n && (text[i] == '+' || text[i] == '#'))
        ++i;
    for (int marks = 0; marks < 2 && i < n && (text[i] == '!' || text[i] == '?'); ++marks)
        ++i;
    return i == n;
}

// Splits the text into the SanMove fields; false when it fits no form.
bool readSan(const std::string& text, int side, SanMove& san) {
    size_t n = text.size();
    if (n == 0)
        return false;
    char first = text[0];

    if (isCastlingLetter(first)) {
        if (n < 3 || text[1] != '-' || !isCastlingLetter(text[2]))
            return false;
        size_t i = 3;
        san.castlingWing = ShortWing;
        if (i < n && text[i] == '-') {
            if (i + 1 >= n || !isCastlingLetter(text[i + 1]))
                return false;
            san.castlingWing = LongWing;
            i += 2;
        }
        san.piece = King;
        return readSuffixes(text, i, side, san);
    }

    if (isFileLetter(first)) {
        san.piece = Pawn;
        size_t i;
        if (n >= 2 && isRankDigit(text[1])) {
            san.to = makeSquare(first - 'a', text[1] - '1');
            i = 2;
            if (i < n && (text[i] == 'x' || isFileLetter(text[i])))
                return false;
        } else if (n >= 4 && text[1] == 'x' && isFileLetter(text[2]) && isRankDigit(text[3])) {
            san.fileFilter = first - 'a';
            san.to = makeSquare(text[2] - 'a', text[3] - '1');
            i = 4;
        } else {
            return false;
        }
        return readSuffixes(text, i, side, san);
    }

    san.piece = pieceOfLetter(first);
    if (san.piece == NoPiece)
        return false;
    // The square part: [file][rank][x]file rank.
    size_t end = 1;
    while (end < n && (isFileLetter(text[end]) || isRankDigit(text[end]) || text[end] == 'x'))
        ++end;
    if (end < 3 || !isFileLetter(text[end - 2]) || !isRankDigit(text[end - 1]))
        return false;
    san.to = makeSquare(text[end - 2] - 'a', text[end - 1] - '1');
    size_t restEnd = end - 2;
    if (restEnd > 1 && text[restEnd - 1] == 'x')
        --restEnd;
    size_t i = 1;
    if (i < restEnd && isFileLetter(text[i]))
        san.fileFilter = text[i++] - 'a';
    if (i < restEnd && isRankDigit(text[i]))
        san.rankFilter = text[i++] - '1';
    if (i != restEnd)
        return false;
    return readSuffixes(text, end, side, san);
}

bool isLegal(const ScoredMove* legal, int legalCount, Move move) {
    for (int k = 0; k < legalCount; ++k) {
        if (legal[k].move == move)
            return true;
    }
    return false;
}

}  // namespace

bool findSanOrigin(const Position& position, int to, int pieceType, int fileFilter,
                   int rankFilter, int& from, int& captured) {
    int us = position.sideToMove;
    Bitboard reach;
    switch (pieceType) {
        case Knight: reach = AttackTables::knightAttacks[to]; break;
        case King: reach = AttackTables::kingAttacks[to]; break;
        case Bishop: reach = bishopAttacks(to, position.occupied); break;
        case Rook: reach = rookAttacks(to, position.occupied); break;
        case Queen:
            reach = bishopAttacks(to, position.occupied) | rookAttacks(to, position.occupied);
            break;
        default: return false;
    }
    Bitboard candidates = reach & position.pieces[us][pieceType];
    if (fileFilter >= 0)
        candidates &= AttackTables::fileMask[fileFilter];
    if (rankFilter >= 0)
        candidates &= AttackTables::rankMask[rankFilter];
    if (!candidates)
        return false;
    if (popCount(candidates) == 1) {
        from = lowestBit(candidates);
    } else {
        from = -1;
        while (candidates) {
            int square = popLowest(candidates);
            if (!isPinned(position, square, to)) {
                from = square;
                break;
            }
        }
        if (from < 0)
            return false;
    }
    captured = position.board[to];
    return true;
}

SanResult resolveSan(Position& position, const std::string& text, Move& move) {
    int us = position.sideToMove;
    SanMove san;
    if (!readSan(text, us, san))
        return SanResult::Unreadable;

    ScoredMove legal[MaxMoves];
    int legalCount = position.generateLegalMoves(legal, position.inCheck());

    if (san.castlingWing >= 0) {
        // The generator knows where this side's king and castling rooks
        // start, standard chess and Chess960 alike.
        for (int k = 0; k < legalCount; ++k) {
            Move candidate = legal[k].move;
            if (!isCastling(candidate))
                continue;
            bool shortSide = fileOf(moveTo(candidate)) > fileOf(moveFrom(candidate));
            if (shortSide == (san.castlingWing == ShortWing)) {
                move = candidate;
                return SanResult::Ok;
            }
        }
        return SanResult::Illegal;
    }

    if (san.piece != Pawn) {
        // Among the legal moves that fit the text, the lowest origin square,
        // as the origin search would pick among unpinned pieces.
        Move best = NoMove;
        for (int k = 0; k < legalCount; ++k) {
            Move candidate = legal[k].move;
            int from = moveFrom(candidate);
            if (isCastling(candidate) || movePiece(candidate) != san.piece ||
                moveTo(candidate) != san.to)
                continue;
            if ((san.fileFilter >= 0 && fileOf(from) != san.fileFilter) ||
                (san.rankFilter >= 0 && rankOf(from) != san.rankFilter))
                continue;
            if (best == NoMove || from < moveFrom(best))
                best = candidate;
        }
        if (best != NoMove) {
            move = best;
            return SanResult::Ok;
        }
        int from, captured;
        return findSanOrigin(position, san.to, san.piece, san.fileFilter, san.rankFilter, from,
                             captured)
                   ? SanResult::Illegal
                   : SanResult::Unreadable;
    }

    int back = us == White ? -8 : 8;
    Bitboard ownPawns = position.pieces[us][Pawn];
    int from;
    int captured = NoPiece;
    Move flags = 0;
    if (san.fileFilter < 0) {
        int oneBack = san.to + back;
        int twoBack = san.to + 2 * back;
        int fourthRank = us == White ? 3 : 4;
        if (oneBack >= 0 && oneBack < 64 && (ownPawns >> oneBack & 1))
            from = oneBack;
        else if (rankOf(san.to) == fourthRank && (ownPawns >> twoBack & 1))
            from = twoBack;
        else
            return SanResult::Unreadable;
    } else {
        Bitboard attackers = AttackTables::pawnAttacks[us ^ 1][san.to] & ownPawns;
        if (!attackers)
            return SanResult::Unreadable;
        from = makeSquare(san.fileFilter, rankOf(lowestBit(attackers)));
        captured = position.board[san.to];
        int behind = san.to + back;
        if (captured == NoPiece && position.epFile == fileOf(san.to) + 1 && behind >= 0 &&
            behind < 64 && (position.pieces[us ^ 1][Pawn] >> behind & 1)) {
            captured = Pawn;
            flags = EnPassantFlag;
        }
    }
    move = makeMove(from, san.to, Pawn, captured, san.promotion) | flags;
    return isLegal(legal, legalCount, move) ? SanResult::Ok : SanResult::Illegal;
}
