// Interned names. Any thread may create, copy and release NameStrings; one handle must not be
// assigned on two threads at once. Reading the characters needs no lock: a held reference keeps
// the block alive and its text never changes.
//
// Every distinct text lives once in a global pool as a block: u32 reference count, u32 length, the
// characters and a 0 byte (length + 9 bytes). A NameString is one pointer to a block's characters,
// or null for the empty name; the pool never holds "". The pool finds blocks through a hash index
// of their texts and guards everything with one critical section, so interning and the last
// release take constant time and equal names compare by pointer.
#pragma once

#include <cstdint>
#include <memory>

class FileReader;
class FileWriter;

// Handle to an immutable, reference-counted text in the global name pool.
class NameString
{
public:
    // Stored lengths above this are treated as corrupt rather than allocated.
    static constexpr uint32_t kMaxStreamLength = 1u << 20;
    // Stored names up to this many characters are read without a heap buffer.
    static constexpr uint32_t kStackReadLength = 512;

    NameString() = default;
    NameString(const char* text);
    NameString(const NameString& other);
    NameString(NameString&& other) noexcept : m_text(other.m_text) { other.m_text = nullptr; }
    ~NameString();

    NameString& operator=(const NameString& other);
    NameString& operator=(NameString&& other) noexcept;

    // Null or "" makes the name empty.
    void Set(const char* text);

    const char* CStr() const { return m_text != nullptr ? m_text : ""; }
    uint32_t Length() const;
    bool IsEmpty() const { return m_text == nullptr; }
    uint32_t GetReferenceCount() const;

    // <0, 0, >0 in byte-wise order; the empty name sorts before every text.
    static int Compare(const NameString& a, const NameString& b);
    // Byte-wise equality; the empty name equals null and "".
    bool Equals(const char* text) const;
    // Equality ignoring the case of ASCII letters.
    bool EqualsNoCase(const NameString& other) const;
    bool operator==(const NameString& other) const { return m_text == other.m_text; }

    // Bytes held by the pool (length + 9 per live block) and its number of blocks.
    static uint32_t GetPoolByteTotal();
    static int32_t GetPoolBlockCount();

    // Sets the name from a stored text of `length` characters that `readChars(char* buffer,
    // uint32_t length) -> bool` fills. Length 0 makes the name empty. A length above
    // kMaxStreamLength or a failed read returns false and leaves the name as it was. The text ends
    // at its first 0 byte, as a terminated string would.
    template <typename ReadChars>
    bool SetFromStream(uint32_t length, ReadChars&& readChars);

    // Stream form: u32 length (byte-swapped with FileWriter::kByteSwapFlag), then the characters
    // without terminator; the empty name is a length of 0.
    bool Write(FileWriter& writer, uint32_t flags) const;
    // Reads the stream form; an empty stored name empties the handle. A length that is corrupt or
    // runs past the data is refused with a logged error and the name kept.
    bool Read(FileReader& reader);

private:
    void SetFromBuffer(const char* characters, uint32_t length);
    static void LogCorruptLength(uint32_t length);

    const char* m_text = nullptr;
};

// Name order for Dynarray::InsertSortedByName.
inline int CompareNames(const NameString& a, const NameString& b)
{
    return NameString::Compare(a, b);
}

template <typename ReadChars>
bool NameString::SetFromStream(uint32_t length, ReadChars&& readChars)
{
    if (length == 0)
    {
        *this = NameString();
        return true;
    }
    if (length > kMaxStreamLength)
    {
        LogCorruptLength(length);
        return false;
    }
    if (length <= kStackReadLength)
    {
        char buffer[kStackReadLength];
        if (!readChars(buffer, length))
            return false;
        SetFromBuffer(buffer, length);
        return true;
    }
    const std::unique_ptr<char[]> buffer(new char[length]);
    if (!readChars(buffer.get(), length))
        return false;
    SetFromBuffer(buffer.get(), length);
    return true;
}
