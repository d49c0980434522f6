// A position the engine refuses is told back with its text cut to a bounded
// length, in the answer to the GUI and in the log alike: a GUI that sends a
// text of megabytes must not get megabytes back, nor fill the log with them.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "engine_process.h"

using namespace enginetest;

namespace {

// Two white kings: refused whatever follows. The filler keeps the fields
// separated by single blanks, as the UCI interpreter joins them.
std::string hugeRefusedFen() {
    std::string text = "4k3/8/8/8/8/8/8/K3K3 w - - 0 1";
    while (text.size() < 200000) text += " abcdefghij";
    return text;
}

struct ProtocolCase {
    const char* name;
    std::vector<std::string> input;   // "{fen}" stands for the refused text
    const char* answer;               // the whole answer line, "{echo}" for the cut text
};

// Test names show the protocol, not the bytes of the record.
void PrintTo(const ProtocolCase& c, std::ostream* out) { *out << c.name; }

const ProtocolCase protocolCases[] = {
    {"Uci", {"uci", "position fen {fen}", "isready"}, "info string Illegal position: {echo}"},
    // XBoard tells the GUI without the text; the log has it.
    {"XBoard", {"xboard", "setboard {fen}", "ping 1"}, "tellusererror Illegal position"},
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

class RefusedFenEcho : public testing::TestWithParam<ProtocolCase> {};

TEST_P(RefusedFenEcho, IsCutInTheAnswerAndInTheLog) {
    const ProtocolCase& c = GetParam();
    const std::string fen = hugeRefusedFen();
    const std::string echo = fen.substr(0, FenEchoLength) + "...";
    TempDir dir;
    dir.write("vorlix.ini", "LogLevel=16\n");  // errors only: not the GUI lines themselves
    std::vector<std::string> input;
    for (const std::string& line : c.input) input.push_back(replaced(line, "{fen}", fen));
    int status = 0;
    const std::vector<std::string> output = runSession(dir, input, status, 60000);
    EXPECT_EQ(status, 0);

    const std::string answer = replaced(c.answer, "{echo}", echo);
    EXPECT_EQ(countMatching(output, "Illegal position"), 1) << joinLines(output).substr(0, 2000);
    for (const std::string& line : output) {
        EXPECT_LT(line.size(), 200u) << line.substr(0, 200);
        if (line.find("Illegal position") != std::string::npos) {
            EXPECT_EQ(line, answer);
        }
    }
    const std::string log = dir.read("logfile.txt");
    EXPECT_NE(log.find("Invalid FEN string : '" + echo + "'\n"), std::string::npos) << log.substr(0, 2000);
    EXPECT_LT(log.size(), 2000u);
}

INSTANTIATE_TEST_SUITE_P(Protocols, RefusedFenEcho, testing::ValuesIn(protocolCases),
                         [](const testing::TestParamInfo<ProtocolCase>& info) {
                             return std::string(info.param.name);
                         });

// Where the text is cut: a text that fits stays whole; a longer one keeps
// its head and never ends inside a UTF-8 character.
TEST(FenEcho, CutsLongTextsOnly) {
    const std::string fits(FenEchoLength, 'x');
    const std::string accented = std::string(FenEchoLength - 1, 'x') + "\xc3\xa9" + "tail";
    struct Case {
        std::string text;
        std::string echo;
    };
    const Case cases[] = {
        {"", ""},
        {"9/8 w - - 0 1", "9/8 w - - 0 1"},
        {fits, fits},
        {fits + "y", fits + "..."},
        {accented, std::string(FenEchoLength - 1, 'x') + "..."},
    };
    for (const Case& c : cases) EXPECT_EQ(fenEcho(c.text.c_str()), c.echo) << c.text.size();
}

}  // namespace
