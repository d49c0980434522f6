// Whole UCI sessions: "uci" first, then the input's lines as commands.

#include "protocol_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return -1;
    fuzz::runSession("uci", data, size, fuzz::tameUciLine);
    return 0;
}
