#include "core/filesystem/FileSystemInputStream.h"

bool FileSystemInputStream::ReadLine(char* buffer, uint32_t size, uint32_t* consumed)
{
    if (consumed != nullptr)
        *consumed = 0;
    if (buffer == nullptr || size == 0)
        return false;
    uint32_t stored = 0;
    uint32_t taken = 0;
    bool sawAnything = false;
    bool fits = true;
    uint8_t byte = 0;
    // A byte read after a lone '\r' is handled like any other instead of being dropped.
    bool pending = false;
    for (;;)
    {
        if (!pending)
        {
            if (!ReadByte(byte))
                break;
            ++taken;
        }
        pending = false;
        sawAnything = true;
        if (byte == '\n')
            break;
        if (byte == '\r')
        {
            uint8_t next = 0;
            if (!ReadByte(next))
                break;
            ++taken;
            if (next == '\n')
                break;
            if (stored + 1 >= size)
            {
                fits = false;
                break;
            }
            buffer[stored++] = '\r';
            byte = next;
            pending = true;
            continue;
        }
        if (stored + 1 >= size)
        {
            fits = false;
            break;
        }
        buffer[stored++] = static_cast<char>(byte);
    }
    buffer[stored] = '\0';
    if (consumed != nullptr)
        *consumed = taken;
    return sawAnything && fits;
}
