#pragma once
// Base class of the engine's own threads (search helpers, input reader):
// subclasses override run, the creator starts the object right after making it.

#include <atomic>
#include <cstddef>
#include <pthread.h>

#include "foundation/mutex.h"

// Stack size of every thread the engine starts: the search recurses deeply.
constexpr size_t threadStackBytes = 4 * 1024 * 1024;

class Thread {
public:
    pthread_t handle{};         // 0 until started (thread 0 of the pool: the caller's own)
    pthread_attr_t attributes;  // used to start the thread, kept for its lifetime
    int id;                     // process-wide number, for log messages
    // Asks run to return; read by the running thread without a lock.
    std::atomic<bool> exitFlag{false};
    bool started = false;       // true once the thread was created successfully

    Thread();
    // Joins a started thread (see join). By the time this base destructor
    // runs, a subclass's members are already gone while its run() may still
    // be using them: every subclass whose run() touches its own members calls
    // join() in its own destructor, or its owner does before deleting it.
    virtual ~Thread();
    virtual void run() {}

    // Sets exitFlag and waits for a started thread to return from run(); the
    // owner must already have woken it if it sleeps. A thread that never
    // started is not waited for. Calling it again does nothing.
    void join();

    // Creates the POSIX thread running run(). On failure logs the error and
    // returns false, and `started` stays false. The stack size is a parameter
    // only so that the failure path can be exercised.
    bool start(size_t stackBytes = threadStackBytes);

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // The id the next thread object will get.
    static int nextId();

private:
    bool attributesInitialised = false;
};

// Entry function handed to pthread_create: runs the Thread object's run().
void* threadMain(void* thread);
