// Every file the program reads, named by something that is not a readable
// regular file: nothing (the file is missing), a directory, a FIFO with no
// writer, a device that never ends (/dev/zero), and a regular file whose
// reads fail (/proc/self/mem, which reads nothing at offset 0). The program
// must treat each as it treats a missing file, name the reason where it
// reports one, and never wait on the FIFO nor read the device for ever.
// The real program runs each case with a time limit, in a directory of its
// own; the same cases hold for an unprivileged user.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "tools_test_support.h"

using tools_test::ProgramRun;
using tools_test::TempDir;
using tools_test::programPath;

namespace {

struct FileKind {
    const char* name;
    const char* reason;  // as the tools report it
    std::function<bool(const std::string& path)> make;
};

const std::vector<FileKind>& fileKinds() {
    static const std::vector<FileKind> kinds = {
        {"missing", "No such file or directory", [](const std::string&) { return true; }},
        {"directory", "Is a directory",
         [](const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }},
        {"fifo", "not a regular file",
         [](const std::string& path) { return mkfifo(path.c_str(), 0644) == 0; }},
        {"endless device", "not a regular file",
         [](const std::string& path) { return symlink("/dev/zero", path.c_str()) == 0; }},
        {"read error", "Input/output error",
         [](const std::string& path) { return symlink("/proc/self/mem", path.c_str()) == 0; }},
    };
    return kinds;
}

// A position whose evaluation changes as soon as any personality file is
// read, even one without a single key (the file defaults differ from the
// built-in weights there).
const char* const personalityFen = "r3k3/p1p2ppp/8/8/8/8/PP1P1PPP/R3K3 w - - 0 1";

std::string uciSession(const std::vector<std::string>& commands) {
    std::string text = "uci\n";
    for (const std::string& command : commands) text += command + "\n";
    return text + "quit\n";
}

std::vector<std::string> evalLines(const std::string& output) {
    std::vector<std::string> lines;
    const std::regex eval("(^|\n)(eval = [^\n]*)");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), eval); it != std::sregex_iterator();
         ++it)
        lines.push_back((*it)[2]);
    return lines;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// One reader of a file: how the program is made to read `fileName` (in the
// run's directory; "{path}" in the arguments and the input stands for its
// full path), and what must show when it cannot be read.
struct Reader {
    const char* name;
    const char* fileName;
    std::vector<std::string> args;
    std::string input;
    int exitStatus;
    // Standard error: "{path}" and "{reason}" are filled in.
    std::string errors;
    // Standard output when the file cannot be opened; a file that opens but
    // fails to read may leave the lines printed before the first read.
    std::string output;
    std::string outputBeforeFirstRead;
    // Or, for the protocol sessions, a test of the whole output.
    std::function<void(const std::string& output)> checkOutput;
};

