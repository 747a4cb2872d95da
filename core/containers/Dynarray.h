// Growable arrays, used instead of standard containers. Owner thread only: there is no lock.
//
// Dynarray<T> holds trivially copyable elements (numbers, pointers, plain records) and moves them
// with memcpy; slots past the count are kept zeroed. DynarraySafe<T> holds elements with
// constructors and destructors (names, safe pointers, embedded objects): every slot of its block is
// constructed, and growth assigns the live elements into a new block before the old one is
// destroyed, so elements that others link to (safe pointers) are relinked, never copied bytewise.
// Both double their capacity from 2 and only give memory back through FreeStorage. Blocks come from
// the global allocator, 16-byte aligned.
#pragma once

#include "core/containers/ArrayNew.h"
#include "core/memory/AlignedMemory.h"

#include <cassert>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

// Byte-wise order of two names; InsertSortedByName finds other name types' overloads by ADL.
inline int CompareNames(const char* a, const char* b)
{
    return std::strcmp(a ? a : "", b ? b : "");
}

namespace detail
{
// The shared implementation; kConstructed selects the DynarraySafe element handling.
template <typename T, bool kConstructed>
class DynarrayCore
{
public:
    DynarrayCore() = default;
    DynarrayCore(const DynarrayCore& other) { AppendCopies(other); }
    DynarrayCore(DynarrayCore&& other) noexcept { Swap(other); }
    ~DynarrayCore() { FreeStorage(); }

    DynarrayCore& operator=(const DynarrayCore& other)
    {
        if (this != &other)
        {
            Clear();
            AppendCopies(other);
        }
        return *this;
    }
    DynarrayCore& operator=(DynarrayCore&& other) noexcept
    {
        if (this != &other)
        {
            FreeStorage();
            Swap(other);
        }
        return *this;
    }

    int32_t Count() const { return m_count; }
    int32_t Capacity() const { return m_capacity; }
    bool IsEmpty() const { return m_count == 0; }
    T* Data() { return m_data; }
    const T* Data() const { return m_data; }
    T& operator[](int32_t index)
    {
        assert(index >= 0 && index < m_count);
        return m_data[index];
    }
    const T& operator[](int32_t index) const
    {
        assert(index >= 0 && index < m_count);
        return m_data[index];
    }
    T* begin() { return m_data; }
    T* end() { return m_data + m_count; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_count; }

    // Appends and returns the new index.
    int32_t Add(const T& value)
    {
        if (m_count == m_capacity && IsInside(value))
        {
            const T copy(value);
            return Add(copy);
        }
        if (m_count == m_capacity)
            Grow();
        m_data[m_count] = value;
        return m_count++;
    }

    // Inserts before `index` (index == Count() appends); -1 for an index outside [0, Count()].
    int32_t Insert(const T& value, int32_t index)
    {
        assert(index >= 0 && index <= m_count);
        if (index < 0 || index > m_count)
            return -1;
        if (IsInside(value))
        {
            const T copy(value);
            return Insert(copy, index);
        }
        if (m_count == m_capacity)
            Grow();
        MoveUp(index, m_count - index);
        m_data[index] = value;
        ++m_count;
        return index;
    }

    // Inserts after every element whose name sorts before or equal to the object's, so equal names
    // keep their insertion order. Elements are pointers to objects with GetName().
    int32_t InsertSortedByName(const T& object)
    {
        int32_t low = 0;
        int32_t high = m_count;
        while (low < high)
        {
            const int32_t middle = low + (high - low) / 2;
            if (CompareNames(m_data[middle]->GetName(), object->GetName()) <= 0)
                low = middle + 1;
            else
                high = middle;
        }
        return Insert(object, low);
    }

    void RemoveAt(int32_t index)
    {
        assert(index >= 0 && index < m_count);
        if (index < 0 || index >= m_count)
            return;
        MoveDown(index, index + 1, m_count - index - 1);
        --m_count;
        ResetSlots(m_count, 1);
    }

    // Removes every element equal to `value` in one pass; the rest keep their order.
    void RemoveValue(const T& value)
    {
        if (IsInside(value))
        {
            const T copy(value);
            RemoveValue(copy);
            return;
        }
        int32_t kept = 0;
        for (int32_t i = 0; i < m_count; ++i)
        {
            if (m_data[i] == value)
                continue;
            if (kept != i)
                m_data[kept] = std::move(m_data[i]);
            ++kept;
        }
        ResetSlots(kept, m_count - kept);
        m_count = kept;
    }

    // Removes the elements first..last inclusive; the freed tail slots are reset.
    void RemoveRange(int32_t first, int32_t last)
    {
        assert(first >= 0 && first <= last && last < m_count);
        if (first < 0 || first > last || last >= m_count)
            return;
        const int32_t removed = last - first + 1;
        MoveDown(first, last + 1, m_count - last - 1);
        m_count -= removed;
        ResetSlots(m_count, removed);
    }

    // Grows the count to n (capacity exactly n if it was smaller); a smaller n changes nothing.
    void Resize(int32_t count)
    {
        if (count <= m_count)
            return;
        if (m_capacity < count)
            SetCapacity(count);
        m_count = count;
    }

    // Empties the array and keeps its block.
    void Clear()
    {
        ResetSlots(0, m_count);
        m_count = 0;
    }

