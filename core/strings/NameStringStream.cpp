// The stream form of NameString, kept apart so the name pool does not depend on the file system.
#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileWriter.h"
#include "core/strings/NameString.h"

bool NameString::Write(FileWriter& writer, uint32_t flags) const
{
    const uint32_t length = Length();
    return writer.WriteU32(length, flags) && (length == 0 || writer.Write(m_text, length));
}

bool NameString::Read(FileReader& reader)
{
    uint32_t length = 0;
    if (!reader.ReadU32(length))
        return false;
    // Checked against what the stream still holds before anything is allocated for it.
    if (length > reader.GetRemaining())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Name length %u runs past the end of the data (%u bytes left)", length,
                       reader.GetRemaining());
        return false;
    }
    return SetFromStream(length, [&reader](char* buffer, uint32_t count) { return reader.Read(buffer, count); });
}
