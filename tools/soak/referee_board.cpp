#include "referee_board.h"

#include <algorithm>

#include "board/fen.h"
#include "board/notation.h"

namespace soak {

void RefereeBoard::start(const int backRank[8], bool chess960) {
    independent.setStart(backRank, chess960);
    firstFen = independent.fen();
    position.clear();
    position.chess960 = chess960 ? 1 : 0;
    FenFields fields;
    if (parseFen(firstFen.c_str(), fields)) setupFromFen(position, fields);
    played.clear();
    repetitionKeys.assign(1, independent.repetitionKey());
}

std::vector<std::string> RefereeBoard::engineRulesMoves() {
    ScoredMove list[MaxMoves];
    const int count = position.generateLegalMoves(list, position.inCheck());
    std::vector<std::string> texts;
    for (int i = 0; i < count; i++) {
        char buffer[8];
        formatMove(position, list[i].move, buffer);
        texts.push_back(buffer);
    }
    return texts;
}

RefereeBoard::Verdict RefereeBoard::play(const std::string& move) {
    Move engineMove = 0;
    {
        ScoredMove list[MaxMoves];
        const int count = position.generateLegalMoves(list, position.inCheck());
        for (int i = 0; i < count && engineMove == 0; i++) {
            char buffer[8];
            formatMove(position, list[i].move, buffer);
            if (move == buffer) engineMove = list[i].move;
        }
    }
    Move88 independentMove;
    const bool independentLegal = independent.find(move, independentMove);
    if (engineMove == 0 && !independentLegal) return Verdict::Illegal;
    if (engineMove == 0) return Verdict::OnlyIndependentRules;
    if (!independentLegal) return Verdict::OnlyEngineRules;
    UndoRecord undo;
    position.makeMove(engineMove, undo);
    independent.make(independentMove);
    played.push_back(move);
    repetitionKeys.push_back(independent.repetitionKey());
    return Verdict::Legal;
}

std::string RefereeBoard::generatorDifference() {
    std::vector<std::string> mine = independent.legalMoveTexts(), theirs = engineRulesMoves();
    std::sort(mine.begin(), mine.end());
    std::sort(theirs.begin(), theirs.end());
    if (mine == theirs) return std::string();
    std::string text = "position " + independent.fen() + ": only the engine's rules:";
    for (const std::string& move : theirs)
        if (!std::binary_search(mine.begin(), mine.end(), move)) text += " " + move;
    text += "; only the independent rules:";
    for (const std::string& move : mine)
        if (!std::binary_search(theirs.begin(), theirs.end(), move)) text += " " + move;
    return text;
}

std::string RefereeBoard::ending(int& winner) const {
    winner = -1;
    if (independent.legalMoves().empty()) {
        if (!independent.inCheck()) return "stalemate";
        winner = independent.sideToMove() ^ 1;
        return "mate";
    }
    if (independent.halfmoveClock() >= 100) return "fifty moves";
    const std::string& now = repetitionKeys.back();
    if (std::count(repetitionKeys.begin(), repetitionKeys.end(), now) >= 3) return "repetition";
    if (independent.insufficientMaterial()) return "material";
    return std::string();
}

std::string RefereeBoard::moveText() const {
    std::string text;
    for (const std::string& move : played) text += (text.empty() ? "" : " ") + move;
    return text;
}

}  // namespace soak