    // Reallocates to exactly `capacity` slots (never fewer than the count).
    void SetCapacity(int32_t capacity)
    {
        assert(capacity >= m_count);
        if (capacity < m_count)
            capacity = m_count;
        if (capacity == m_capacity)
            return;
        T* const old = m_data;
        T* const block = Allocate(capacity);
        if constexpr (kConstructed)
        {
            // Assignment lets elements relink or re-reference; the old block is destroyed after.
            for (int32_t i = 0; i < m_count; ++i)
                block[i] = std::move(old[i]);
            ArrayDelete(old);
        }
        else
        {
            if (m_count > 0)
                std::memcpy(static_cast<void*>(block), old, size_t(m_count) * sizeof(T));
            memory::FreeAligned(old);
        }
        m_data = block;
        m_capacity = capacity;
    }

    // Frees the block; the array is empty with no capacity afterwards.
    void FreeStorage()
    {
        if constexpr (kConstructed)
            ArrayDelete(m_data);
        else
            memory::FreeAligned(m_data);
        m_data = nullptr;
        m_count = 0;
        m_capacity = 0;
    }

protected:
    // Sets `count` slots from `first` back to the spare state (zero, or default-constructed).
    void ResetSlots(int32_t first, int32_t count)
    {
        if (count <= 0)
            return;
        if constexpr (kConstructed)
        {
            for (int32_t i = first; i < first + count; ++i)
                m_data[i] = T();
        }
        else
        {
            std::memset(static_cast<void*>(m_data + first), 0, size_t(count) * sizeof(T));
        }
    }

    // Makes room for `count` more elements, growing to exactly the needed capacity.
    void Reserve(int32_t count)
    {
        const int64_t needed = int64_t(m_count) + count;
        // A count past INT32_MAX would wrap negative and skip the growth it needs.
        if (needed > INT32_MAX)
            memory::OutOfMemory(size_t(needed) * sizeof(T));
        if (m_capacity < needed)
            SetCapacity(int32_t(needed));
    }

    int32_t m_count = 0;
    int32_t m_capacity = 0;
    T* m_data = nullptr;

private:
    static T* Allocate(int32_t capacity)
    {
        if (capacity == 0)
            return nullptr;
        if constexpr (kConstructed)
        {
            return ArrayNew<T>(capacity);
        }
        else
        {
            static_assert(std::is_trivially_copyable_v<T>, "use DynarraySafe for elements with constructors");
            void* block = memory::AllocateAligned(size_t(capacity) * sizeof(T), detail::ArrayNewAlignment<T>());
            std::memset(block, 0, size_t(capacity) * sizeof(T));
            return static_cast<T*>(block);
        }
    }

    void Grow()
    {
        // A full array of INT32_MAX elements cannot take one more without writing past its block.
        if (m_capacity == INT32_MAX)
            memory::OutOfMemory((size_t(INT32_MAX) + 1) * sizeof(T));
        const int64_t doubled = m_capacity == 0 ? 2 : int64_t(m_capacity) * 2;
        SetCapacity(doubled > INT32_MAX ? INT32_MAX : int32_t(doubled));
    }

    // A value taken by reference from this very array must be copied before the array changes.
    bool IsInside(const T& value) const
    {
        const T* const address = std::addressof(value);
        return m_data != nullptr && address >= m_data && address < m_data + m_capacity;
    }

    // Moves `count` elements from `index` up by one slot (overlapping, so backwards).
    void MoveUp(int32_t index, int32_t count)
    {
        if (count <= 0)
            return;
        if constexpr (kConstructed)
        {
            for (int32_t i = index + count; i > index; --i)
                m_data[i] = std::move(m_data[i - 1]);
        }
        else
        {
            std::memmove(static_cast<void*>(m_data + index + 1), m_data + index, size_t(count) * sizeof(T));
        }
    }

    // Moves `count` elements from `source` down to `target` (target < source).
    void MoveDown(int32_t target, int32_t source, int32_t count)
    {
        if (count <= 0)
            return;
        if constexpr (kConstructed)
        {
            for (int32_t i = 0; i < count; ++i)
                m_data[target + i] = std::move(m_data[source + i]);
        }
        else
        {
            std::memmove(static_cast<void*>(m_data + target), m_data + source, size_t(count) * sizeof(T));
        }
    }

    void AppendCopies(const DynarrayCore& other)
    {
        Reserve(other.m_count);
        for (int32_t i = 0; i < other.m_count; ++i)
            m_data[m_count + i] = other.m_data[i];
        m_count += other.m_count;
    }

    void Swap(DynarrayCore& other) noexcept
    {
        std::swap(m_count, other.m_count);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_data, other.m_data);
    }
};
} // namespace detail

// Growable array of trivially copyable elements.
template <typename T>
class Dynarray : public detail::DynarrayCore<T, false>
{
    using Base = detail::DynarrayCore<T, false>;

public:
    // Appends n zeroed elements and returns the index of the first; n < 1 returns the count.
    int32_t AddZeroed(int32_t count)
    {
        const int32_t first = this->m_count;
        if (count < 1)
            return first;
        this->Reserve(count);
        this->m_count += count;
        this->ResetSlots(first, count);
        return first;
    }

    // For arrays of owned pointers: deletes every element, then frees the block.
    void DeleteAllPointers()
        requires std::is_pointer_v<T>
    {
        for (T element : *this)
            delete element;
        Base::FreeStorage();
    }
};

// Growable array of elements with constructors and destructors; every slot is constructed.
template <typename T>
class DynarraySafe : public detail::DynarrayCore<T, true>
{
public:
    // Sets `count` elements from `first` to the default value (the empty name for names).
    void ClearRange(int32_t first, int32_t count)
    {
        assert(first >= 0 && count >= 0 && first + count <= this->m_count);
        if (first < 0 || count < 0 || first + count > this->m_count)
            return;
        this->ResetSlots(first, count);
    }
};
