#pragma once
// Large blocks that the engine frees and soon asks for again in the same size.
// Every protocol handshake builds the transposition table and the search
// threads' records afresh, and so does every engine that a process starts
// after another (the unit tests, the fuzz targets run thousands of sessions);
// pages the process already holds are cleared far faster than fresh pages are
// mapped. So the blocks given back last are kept, within KeptBlockBytes in
// all (the oldest are freed to make room), and handed out again for the next
// request of the same size and alignment. Every block is freed with
// std::free.

#include <cstddef>
#include <new>

constexpr size_t KeptBlockBytes = size_t(16) << 20;

// A block of `bytes` aligned to `alignment` (a power of two), its contents
// unspecified; nullptr when the system has no memory for it.
void* takeBlock(size_t bytes, size_t alignment);

// A zero-filled block with the alignment of std::malloc; nullptr when the
// system has no memory for it. A block that is not kept comes from
// std::calloc, whose fresh pages cost nothing until they are used.
void* takeZeroedBlock(size_t bytes);

// Gives back a block of `bytes` that guarantees `alignment`: from takeBlock,
// takeZeroedBlock or the std::malloc family (alignment
// alignof(std::max_align_t) then). Kept or freed; nullptr is ignored.
void giveBackBlock(void* block, size_t bytes, size_t alignment);

// The class-wide operator new and delete of a type whose objects are kept
// blocks: `static void* operator new(size_t bytes) { return newKept<T>(bytes); }`
// and the same with deleteKept.
template <class T>
void* newKept(size_t bytes) {
    void* block = takeBlock(bytes, alignof(T));
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

template <class T>
void deleteKept(void* block, size_t bytes) {
    giveBackBlock(block, bytes, alignof(T));
}
