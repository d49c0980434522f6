#pragma once
// Support for the command-line tool tests: a temporary directory with files
// written into it, output captured from a FILE*, and the real program run
// with arguments in a directory of its own, its standard output read with a
// time limit so that a hang fails the test instead of blocking the run.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace tools_test {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/vorlix_tools_XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made != nullptr ? made : "/tmp";
    }
    ~TempDir() {
        std::string command = "rm -rf '" + path_ + "'";
        if (path_ != "/tmp") (void)std::system(command.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream out(file(name), std::ios::binary);
        out << content;
        return file(name);
    }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A FILE* whose contents can be read back as a string.
class CapturedOutput {
public:
    CapturedOutput() : file_(std::tmpfile()) {}
    ~CapturedOutput() {
        if (file_ != nullptr) std::fclose(file_);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    FILE* file() { return file_; }
    std::string text() {
        std::fflush(file_);
        std::rewind(file_);
        std::string result;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) result.append(buffer, n);
        return result;
    }

private:
    FILE* file_;
};

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

inline int countOccurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        count++;
    }
    return count;
}

struct ProgramRun {
    std::string output;
    std::string errors;  // standard error
    int exitStatus = -1;  // -1: killed by a signal or by the time limit
    bool timedOut = false;
};

// Runs `program` with `args` in `directory`, standard input reading `input`
// and then its end, collecting standard output until the program exits or
// `seconds` pass; standard error is collected once it has ended.
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& directory, int seconds = 60,
                             const std::string& input = "") {
    ProgramRun run;
    const launch::ProgramLaunch launcher(program, args);
    const std::string inputFile = directory + "/.program_input";
    const std::string errorFile = directory + "/.program_errors";
    {
        std::ofstream inputText(inputFile, std::ios::binary);
        inputText << input;
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return run;
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        int inputFd = open(inputFile.c_str(), O_RDONLY);
        if (inputFd >= 0) dup2(inputFd, 0);
        int errorFd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (errorFd >= 0) dup2(errorFd, 2);
        if (chdir(directory.c_str()) != 0) _exit(127);
        launcher.execInChild();
    }
    close(pipeFds[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char buffer[4096];
    for (;;) {
        const long long left = millisecondsLeft(deadline);
        if (left <= 0) {
            run.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        pollfd entry{pipeFds[0], POLLIN, 0};
        int ready = poll(&entry, 1, int(left));
        if (ready <= 0) continue;
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        run.output.append(buffer, size_t(n));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!run.timedOut && WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
    std::ifstream errorText(errorFile, std::ios::binary);
    run.errors.assign(std::istreambuf_iterator<char>(errorText), std::istreambuf_iterator<char>());
    std::remove(errorFile.c_str());
    return run;
}

using ::programPath;

inline std::string testData(const std::string& name) {
    return std::string(VORLIX_TESTDATA_DIR) + "/" + name;
}

}  // namespace tools_test
