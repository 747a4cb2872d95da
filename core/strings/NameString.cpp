#include "core/strings/NameString.h"

#include "core/console/GameConsole.h"
#include "platform/os/Sync.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
// Block header; the characters and their 0 byte follow it.
struct NameBlock
{
    uint32_t references;
    uint32_t length;
};
static_assert(sizeof(NameBlock) == 8);

constexpr uint32_t kBlockOverhead = sizeof(NameBlock) + 1;

char* Characters(NameBlock* block)
{
    return reinterpret_cast<char*>(block + 1);
}

NameBlock* BlockOf(const char* text)
{
    return reinterpret_cast<NameBlock*>(const_cast<char*>(text)) - 1;
}

bool SameText(const NameBlock* block, const char* text, uint32_t length)
{
    return block->length == length && std::memcmp(block + 1, text, length) == 0;
}

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// 64-bit multiply-mix hash of a text, eight bytes at a time.
uint64_t HashText(const char* text, uint32_t length)
{
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t hash = uint64_t(length) * kMultiplier;
    uint32_t offset = 0;
    for (; offset + 8 <= length; offset += 8)
    {
        uint64_t word = 0;
        std::memcpy(&word, text + offset, 8);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    }
    if (offset < length)
    {
        uint64_t word = 0;
        std::memcpy(&word, text + offset, length - offset);
        hash = (hash ^ word) * kMultiplier;
    }
    hash ^= hash >> 32;
    hash *= kMultiplier;
    return hash ^ (hash >> 29);
}

// The global pool: blocks indexed by an open-addressing hash table (linear probing, at most half
// full, removal by shifting the following entries back), so interning and the last release are
// O(1) under the one lock.
class NameStringPool
{
public:
    NameStringPool() : m_slots(kInitialSlots) {}

    // Returns the characters of the block holding the text, with one more reference.
    const char* Intern(const char* text, uint32_t length)
    {
        const uint64_t hash = HashText(text, length);
        const os::ScopedLock lock(m_lock);
        const size_t mask = m_slots.size() - 1;
        size_t index = size_t(hash) & mask;
        for (; m_slots[index].block != nullptr; index = (index + 1) & mask)
        {
            Slot& slot = m_slots[index];
            if (slot.hash == hash && SameText(slot.block, text, length))
            {
                ++slot.block->references;
                return Characters(slot.block);
            }
        }
        NameBlock* const block = static_cast<NameBlock*>(std::malloc(size_t(length) + kBlockOverhead));
        if (block == nullptr)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Out of memory interning a name of %u characters", length);
            std::abort();
        }
        block->references = 1;
        block->length = length;
        std::memcpy(Characters(block), text, length);
        Characters(block)[length] = 0;
        m_byteTotal += length + kBlockOverhead;
        m_slots[index] = Slot{block, hash};
        if (++m_count * 2 > m_slots.size())
            Grow();
        return Characters(block);
    }

    void AddReference(const char* text)
    {
        const os::ScopedLock lock(m_lock);
        ++BlockOf(text)->references;
    }

    void Release(const char* text)
    {
        NameBlock* const block = BlockOf(text);
        {
            const os::ScopedLock lock(m_lock);
            if (--block->references != 0)
                return;
            m_byteTotal -= block->length + kBlockOverhead;
            RemoveSlot(FindSlot(block));
        }
        std::free(block);
    }

    uint32_t ReferenceCount(const char* text)
    {
        const os::ScopedLock lock(m_lock);
        return BlockOf(text)->references;
    }

    uint32_t ByteTotal()
    {
        const os::ScopedLock lock(m_lock);
        return m_byteTotal;
    }

    int32_t BlockCount()
    {
        const os::ScopedLock lock(m_lock);
        return int32_t(m_count);
    }

