// A std::vector whose storage starts on a 64-byte cache line, so the mixer's 32-byte loads and
// stores of whole groups of frames never straddle two lines (which costs two accesses). Plain
// data: any thread.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace audio
{
constexpr std::size_t kCacheLineBytes = 64;

template <typename T>
struct CacheLineAllocator
{
    using value_type = T;

    CacheLineAllocator() = default;
    template <typename U>
    CacheLineAllocator(const CacheLineAllocator<U>&) noexcept {}

    T* allocate(std::size_t count)
    {
        return static_cast<T*>(::operator new(count * sizeof(T), std::align_val_t(kCacheLineBytes)));
    }
    void deallocate(T* memory, std::size_t) noexcept { ::operator delete(memory, std::align_val_t(kCacheLineBytes)); }

    template <typename U>
    bool operator==(const CacheLineAllocator<U>&) const noexcept { return true; }
};

template <typename T>
using CacheLineVector = std::vector<T, CacheLineAllocator<T>>;
} // namespace audio
