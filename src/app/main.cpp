#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "foundation/float_mode.h"

// Runs before every other constructor of the program: a popcount build
// started on a processor without the instruction would otherwise die on an
// illegal instruction somewhere without a word.
__attribute__((constructor(101))) static void checkProcessor() {
    if (!processorSupportsBuild()) {
        std::fprintf(stderr,
                     "This build of the engine needs a processor with the POPCNT instruction; "
                     "use a build with software popcount instead.\n");
        std::exit(1);
    }
}

int main(int argc, char** argv) {
    enableFlushToZero();
    return runProgram(argc, argv);
}
