#include "foundation/thread.h"

#include "foundation/log.h"

namespace {
// Numbers every thread object made during the run, input thread and search
// threads alike; recreating the pool continues the numbering.
std::atomic<int> threadCounter{0};
}  // namespace

Thread::Thread() : id(threadCounter.fetch_add(1, std::memory_order_relaxed)) {}

Thread::~Thread() {
    join();
    if (attributesInitialised)
        pthread_attr_destroy(&attributes);
}

void Thread::join() {
    if (!started)
        return;
    exitFlag.store(true, std::memory_order_relaxed);
    pthread_join(handle, nullptr);
    started = false;
}

int Thread::nextId() {
    return threadCounter.load(std::memory_order_relaxed);
}

bool Thread::start(size_t stackBytes) {
    if (started)
        return true;
    if (!attributesInitialised) {
        pthread_attr_init(&attributes);
        attributesInitialised = true;
    }
    size_t defaultStack = 0;
    if (pthread_attr_getstacksize(&attributes, &defaultStack) != 0)
        logger.log(LogWarning, "unable to get thread stack limit");
    else if (pthread_attr_setstacksize(&attributes, stackBytes) != 0)
        logger.log(LogWarning, "unable to set thread stack limit");

    const int error = pthread_create(&handle, &attributes, threadMain, this);
    if (error != 0) {
        logger.log(LogError, "Thread %d creation error : %d", id, error);
        handle = pthread_t{};
        return false;
    }
    started = true;
    return true;
}

void* threadMain(void* thread) {
    static_cast<Thread*>(thread)->run();
    return nullptr;
}
