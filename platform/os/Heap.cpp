#include "platform/os/Heap.h"

#include <atomic>
#include <cstdlib>

#include <sys/mman.h>

namespace os
{
namespace
{
std::atomic<uint32_t> gInjectedHeapFailures{0};
}

void* HeapAllocate(size_t size)
{
    uint32_t pending = gInjectedHeapFailures.load(std::memory_order_relaxed);
    while (pending > 0)
    {
        if (gInjectedHeapFailures.compare_exchange_weak(pending, pending - 1, std::memory_order_relaxed))
            return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void HeapFree(void* block)
{
    std::free(block);
}

void AdviseLargePages(void* block, size_t size)
{
    madvise(block, size, MADV_HUGEPAGE);
}

void FailNextHeapAllocations(uint32_t count)
{
    gInjectedHeapFailures.store(count, std::memory_order_relaxed);
}
} // namespace os
