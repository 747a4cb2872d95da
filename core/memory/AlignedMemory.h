// Raw aligned blocks from the global allocator, for containers and pools. Any thread may call.
#pragma once

#include <cstddef>

namespace memory
{
// Every block of the global allocator is at least this aligned (vectors and matrices rely on it).
constexpr size_t kDefaultAlignment = 16;

// Never returns null: running out of memory is logged and ends the program. `alignment` must be a
// power of two; a smaller one than kDefaultAlignment is raised to it.
void* AllocateAligned(size_t bytes, size_t alignment = kDefaultAlignment);
// As AllocateAligned, but a block that cannot be had gives null, for callers that recover.
void* TryAllocateAligned(size_t bytes, size_t alignment = kDefaultAlignment);
void FreeAligned(void* block);
// Logs that `bytes` could not be had and ends the program, as AllocateAligned does.
[[noreturn]] void OutOfMemory(size_t bytes);
} // namespace memory
