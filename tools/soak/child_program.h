#pragma once
// An engine program run as a GUI runs it: a child process in a directory of
// its own, talking through pipes on its standard input and output. Every read
// has a deadline, so a silent program shows up as a hang instead of stalling
// the series.

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <string>

namespace soak {

using SteadyClock = std::chrono::steady_clock;

class ChildProgram {
public:
    ChildProgram() = default;
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // Starts `program` with its working directory `directory`.
    bool start(const std::string& program, const std::string& directory);
    bool send(const std::string& line);

    enum class Read { Line, Timeout, Ended };
    // The next output line, waiting until `deadline` at most.
    Read readLine(std::string& line, SteadyClock::time_point deadline);

    // The exit status (128 + signal for a program killed by a signal), or -1
    // when the program has not ended within the time limit; it is then
    // killed.
    int waitExit(int timeoutMs);
    // Whether the program has ended already (without waiting).
    bool ended();
    int exitStatus() const { return status; }
    void kill();

    // The last lines exchanged, for problem reports.
    std::string recentLines() const;

private:
    void remember(const std::string& line);

    pid_t pid = -1;
    int toChild = -1;
    int fromChild = -1;
    std::string pending;
    bool outputEnded = false;
    bool exited = false;
    int status = -1;
    std::deque<std::string> recent;
};

}  // namespace soak
