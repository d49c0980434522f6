// Whole XBoard sessions: "xboard" first, then the input's lines as commands
// (moves, time controls, pondering, analysis, set-up and the debugging
// commands).

#include "protocol_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return -1;
    fuzz::runSession("xboard", data, size, fuzz::tameXBoardLine);
    return 0;
}
