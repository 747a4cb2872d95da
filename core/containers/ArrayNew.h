// Arrays whose length travels with them: a u32 element count sits in a header in front of the
// elements, so the array can be destroyed from its element pointer alone. Owner thread only.
#pragma once

#include "core/memory/AlignedMemory.h"

#include <cstdint>
#include <memory>
#include <new>

namespace detail
{
template <typename T>
constexpr size_t ArrayNewAlignment()
{
    return alignof(T) > memory::kDefaultAlignment ? alignof(T) : memory::kDefaultAlignment;
}

// The header keeps the elements on the same alignment as the block.
template <typename T>
constexpr size_t ArrayNewHeaderBytes()
{
    return ArrayNewAlignment<T>();
}
} // namespace detail

// Allocates and default-constructs `count` elements; null when count < 1.
template <typename T>
T* ArrayNew(int32_t count)
{
    if (count < 1)
        return nullptr;
    const size_t header = detail::ArrayNewHeaderBytes<T>();
    char* block = static_cast<char*>(
        memory::AllocateAligned(header + size_t(count) * sizeof(T), detail::ArrayNewAlignment<T>()));
    *reinterpret_cast<uint32_t*>(block) = uint32_t(count);
    T* elements = reinterpret_cast<T*>(block + header);
    std::uninitialized_value_construct_n(elements, size_t(count));
    return elements;
}

// Number of elements of an array from ArrayNew (0 for null).
template <typename T>
uint32_t ArrayCount(const T* elements)
{
    if (elements == nullptr)
        return 0;
    return *reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(elements) - detail::ArrayNewHeaderBytes<T>());
}

// Destroys every element and frees the block; null is ignored.
template <typename T>
void ArrayDelete(T* elements)
{
    if (elements == nullptr)
        return;
    std::destroy_n(elements, ArrayCount(elements));
    memory::FreeAligned(reinterpret_cast<char*>(elements) - detail::ArrayNewHeaderBytes<T>());
}
