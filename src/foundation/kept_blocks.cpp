#include "foundation/kept_blocks.h"

#include <pthread.h>

#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define VORLIX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLIX_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef VORLIX_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

namespace {

// A kept block is poisoned under AddressSanitizer, so that a use of the
// object that lived in it before is still reported.
void poison(void* block, size_t bytes) {
#ifdef VORLIX_ADDRESS_SANITIZER
    ASAN_POISON_MEMORY_REGION(block, bytes);
#else
    (void)block;
    (void)bytes;
#endif
}

void unpoison(void* block, size_t bytes) {
#ifdef VORLIX_ADDRESS_SANITIZER
    ASAN_UNPOISON_MEMORY_REGION(block, bytes);
#else
    (void)block;
    (void)bytes;
#endif
}

struct KeptBlock {
    void* block;
    size_t bytes;
    size_t alignment;
};

constexpr int KeptBlockSlots = 16;

// Plain data with a static initialiser: usable by the destructors of other
// globals at exit, and the kept blocks stay reachable to the leak checker.
// The oldest block comes first.
pthread_mutex_t keptMutex = PTHREAD_MUTEX_INITIALIZER;
KeptBlock kept[KeptBlockSlots];
int keptCount = 0;
size_t keptBytes = 0;

// Takes entry i out, keeping the others in order; under keptMutex.
KeptBlock removeKept(int i) {
    const KeptBlock entry = kept[i];
    for (int k = i + 1; k < keptCount; k++) kept[k - 1] = kept[k];
    keptCount--;
    keptBytes -= entry.bytes;
    return entry;
}

void* takeKept(size_t bytes, size_t alignment) {
    void* block = nullptr;
    pthread_mutex_lock(&keptMutex);
    for (int i = keptCount - 1; i >= 0; i--) {
        if (kept[i].bytes == bytes && kept[i].alignment == alignment) {
            block = removeKept(i).block;
            break;
        }
    }
    pthread_mutex_unlock(&keptMutex);
    if (block != nullptr) unpoison(block, bytes);
    return block;
}

void freeBlock(const KeptBlock& entry) {
    unpoison(entry.block, entry.bytes);
    std::free(entry.block);
}

}  // namespace

void* takeBlock(size_t bytes, size_t alignment) {
    if (void* block = takeKept(bytes, alignment)) return block;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(bytes);
    return std::aligned_alloc(alignment, (bytes + alignment - 1) & ~(alignment - 1));
}

void* takeZeroedBlock(size_t bytes) {
    if (void* block = takeKept(bytes, alignof(std::max_align_t))) {
        std::memset(block, 0, bytes);
        return block;
    }
    return std::calloc(bytes, 1);
}

void giveBackBlock(void* block, size_t bytes, size_t alignment) {
    if (block == nullptr) return;
    const KeptBlock entry = {block, bytes, alignment};
    if (bytes > KeptBlockBytes) {
        freeBlock(entry);
        return;
    }
    // The blocks given back last are the likeliest to be asked for next: the
    // oldest make room.
    KeptBlock evicted[KeptBlockSlots];
    int evictedCount = 0;
    poison(block, bytes);
    pthread_mutex_lock(&keptMutex);
    while (keptCount == KeptBlockSlots || bytes > KeptBlockBytes - keptBytes)
        evicted[evictedCount++] = removeKept(0);
    kept[keptCount++] = entry;
    keptBytes += bytes;
    pthread_mutex_unlock(&keptMutex);
    for (int i = 0; i < evictedCount; i++) freeBlock(evicted[i]);
}