std::vector<Reader> readers() {
    auto toolFailure = [](const char* tool) {
        return std::string(tool) + " : cannot read {path} ({reason})\n";
    };
    return {
        // A configuration file that cannot be read leaves the built-in
        // settings: a 32 MB table (an empty file would give 1 MB).
        {"configuration", "vorlix.ini", {}, uciSession({}), 0, "", "", "",
         [](const std::string& output) {
             EXPECT_NE(output.find("\noption name Hash type spin default 32 min 1 "), std::string::npos)
                 << output;
         }},
        // A personality that cannot be read leaves the built-in weights.
        {"personality", "personality.ini", {},
         uciSession({std::string("position fen ") + personalityFen, "eval",
                     "setoption name PersonalityFile value {path}",
                     "setoption name UsePersonality value true", "eval"}),
         0, "", "", "",
         [](const std::string& output) {
             const std::vector<std::string> evals = evalLines(output);
             ASSERT_EQ(evals.size(), 2u) << output;
             EXPECT_EQ(evals[1], evals[0]);
         }},
        {"opening book", "book.bin", {},
         uciSession({"setoption name Book File value {path}", "setoption name OwnBook value true",
                     "isready"}),
         0, "", "", "",
         [](const std::string& output) {
             EXPECT_NE(output.find("\ninfo string book file not found\nreadyok\n"), std::string::npos)
                 << output;
         }},
        {"book builder games", "games.pgn", {"-buildbook", "{path}", "built.bin", "10", "1"}, "", 1,
         "build opening book : cannot read {path} ({reason})\n", "", "", nullptr},
        {"perft suite", "suite.epd", {"-perftsuite", "{path}", "1"}, "", 1, toolFailure("perft suite"),
         "", "", nullptr},
        {"test suite", "suite.epd",
         {"-testsuite", "1", "1", "depth", "1", "{path}"}, "", 1, toolFailure("test suite"), "",
         "Vorlix version 2.1\n\nTest suite : {path}\n\n", nullptr},
        {"eval suite", "suite.epd", {"-evalsuite", "{path}"}, "", 1, toolFailure("eval suite"), "", "",
         nullptr},
        {"check FEN suite", "suite.epd", {"-checkfensuite", "{path}"}, "", 1,
         toolFailure("check FEN suite"), "", "Check FEN suite : '{path}'\n", nullptr},
        {"SEE test", "suite.epd", {"-testsee", "{path}"}, "", 1, toolFailure("SEE test"), "", "",
         nullptr},
        // A benchmark file that cannot be read gives way to the built-in
        // positions, silently.
        {"benchmark", "positions.epd", {"-benchmark", "1", "1", "depth", "1", "{path}"}, "", 1, "", "",
         "",
         [](const std::string& output) {
             EXPECT_NE(output.find("position 24 / 24\n"), std::string::npos) << output;
         }},
    };
}

// Test names show the reader, not the bytes of the record.
void PrintTo(const Reader& reader, std::ostream* out) { *out << reader.name; }

class UnreadableFile : public testing::TestWithParam<Reader> {};

TEST_P(UnreadableFile, IsTakenForAMissingOneWithoutWaiting) {
    const Reader& reader = GetParam();
    for (const FileKind& kind : fileKinds()) {
        SCOPED_TRACE(kind.name);
        TempDir dir;
        const std::string path = dir.file(reader.fileName);
        ASSERT_TRUE(kind.make(path)) << path;
        std::vector<std::string> args = reader.args;
        for (std::string& arg : args) arg = replaceAll(arg, "{path}", path);
        const std::string input = replaceAll(reader.input, "{path}", path);

        const ProgramRun run = tools_test::runProgram(programPath(), args, dir.path(), 30, input);
        EXPECT_FALSE(run.timedOut);
        if (run.timedOut) continue;
        EXPECT_EQ(run.exitStatus, reader.exitStatus) << run.output << run.errors;
        EXPECT_EQ(run.errors, replaceAll(replaceAll(reader.errors, "{path}", path), "{reason}", kind.reason));
        if (reader.checkOutput) {
            reader.checkOutput(run.output);
        } else {
            const bool readFails = std::string(kind.name) == "read error";
            EXPECT_EQ(run.output,
                      replaceAll(readFails ? reader.outputBeforeFirstRead : reader.output, "{path}", path));
        }
        // Nothing is built from a file that was not read.
        EXPECT_NE(access(dir.file("built.bin").c_str(), F_OK), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, UnreadableFile, testing::ValuesIn(readers()),
                         [](const testing::TestParamInfo<Reader>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// The personality case above holds only if reading a file changes the
// evaluation of its position: an empty personality file must.
TEST(UnreadableFile, PersonalityPositionShowsAFileThatWasRead) {
    TempDir dir;
    const std::string path = dir.write("personality.ini", "");
    const std::string input =
        uciSession({std::string("position fen ") + personalityFen, "eval",
                    "setoption name PersonalityFile value " + path, "setoption name UsePersonality value true",
                    "eval"});
    const ProgramRun run = tools_test::runProgram(programPath(), {}, dir.path(), 30, input);
    ASSERT_FALSE(run.timedOut);
    const std::vector<std::string> evals = evalLines(run.output);
    ASSERT_EQ(evals.size(), 2u) << run.output;
    EXPECT_NE(evals[1], evals[0]);
}

}  // namespace
