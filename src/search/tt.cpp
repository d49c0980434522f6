#include "search/tt.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "foundation/build_config.h"
#include "foundation/kept_blocks.h"
#include "foundation/log.h"

namespace {

constexpr uint64_t entriesPerMb = (uint64_t(1) << 20) / sizeof(TTEntry);

}  // namespace

uint64_t TranspositionTable::roundedMegabytes(int megabytes) {
    if (megabytes <= 1) return 1;
    uint64_t wanted = uint64_t(megabytes);
    uint64_t size = 1;
    while (size < wanted && size <= 16384) size *= 2;
    return size >= wanted ? size : 1;
}

bool TranspositionTable::representable(uint64_t megabytes, uint64_t sizeLimit) {
    if (megabytes == 0 || megabytes > (uint64_t(1) << 32) / entriesPerMb) return false;
    uint64_t count = megabytes * entriesPerMb;
    return count <= UINT32_MAX && count * sizeof(TTEntry) + 63 <= sizeLimit;
}

bool TranspositionTable::resize(int megabytes) { return resizeWith(megabytes, takeZeroedBlock); }

bool TranspositionTable::resizeWith(int megabytes, void* (*allocateZeroed)(size_t bytes)) {
    release();
    age = 0;
    logger.log(LogInfo, "Init main hash table : %d Mb", megabytes);

    // Sizes above the build's cap, sizes this build cannot address and sizes
    // the system refuses are halved, so that the memory held is never smaller
    // than the entry count says.
    uint64_t wanted = roundedMegabytes(megabytes);
    uint64_t size = wanted;
    while (size > uint64_t(build::maxHashMb)) size /= 2;
    for (;;) {
        if (representable(size, SIZE_MAX)) {
            entryCount = uint32_t(size * entriesPerMb);
            indexMask = entryCount - 4;
            memory = allocateZeroed(allocationBytes());
            if (memory != nullptr) break;
        }
        if (size <= 1) {
            entryCount = uint32_t(entriesPerMb);
            indexMask = entryCount - 4;
            logger.log(LogError, "Hash table : out of memory");
            std::fputs("Hash table : out of memory\n", stderr);
            return false;
        }
        size /= 2;
    }
    if (size != wanted) logger.log(LogWarning, "Hash table : using %u Mb", unsigned(size));

    uintptr_t aligned = (reinterpret_cast<uintptr_t>(memory) + 63) & ~uintptr_t(63);
    entries = reinterpret_cast<TTEntry*>(aligned);
    return true;
}

void TranspositionTable::clear() {
    age = 0;
    if (memory != nullptr) std::memset(memory, 0, allocationBytes());
}

void TranspositionTable::release() {
    // Kept for the next table of this size: the protocol handshake and every
    // new engine make one again.
    giveBackBlock(memory, allocationBytes(), alignof(std::max_align_t));
    memory = nullptr;
    entries = nullptr;
}
