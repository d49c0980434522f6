// Starts an engine build the way the tests start it, for the shell scripts:
//
//   vorlix_launch PROGRAM [ARGS...]   becomes PROGRAM, natively or emulated
//   vorlix_launch --way PROGRAM       prints "native" or "emulated": how
//                                     PROGRAM is started on this machine
//
// With --way the exit status is 1 when PROGRAM cannot be started either way.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "program_launch.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--way") == 0) {
        launch::Way way = launch::Way::Native;
        const bool started = launch::probeWay(argv[2], way);
        std::printf("%s\n", launch::wayName(way));
        if (!started)
            std::fprintf(stderr, "vorlix_launch: cannot start %s %s\n", argv[2],
                         way == launch::Way::Native ? "natively" : "under qemu-i386");
        return started ? 0 : 1;
    }
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: vorlix_launch PROGRAM [ARGS...] | vorlix_launch --way PROGRAM\n");
        return 2;
    }
    const launch::ProgramLaunch program(argv[1], std::vector<std::string>(argv + 2, argv + argc));
    program.execInChild();
}
