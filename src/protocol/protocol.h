#pragma once
// The common shape of the engine's command interpreters and of the listeners
// they contain.

#include "foundation/tokenizer.h"
#include "search/listener.h"

class Engine;

class Protocol {
public:
    Engine& engine;
    Engine& host;  // the same engine; settings and protocol state are read through it

    explicit Protocol(Engine& owner) : engine(owner), host(owner) {}
    virtual ~Protocol() {}

    // Installs the protocol's listener and sets the engine up for it.
    virtual void start() {}
    // Interprets one line: 1 to go on, 0 to end the program.
    virtual int handleLine(Tokenizer& line) {
        (void)line;
        return 1;
    }

    Protocol(const Protocol&) = delete;
    Protocol& operator=(const Protocol&) = delete;
};

// A listener that lives inside a protocol object.
class ProtocolListener : public SearchListener {
public:
    Protocol* protocol = nullptr;
    Engine* host = nullptr;

    // Makes this the engine's current listener, bound to `owner`.
    void bind(Protocol& owner);
};
