#include <cstdio>

#include "foundation/build_config.h"
#include "foundation/float_mode.h"

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    enableFlushToZero();
    std::printf("%s %s %s\n", build::engineName, build::engineVersion, build::wordSizeText);
    std::printf("%s", build::popcountText);
    return 0;
}
