// The XBoard dialogue is not part of this build yet: "xboard" as the first
// command is then an unknown protocol. The XBoard interpreter replaces this
// file with its own start.

#include "protocol/protocol_detector.h"

bool startXBoardProtocol(Engine& engine) {
    (void)engine;
    return false;
}
