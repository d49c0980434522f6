// Search limits: the poll of the main search thread, the hand-off of search
// requests to the main thread, and the reduced playing strength.

#include <poll.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "foundation/log.h"
#include "search/engine.h"

bool Engine::nodeLimitReached() {
    uint64_t total = 0;
    for (const SearchThread* thread : threadPool.threads)
        total += thread->nodes.load(std::memory_order_relaxed);
    return total >= nodeLimit;
}

int Engine::stopFromPoll() {
    threadPool.lock();
    stopState.store(Stopped, std::memory_order_relaxed);
    threadPool.unlock();
    return 0;
}

namespace {

bool standardInputReadable() {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(STDIN_FILENO, &readable);
    timeval noWait = {0, 0};
    return select(STDIN_FILENO + 1, &readable, nullptr, nullptr, &noWait) > 0 &&
           FD_ISSET(STDIN_FILENO, &readable);
}

}  // namespace

namespace {
constexpr uint32_t QuickCheckPolls = 1024;
}  // namespace

int Engine::poll() {
    if (stopState.load(std::memory_order_relaxed) != Running) return 0;
    // Load and store rather than an atomic increment: only the main thread
    // counts, and a ponder hit on the input thread merely forces a full check.
    const uint32_t count = pollCounter.load(std::memory_order_relaxed) + 1;
    pollCounter.store(count, std::memory_order_relaxed);
    const bool pondering = ponderSearch.load(std::memory_order_relaxed);

    if (count < pollInterval) {
        if (!pondering && limitedBy(Nodes) && nodeLimitReached()) return stopFromPoll();
        // A full check every QuickCheckPolls polls as well: pollInterval
        // nodes of the main thread take tens of milliseconds in the 32-bit
        // builds or on busy cores, which a fast clock cannot spare, nor a
        // GUI waiting for the answer to "stop" or "ponderhit" without the
        // input thread. The check costs a clock read (and a select).
        if (count % QuickCheckPolls != 0) return 1;
    }

    pollCounter.store(0, std::memory_order_relaxed);
    // Every limit given counts; an infinite search has none.
    if (!pondering) {
        if (limitedBy(Nodes) && nodeLimitReached()) return stopFromPoll();
        // Compared as doubles: truncating a long elapsed time to 32 bits
        // would overflow.
        if ((limitedBy(MoveTime) || limitedBy(Clock)) &&
            searchTimer.elapsed() >= double(timeBudget))
            return stopFromPoll();
    }

    if (inputThreadInUse || !standardInputReadable()) return 1;
    listener->pollInput();
    return stopState.load(std::memory_order_relaxed) == Running ? 1 : 0;
}

namespace {
constexpr double SlowDownMicros = 20000.0;
// Longest sleep between two looks at the stop state and the clock.
constexpr double WatchMicros = 1000.0;
}  // namespace

void Engine::slowDown(bool mainThread) {
    const double wakeAt = searchTimer.elapsed() + SlowDownMicros;
    for (;;) {
        // A ponder hit makes the time limit count from the next look on.
        const bool timed = !ponderSearch.load(std::memory_order_relaxed) &&
                           (limitedBy(MoveTime) || limitedBy(Clock));
        if (mainThread) {
            // The full check of every pollInterval-th node: the limits, and
            // the input when no input thread reads it.
            pollCounter.store(pollInterval, std::memory_order_relaxed);
            if (poll() == 0) return;
        } else {
            if (stopState.load(std::memory_order_relaxed) != Running) return;
            // The main thread may be waiting at a split point, where it does
            // not poll: whoever sees the time run out ends the search.
            if (timed && searchTimer.elapsed() >= double(timeBudget)) {
                stopFromPoll();
                return;
            }
        }
        const double now = searchTimer.elapsed();
        if (now >= wakeAt) return;
        double pause = std::min(wakeAt - now, WatchMicros);
        if (timed) pause = std::min(pause, double(timeBudget) - now);
        if (pause < 1.0) pause = 1.0;
        usleep(useconds_t(pause));
    }
}

