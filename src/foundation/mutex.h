#pragma once
// Owning wrappers of a POSIX mutex and condition variable. Each destroys its
// POSIX object only when it was initialised.

#include <pthread.h>

#include "foundation/cpu_relax.h"

class Mutex {
public:
    pthread_mutex_t mutex;
    bool initialised = false;

    Mutex() {
        pthread_mutex_init(&mutex, nullptr);
        initialised = true;
    }
    virtual ~Mutex() {
        if (initialised)
            pthread_mutex_destroy(&mutex);
    }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() { pthread_mutex_lock(&mutex); }
    void unlock() { pthread_mutex_unlock(&mutex); }
    // For locks that busy threads hold for a few hundred nanoseconds: tries
    // for a while before blocking, as going to sleep and being woken takes
    // far longer than the wait itself.
    void lockSpinning() {
        constexpr int SpinTries = 1000;
        for (int k = 0; k < SpinTries; k++) {
            if (pthread_mutex_trylock(&mutex) == 0) return;
            cpuRelax();
        }
        pthread_mutex_lock(&mutex);
    }
};

class Condition {
public:
    pthread_cond_t condition;
    bool initialised = false;

    Condition() {
        pthread_cond_init(&condition, nullptr);
        initialised = true;
    }
    virtual ~Condition() {
        if (initialised)
            pthread_cond_destroy(&condition);
    }
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    // Waits with `locked` held by the caller; may wake spuriously, so callers
    // wait in a loop on their own predicate.
    void wait(Mutex& locked) { pthread_cond_wait(&condition, &locked.mutex); }
    // Wakes one waiter.
    void signal() { pthread_cond_signal(&condition); }
};
