#pragma once
// Runs the real engine program as a GUI does: a child process whose standard
// input and output are pipes, in a directory of its own so that the
// configuration and log files are under the test's control. Every read has a
// time limit, so a hanging engine fails the test instead of blocking it.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "launch/temp_dir.h"

namespace enginetest {

// Sanitizer builds start and search several times slower, more so on busy
// cores: their waits are longer and some speed judgements are not made there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitizerBuild = true;
#else
constexpr bool sanitizerBuild = false;
#endif

using ::TempDir;
using ::programPath;

class EngineProcess {
public:
    // Starts `program` with `args` in `directory` (the current directory
    // when empty).
    explicit EngineProcess(const std::string& directory, const std::vector<std::string>& args = {},
                           const std::string& program = programPath()) {
        const launch::ProgramLaunch launcher(program, args);
        int input[2], output[2];
        if (pipe(input) != 0 || pipe(output) != 0) return;
        // A GUI that went away must not kill the test with SIGPIPE.
        signal(SIGPIPE, SIG_IGN);
        pid = fork();
        if (pid == 0) {
            dup2(input[0], STDIN_FILENO);
            dup2(output[1], STDOUT_FILENO);
            close(input[0]), close(input[1]), close(output[0]), close(output[1]);
            if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
            launcher.execInChild();
        }
        close(input[0]);
        close(output[1]);
        toEngine = input[1];
        fromEngine = output[0];
    }
    ~EngineProcess() {
        closeInput();
        if (fromEngine >= 0) close(fromEngine);
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool started() const { return pid > 0; }

    // Sends one line (the newline is added).
    bool send(const std::string& line) {
        if (toEngine < 0) return false;
        const std::string text = line + "\n";
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(toEngine, text.data() + done, text.size() - done);
            if (n <= 0) return false;
            done += size_t(n);
        }
        return true;
    }
    // Sends the bytes as they stand.
    bool sendRaw(const std::string& text) {
        return toEngine >= 0 && ::write(toEngine, text.data(), text.size()) == ssize_t(text.size());
    }
    // End of the engine's standard input.
    void closeInput() {
        if (toEngine >= 0) close(toEngine);
        toEngine = -1;
    }

    // The next line of output; false at the end of output or after the time
    // limit.
    bool readLine(std::string& line, int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const size_t end = pending.find('\n');
            if (end != std::string::npos) {
                line = pending.substr(0, end);
                pending.erase(0, end + 1);
                transcript.push_back(line);
                return true;
            }
            if (fromEngine < 0 || outputEnded) return false;
            const long long left = millisecondsLeft(deadline);
            if (left <= 0) return false;
            pollfd request{fromEngine, POLLIN, 0};
            if (::poll(&request, 1, int(left)) <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fromEngine, buffer, sizeof buffer);
            if (n <= 0) {
                outputEnded = true;
                continue;
            }
            pending.append(buffer, size_t(n));
        }
    }

    // Reads until a line matches `pattern` (a regular expression searched in
    // the line); false after the time limit or at the end of output. The
    // lines read before it are in `before` when given.
    bool waitFor(const std::string& pattern, int timeoutMs, std::vector<std::string>* before = nullptr,
                 std::string* matched = nullptr) {
        const std::regex wanted(pattern);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string line;
        for (;;) {
            const long long left = millisecondsLeft(deadline);
            if (left <= 0 || !readLine(line, int(left))) return false;
            if (std::regex_search(line, wanted)) {
                if (matched) *matched = line;
                return true;
            }
            if (before) before->push_back(line);
        }
    }

    // Every line until the end of output (or the time limit).
    std::vector<std::string> readAll(int timeoutMs) {
        std::vector<std::string> lines;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string line;
        for (;;) {
            const long long left = millisecondsLeft(deadline);
            if (left <= 0 || !readLine(line, int(left))) break;
            lines.push_back(line);
        }
        return lines;
    }

    // The exit status, or -1 when the program has not ended within the time
    // limit (it is then killed). A program killed by a signal gives 128 plus
    // the signal number.
    int waitExit(int timeoutMs) {
        if (pid <= 0) return -1;
        if (exited) return exitStatus;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                exited = true;
                exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return exitStatus;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                exited = true;
                exitStatus = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    pid_t processId() const { return pid; }

    std::vector<std::string> transcript;  // every line read so far

private:
    pid_t pid = -1;
    int toEngine = -1;
    int fromEngine = -1;
    std::string pending;
    bool outputEnded = false;
    bool exited = false;
    int exitStatus = -1;
};

// Sends the lines, closes the input and collects the whole output; the exit
// status goes to `status`.
inline std::vector<std::string> runSession(const TempDir& dir, const std::vector<std::string>& lines,
                                           int& status, int timeoutMs = 20000,
                                           const std::vector<std::string>& args = {}) {
    EngineProcess engine(dir.path, args);
    for (const std::string& line : lines) engine.send(line);
    engine.closeInput();
    std::vector<std::string> output = engine.readAll(timeoutMs);
    status = engine.waitExit(timeoutMs);
    return output;
}

// Whether the lines match the patterns in this order (other lines may stand
// between them).
inline bool containsInOrder(const std::vector<std::string>& lines,
                            const std::vector<std::string>& patterns, std::string* missing = nullptr) {
    size_t next = 0;
    for (const std::string& pattern : patterns) {
        const std::regex wanted(pattern);
        while (next < lines.size() && !std::regex_search(lines[next], wanted)) next++;
        if (next == lines.size()) {
            if (missing) *missing = pattern;
            return false;
        }
        next++;
    }
    return true;
}

inline int countMatching(const std::vector<std::string>& lines, const std::string& pattern) {
    const std::regex wanted(pattern);
    int count = 0;
    for (const std::string& line : lines)
        if (std::regex_search(line, wanted)) count++;
    return count;
}

inline std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Checks the output of a finished dialogue: the `expected` patterns in this
// order, none of the `forbidden` ones, and a clean exit.
inline void expectDialogue(const std::vector<std::string>& output,
                           const std::vector<std::string>& expected,
                           const std::vector<std::string>& forbidden, int status) {
    std::string missing;
    EXPECT_TRUE(containsInOrder(output, expected, &missing))
        << "missing " << missing << " in\n" << joinLines(output);
    for (const std::string& pattern : forbidden)
        EXPECT_EQ(countMatching(output, pattern), 0) << pattern << " in\n" << joinLines(output);
    EXPECT_EQ(status, 0);
}

}  // namespace enginetest
