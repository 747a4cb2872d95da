// The process heap: allocations that callers free by pointer alone. Tests may make the next
// allocations fail to reach the out-of-memory roads. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os
{
// Null when the memory is not available (or a failure was injected).
void* HeapAllocate(size_t size);
void HeapFree(void* block);
// Asks the system to back an aligned block with large pages, so that walks over many objects in it
// miss fewer address translations. Only advice: nothing changes where the system cannot.
void AdviseLargePages(void* block, size_t size);

// Tests: the next `count` calls of HeapAllocate answer null.
void FailNextHeapAllocations(uint32_t count);
} // namespace os
