// 16-byte identity of entities, templates and other persistent objects. Plain value; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// A GUID whose byte 15 is the most significant (ordered and printed first).
struct SimpleGUID
{
    uint8_t bytes[16] = {};

    static constexpr size_t kTextLength = 36;

    void Clear();
    bool IsNull() const;

    // Byte 15 down to byte 0; the difference (a - b) of the first unequal pair, 0 when equal.
    static int Compare(const SimpleGUID& a, const SimpleGUID& b);

    // "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" from byte 15 down to 0, cut to `size`.
    void ToString(char* buffer, size_t size) const;
    // The same text in one shared 64-byte buffer, overwritten by the next call (main thread only).
    const char* ToStringUnsafe() const;
    // Parses the text form; false, with the GUID unchanged, unless all 16 fields parse.
    bool FromString(const char* text);

    // Random GUID with the version and variant bits set; needs the generator seeded (Core::Init).
    void Generate();

    bool operator==(const SimpleGUID& other) const;
    bool operator!=(const SimpleGUID& other) const { return !(*this == other); }
    bool operator<(const SimpleGUID& other) const { return Compare(*this, other) < 0; }
};

// 8 upper-case hex digits per word, least significant nibble first, then a 0 byte:
// `text` must hold count * 8 + 1 bytes.
void WordsToHexString(const uint32_t* words, size_t count, char* text);
// 0 to 15 for an upper- or lower-case hex digit, -1 for any other character.
int HexDigitValue(char c);
// The reverse, upper- or lower-case digits; false at the first character that is not a hex digit
// (the words before it are already stored).
bool HexStringToWords(uint32_t* words, size_t count, const char* text);
