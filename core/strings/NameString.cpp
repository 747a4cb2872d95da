#include "core/strings/NameString.h"

#include "core/console/GameConsole.h"
#include "core/containers/Dynarray.h"
#include "platform/os/Sync.h"

#include <cstdlib>
#include <cstring>

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

// Byte-wise order of a block's text against a text of `length` bytes without 0 bytes (the same
// order strcmp gives).
int CompareText(NameBlock* block, const char* text, uint32_t length)
{
    const uint32_t common = block->length < length ? block->length : length;
    const int order = std::memcmp(Characters(block), text, common);
    if (order != 0)
        return order;
    return block->length < length ? -1 : (block->length > length ? 1 : 0);
}

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

class NameStringPool
{
public:
    // Returns the characters of the block holding the text, with one more reference.
    const char* Intern(const char* text, uint32_t length)
    {
        const os::ScopedLock lock(m_lock);
        const int32_t low = UpperBound(text, length);
        if (low > 0 && CompareText(m_blocks[low - 1], text, length) == 0)
        {
            NameBlock* const block = m_blocks[low - 1];
            ++block->references;
            return Characters(block);
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
        m_blocks.Insert(block, low);
        return Characters(block);
    }

    void AddReference(const char* text)
    {
        const os::ScopedLock lock(m_lock);
        ++BlockOf(text)->references;
    }

    void Release(const char* text)
    {
        const os::ScopedLock lock(m_lock);
        NameBlock* const block = BlockOf(text);
        if (--block->references != 0)
            return;
        m_byteTotal -= block->length + kBlockOverhead;
        // Texts are unique, so the block sits just before the upper bound of its own text.
        m_blocks.RemoveAt(UpperBound(text, block->length) - 1);
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
        return m_blocks.Count();
    }

private:
    // Index of the first block whose text sorts after the given one.
    int32_t UpperBound(const char* text, uint32_t length) const
    {
        int32_t low = 0;
        int32_t high = m_blocks.Count();
        while (low < high)
        {
            const int32_t middle = low + (high - low) / 2;
            if (CompareText(m_blocks[middle], text, length) <= 0)
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    }

    os::CriticalSection m_lock;
    Dynarray<NameBlock*> m_blocks;
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