void Engine::setStrength(int elo) {
    struct Anchor {
        int elo;
        int nodesPerSecond;
    };
    static const Anchor anchors[] = {{2000, 150000},  {2100, 250000},  {2200, 400000},
                                     {2300, 600000},  {2400, 800000},  {2500, 1000000},
                                     {2600, 2000000}, {2700, 6000000}};
    evalParams.elo = elo;
    if (elo > 2700) {
        evalParams.elo = 2700;
        evalParams.reducedStrength = false;
        return;
    }
    if (elo < 1000) {
        evalParams.reducedStrength = true;
        evalParams.elo = 1000;
        logger.log(LogInfo, "using reduced strength : %d ELO", 1000);
        npsLimit = 150000;
        return;
    }
    if (elo == 2700) {
        evalParams.reducedStrength = false;
        return;
    }
    evalParams.reducedStrength = true;
    logger.log(LogInfo, "using reduced strength : %d ELO", elo);
    if (elo < 2000) {
        npsLimit = 150000;
        return;
    }
    for (int k = 0; k + 1 < 8; k++) {
        const Anchor& low = anchors[k];
        const Anchor& high = anchors[k + 1];
        if (elo >= low.elo && elo < high.elo) {
            const int32_t rate = low.nodesPerSecond + (elo - low.elo) *
                                                          (high.nodesPerSecond - low.nodesPerSecond) /
                                                          (high.elo - low.elo);
            npsLimit = uint64_t(rate);
            return;
        }
    }
}

void Engine::startSearch(int ponder) {
    mutex.lock();
    ponderArg = ponder;
    searchRequested = true;
    // Armed here, under the mutex, not when the search starts: a stop sent
    // right after the request lands on this state and is kept. A request made
    // while a search is still in hand must not revive that search; the next
    // search then arms itself.
    requestArmed = !requestInService && !searching;
    if (requestArmed) stopState.store(Running, std::memory_order_relaxed);
    condition.signal();
    // Without an input thread the caller serves the request itself, unless it
    // is already inside a search (a request made from the search's own input
    // poll): then it is kept and served once that search has returned.
    const bool serveHere = settings.useInputThread == 0 && !requestInService && !searching;
    mutex.unlock();
    if (serveHere)
        while (runRequestedSearch(false)) {
        }
}

bool Engine::runRequestedSearch(bool wait) {
    mutex.lock();
    if (wait)
        while (!searchRequested && !quitRequested) condition.wait(mutex);
    if (!searchRequested || quitRequested) {
        mutex.unlock();
        return false;
    }
    const int ponder = ponderArg;
    const bool armed = requestArmed;
    searchRequested = false;
    requestInService = true;
    mutex.unlock();

    think(ponder, armed);

    mutex.lock();
    requestInService = false;
    mutex.unlock();
    return true;
}

bool Engine::serveSearchRequest() {
    runRequestedSearch(true);
    return !quitRequested;
}

void Engine::requestQuit() {
    mutex.lock();
    quitRequested = true;
    searchRequested = false;
    condition.signal();
    mutex.unlock();
}

bool Engine::searchActive() {
    mutex.lock();
    const bool active = searchRequested || requestInService || searching;
    mutex.unlock();
    return active;
}

void Engine::waitForEndingCommand() {
    auto waiting = [this] {
        if (stopState.load(std::memory_order_relaxed) != Running) return false;
        return limitMode == Infinite || ponderSearch.load(std::memory_order_relaxed);
    };
    if (protocolKind == 0) return;
    if (inputThreadInUse) {
        // The commands' thread changes the state first and wakes us after,
        // under the mutex: a change made before the wait starts is seen by
        // the test, one made after it comes with a wake-up.
        mutex.lock();
        while (waiting()) commandCondition.wait(mutex);
        mutex.unlock();
        return;
    }
    // This thread is the reader: it sleeps until standard input has a line
    // (or has ended, which stops an endless search) and dispatches it.
    while (waiting()) {
        pollfd request{STDIN_FILENO, POLLIN, 0};
        if (::poll(&request, 1, -1) < 0) {
            if (errno == EINTR) continue;
            logger.log(LogError, "standard input cannot be watched: the search ends");
            return;
        }
        listener->pollInput();
    }
}

void Engine::wakeSearch() {
    mutex.lock();
    commandCondition.signal();
    mutex.unlock();
}
