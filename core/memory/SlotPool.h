// SlotPool: the memory that rendering contexts and entities live in. The scene passes visit
// thousands of contexts a frame, and a move of every entity thousands of entities, in an order
// that has nothing to do with their heap addresses; taken from the ordinary heap among each other's
// objects, nearly every one sits on a page of its own and each visit misses the address
// translation cache as well as the data cache. The pool hands out slots of one size (rounded up to
// 64 bytes) one after another from 2 MB blocks that the system is asked to back with large pages,
// and keeps a free list per size. Blocks stay for the life of the process and serve later scenes.
// Any thread: contexts are made on the game thread and destroyed on the render thread, so every
// call takes the pool's lock.
#pragma once

#include <cstddef>
#include <new>

// g++ announces the address sanitizer with a macro, clang only as a feature.
#if defined(__SANITIZE_ADDRESS__)
#define NORVEX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NORVEX_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef NORVEX_ADDRESS_SANITIZER
#define NORVEX_ADDRESS_SANITIZER 0
#endif

class SlotPool
{
public:
    static constexpr size_t kBlockBytes = size_t(2) << 20;
    static constexpr size_t kSlotAlignment = 64;
    // Larger objects come from the ordinary heap, aligned as slots are.
    static constexpr size_t kLargestSlot = 4096;

    // A slot of at least `bytes` on a 64-byte boundary. Running out of memory ends the program, as
    // it does for the heap.
    static void* Allocate(size_t bytes);
    // Takes back a slot; `bytes` is the size it was allocated with.
    static void Free(void* slot, size_t bytes);

    // What a pooled kind's class operator new and delete call: a slot, or the ordinary heap where
    // the alignment asked for is larger than a slot's. Under the address sanitizer every object
    // comes from its heap, which holds freed memory back so that a use after destruction is caught;
    // a pool would hand the slot straight to the next object.
    static constexpr bool kPoolsObjects = !NORVEX_ADDRESS_SANITIZER;
    static void* AllocateObject(size_t bytes, std::align_val_t alignment);
    static void FreeObject(void* object, size_t bytes, std::align_val_t alignment);
};
