#pragma once
// The protocol in force from start-up until the first command chooses UCI or
// XBoard; it then replaces itself by the chosen interpreter.

#include "protocol/console_listener.h"
#include "protocol/protocol.h"

class ProtocolDetector : public Protocol {
public:
    ConsoleListener console;

    explicit ProtocolDetector(Engine& owner) : Protocol(owner) {}

    void start() override;
    int handleLine(Tokenizer& line) override;

    // Acts on the first command word: 1 to go on, 0 to end the program. After
    // "uci" or "xboard" this object has been deleted.
    int selectProtocol(Tokenizer& line);
};
