#pragma once
// How the tests and the game referee start an engine build. A 32-bit x86
// build runs natively where the kernel runs it, and through the user-mode
// emulator qemu-i386 where the kernel refuses it ("Exec format error", as on
// kernels built without 32-bit support). VORLIX_EMULATE_X86 set to anything
// but 0 sends every x86 build through the emulator, so that the emulated way
// can be tried on any machine. No system-wide setting (binfmt) is involved:
// the emulator is started by name, with the program as its argument.
//
// Everything that allocates is done when the launch is built, before fork;
// the child only calls exec, so starting a program from a process with
// threads cannot deadlock on a lock held by a thread that does not exist in
// the child.

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace launch {

constexpr const char* emulator = "qemu-i386";
constexpr const char* forceVariable = "VORLIX_EMULATE_X86";

// Whether the file is an ELF executable for 32-bit x86.
inline bool isI386Program(const std::string& path) {
    unsigned char header[20] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
    const bool elf = std::memcmp(header, "\x7f" "ELF", 4) == 0;
    const bool class32 = header[4] == 1;
    const bool littleEndian = header[5] == 1;
    const unsigned machine = header[18] | unsigned(header[19]) << 8;
    return elf && class32 && littleEndian && machine == 3;  // EM_386
}

inline bool emulationForced() {
    const char* value = std::getenv(forceVariable);
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

enum class Way { Native, Emulated };

inline const char* wayName(Way way) { return way == Way::Native ? "native" : "emulated"; }

class ProgramLaunch {
public:
    ProgramLaunch(const std::string& program, const std::vector<std::string>& args)
        : i386(isI386Program(program)), forced(i386 && emulationForced()) {
        words.push_back(emulator);
        words.push_back(program);
        words.insert(words.end(), args.begin(), args.end());
        for (std::string& word : words) pointers.push_back(&word[0]);
        pointers.push_back(nullptr);
        const std::string ways = !i386 ? "" : forced ? " under " : " natively or under ";
        failure = "cannot start " + program + ways + (i386 ? emulator : "") + "\n";
    }
    // The argument vectors point into `words`.
    ProgramLaunch(const ProgramLaunch&) = delete;
    ProgramLaunch& operator=(const ProgramLaunch&) = delete;

    // In the child after fork: becomes the program, natively or under the
    // emulator; ends with exit status 127 when neither can be started. When
    // `report` is an open descriptor, the way taken is written to it ('N' or
    // 'E') before the exec, 'F' when the program could not be started (which
    // standard error is told too).
    [[noreturn]] void execInChild(int report = -1) const {
        if (!forced) {
            tell(report, 'N');
            execv(pointers[1], nativeArgv());
            if (!(i386 && errno == ENOEXEC)) fail(report);
        }
        tell(report, 'E');
        execvp(pointers[0], emulatedArgv());
        fail(report);
    }

private:
    char* const* nativeArgv() const { return pointers.data() + 1; }
    char* const* emulatedArgv() const { return pointers.data(); }
    static void tell(int report, char way) {
        if (report >= 0) (void)!::write(report, &way, 1);
    }
    [[noreturn]] void fail(int report) const {
        tell(report, 'F');
        (void)!::write(STDERR_FILENO, failure.data(), failure.size());
        _exit(127);
    }

    bool i386;
    bool forced;
    std::vector<std::string> words;  // the emulator, the program, its arguments
    std::vector<char*> pointers;
    std::string failure;
};

// The way `program` is started on this machine, found by starting it: the
// last way its child reported before a successful exec. The program is
// stopped right after the exec, so any program will do. False when it could
// not be started either way (the emulator missing, say); `way` then says
// which way failed.
inline bool probeWay(const std::string& program, Way& way) {
    const ProgramLaunch launcher(program, {});
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_RDWR);
        if (quiet >= 0) dup2(quiet, 0), dup2(quiet, 1), dup2(quiet, 2);
        close(report[0]);
        launcher.execInChild(report[1]);
    }
    close(report[1]);
    if (child < 0) {
        close(report[0]);
        return false;
    }
    // The pipe closes at the successful exec or at the child's exit.
    std::string steps;
    char step;
    for (ssize_t n; (n = ::read(report[0], &step, 1)) != 0;)
        if (n > 0) steps += step;
        else if (errno != EINTR) break;
    close(report[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const bool failed = !steps.empty() && steps.back() == 'F';
    if (failed) steps.pop_back();
    way = !steps.empty() && steps.back() == 'E' ? Way::Emulated : Way::Native;
    return !steps.empty() && !failed;
}

}  // namespace launch
