#pragma once
// The thread that reads the GUI's commands while the main thread searches,
// so that "stop", "ponderhit" and "isready" are heard during a search.

#include "foundation/thread.h"

class Engine;

class InputThread : public Thread {
public:
    Engine& engine;

    explicit InputThread(Engine& owner) : engine(owner) {}
    // run() uses the engine reference: join before the members go.
    ~InputThread() override { join(); }

    // Reads and executes lines until a command ends the program or the input
    // ends (which then acts as "quit").
    void run() override;
};