private:
    struct Slot
    {
        NameBlock* block = nullptr;
        uint64_t hash = 0;
    };
    static constexpr size_t kInitialSlots = 1024;

    // A live block is always in the table, so the probe ends at it.
    size_t FindSlot(const NameBlock* block) const
    {
        const size_t mask = m_slots.size() - 1;
        size_t index = size_t(HashText(reinterpret_cast<const char*>(block + 1), block->length)) & mask;
        while (m_slots[index].block != block)
            index = (index + 1) & mask;
        return index;
    }

    // Moves back every following entry whose probe passed the freed slot, so no probe ends early.
    void RemoveSlot(size_t hole)
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t index = (hole + 1) & mask; m_slots[index].block != nullptr; index = (index + 1) & mask)
        {
            const size_t home = size_t(m_slots[index].hash) & mask;
            // The entry may fill the hole when its home is not inside (hole, index].
            if (((index - home) & mask) >= ((index - hole) & mask))
            {
                m_slots[hole] = m_slots[index];
                hole = index;
            }
        }
        m_slots[hole] = Slot{};
        --m_count;
    }

    void Grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old)
        {
            if (slot.block == nullptr)
                continue;
            size_t index = size_t(slot.hash) & mask;
            while (m_slots[index].block != nullptr)
                index = (index + 1) & mask;
            m_slots[index] = slot;
        }
    }

    os::CriticalSection m_lock;
    std::vector<Slot> m_slots;
    size_t m_count = 0;
    uint32_t m_byteTotal = 0;
};

// Never destroyed: names in static objects may be released after every other static is gone.
NameStringPool& Pool()
{
    static NameStringPool* const pool = new NameStringPool;
    return *pool;
}

// Interns the text (up to its first 0 byte); null for the empty text.
const char* InternText(const char* text, size_t length)
{
    if (length == 0)
        return nullptr;
    if (length > UINT32_MAX - kBlockOverhead)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Name of %zu characters is too long to intern", length);
        return nullptr;
    }
    return Pool().Intern(text, uint32_t(length));
}
} // namespace

NameString::NameString(const char* text)
    : m_text(text != nullptr ? InternText(text, std::strlen(text)) : nullptr)
{
}

NameString::NameString(const NameString& other) : m_text(other.m_text)
{
    if (m_text != nullptr)
        Pool().AddReference(m_text);
}

NameString::~NameString()
{
    if (m_text != nullptr)
        Pool().Release(m_text);
}

NameString& NameString::operator=(const NameString& other)
{
    if (m_text == other.m_text)
        return *this;
    if (other.m_text != nullptr)
        Pool().AddReference(other.m_text);
    if (m_text != nullptr)
        Pool().Release(m_text);
    m_text = other.m_text;
    return *this;
}

NameString& NameString::operator=(NameString&& other) noexcept
{
    if (this != &other)
    {
        if (m_text != nullptr)
            Pool().Release(m_text);
        m_text = other.m_text;
        other.m_text = nullptr;
    }
    return *this;
}

void NameString::Set(const char* text)
{
    // Intern before releasing: the text may be this name's own characters.
    const char* const interned = text != nullptr ? InternText(text, std::strlen(text)) : nullptr;
    if (m_text != nullptr)
        Pool().Release(m_text);
    m_text = interned;
}

void NameString::SetFromBuffer(const char* characters, uint32_t length)
{
    const char* const interned = InternText(characters, strnlen(characters, length));
    if (m_text != nullptr)
        Pool().Release(m_text);
    m_text = interned;
}

void NameString::LogCorruptLength(uint32_t length)
{
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Corrupt name length %u (at most %u characters)", length, kMaxStreamLength);
}

uint32_t NameString::Length() const
{
    return m_text != nullptr ? BlockOf(m_text)->length : 0;
}

uint32_t NameString::GetReferenceCount() const
{
    return m_text != nullptr ? Pool().ReferenceCount(m_text) : 0;
}

int NameString::Compare(const NameString& a, const NameString& b)
{
    if (a.m_text == b.m_text)
        return 0;
    if (a.m_text == nullptr)
        return -1;
    if (b.m_text == nullptr)
        return 1;
    return std::strcmp(a.m_text, b.m_text);
}

bool NameString::Equals(const char* text) const
{
    if (text == nullptr || text[0] == 0)
        return m_text == nullptr;
    return m_text != nullptr && std::strcmp(m_text, text) == 0;
}

bool NameString::EqualsNoCase(const NameString& other) const
{
    if (m_text == other.m_text)
        return true;
    if (m_text == nullptr || other.m_text == nullptr)
        return false;
    const char* a = m_text;
    const char* b = other.m_text;
    while (*a != 0 && FoldAscii(*a) == FoldAscii(*b))
    {
        ++a;
        ++b;
    }
    return FoldAscii(*a) == FoldAscii(*b);
}

uint32_t NameString::GetPoolByteTotal()
{
    return Pool().ByteTotal();
}

int32_t NameString::GetPoolBlockCount()
{
    return Pool().BlockCount();
}
