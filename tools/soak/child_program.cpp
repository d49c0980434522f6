#include "child_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "launch/program_launch.h"

namespace soak {

ChildProgram::~ChildProgram() {
    if (toChild >= 0) close(toChild);
    if (fromChild >= 0) close(fromChild);
    kill();
}

bool ChildProgram::start(const std::string& program, const std::string& directory) {
    const launch::ProgramLaunch launcher(program, {});
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0) return false;
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]), close(input[1]);
        return false;
    }
    pid = fork();
    if (pid == 0) {
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        if (chdir(directory.c_str()) != 0) _exit(126);
        launcher.execInChild();
    }
    close(input[0]);
    close(output[1]);
    if (pid < 0) {
        close(input[1]), close(output[0]);
        return false;
    }
    toChild = input[1];
    fromChild = output[0];
    return true;
}

bool ChildProgram::send(const std::string& line) {
    remember("<< " + line);
    if (toChild < 0) return false;
    const std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(toChild, text.data() + done, text.size() - done);
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

ChildProgram::Read ChildProgram::readLine(std::string& line, SteadyClock::time_point deadline) {
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            remember(">> " + line);
            return Read::Line;
        }
        if (fromChild < 0 || outputEnded) return Read::Ended;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        if (left < 0) return Read::Timeout;
        pollfd request{fromChild, POLLIN, 0};
        const int ready = ::poll(&request, 1, int(left));
        if (ready == 0) {
            if (SteadyClock::now() >= deadline) return Read::Timeout;
            continue;
        }
        if (ready < 0) continue;  // interrupted
        char buffer[8192];
        const ssize_t n = ::read(fromChild, buffer, sizeof buffer);
        if (n <= 0) {
            outputEnded = true;
            continue;
        }
        pending.append(buffer, size_t(n));
    }
}

bool ChildProgram::ended() {
    if (exited) return true;
    if (pid <= 0) return true;
    int raw = 0;
    if (waitpid(pid, &raw, WNOHANG) == pid) {
        exited = true;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    return exited;
}

int ChildProgram::waitExit(int timeoutMs) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ended()) {
        if (SteadyClock::now() >= deadline) {
            kill();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return status;
}

void ChildProgram::kill() {
    if (pid > 0 && !exited) {
        ::kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        exited = true;
        status = -1;
    }
}

void ChildProgram::remember(const std::string& line) {
    recent.push_back(line.size() > 300 ? line.substr(0, 300) + "..." : line);
    if (recent.size() > 40) recent.pop_front();
}

std::string ChildProgram::recentLines() const {
    std::string text;
    for (const std::string& line : recent) text += "      " + line + "\n";
    return text;
}

}  // namespace soak
