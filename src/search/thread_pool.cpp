#include "search/thread_pool.h"

#include "search/engine.h"

SearchThread::SearchThread(int32_t threadIndex, ThreadPool* owner, Engine* owningEngine)
    : index(threadIndex),
      bit(uint64_t(1) << threadIndex),
      pool(owner),
      engine(owningEngine),
      evalParams(owningEngine ? &owningEngine->evalParams : nullptr),
      table(owningEngine ? &owningEngine->transpositionTable : nullptr) {}

SearchThread::~SearchThread() = default;

void SearchThread::run() { idleLoop(); }

void SearchThread::idleLoop() {
    mutex.lock();
    while (!exitFlag.load(std::memory_order_relaxed)) condition.wait(mutex);
    mutex.unlock();
}

void ThreadPool::setThreadCount(int count) {
    threadCount = count <= 0 ? 1 : count > MaxSearchThreads ? MaxSearchThreads : count;
    createThreads();
}

void ThreadPool::createThreads() {
    if (!threads.empty()) destroyThreads();
    threads.reserve(size_t(threadCount));

    mainThread = new SearchThread(0, this, engine);
    mainThread->handle = pthread_self();
    threads.push_back(mainThread);

    for (int i = 1; i < threadCount; i++) {
        SearchThread* thread = new SearchThread(int32_t(threads.size()), this, engine);
        if (thread->start()) {
            threads.push_back(thread);
        } else {
            // The failure is logged by start; a thread that does not run must
            // never be booked, so it does not join the pool.
            delete thread;
        }
    }
}

void ThreadPool::destroyThreads() {
    for (size_t i = 0; i < threads.size(); i++) {
        SearchThread* thread = threads[i];
        if (i == 0) {
            thread->handle = pthread_t{};  // the calling thread: never joined
        } else if (thread->started) {
            thread->mutex.lock();
            thread->exitFlag.store(true, std::memory_order_relaxed);
            thread->condition.signal();
            thread->mutex.unlock();
            pthread_join(thread->handle, nullptr);
            thread->handle = pthread_t{};
            thread->started = false;
        }
        delete thread;
    }
    mainThread = nullptr;
    threads.clear();
}
