#include "scene/templates/TemplateBodyReader.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/reflection/RecordStream.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/templates/EntityTemplate.h"

#include <mutex>

namespace
{
std::mutex gSuffixLock;
std::vector<std::string> gSuffixes;

bool ReadWhole(FileReader& reader, uint32_t size, std::vector<uint8_t>& bytes)
{
    bytes.resize(size);
    return size == 0 || reader.Read(bytes.data(), size);
}

// With our own file open, the look-ahead file may start. A kind that reads other templates while
// it loads lets it go instead: their opens would meet a stream preheated for someone else.
void HandOnLookAhead(const EntityTemplate& entityTemplate)
{
    if (gResourceManager == nullptr)
        return;
    if (entityTemplate.ReadsBody())
        gResourceManager->StartPendingPrefetch();
    else
        gResourceManager->SetPrefetchResource(nullptr);
}
} // namespace

namespace TemplateBodyReader
{
void SetSuffixes(const std::vector<std::string>& suffixes)
{
    std::lock_guard<std::mutex> lock(gSuffixLock);
    gSuffixes = suffixes;
}

bool ReadBody(EntityTemplate& entityTemplate, const uint8_t* data, size_t size)
{
    RecordInput in(data, size);
    SimpleGUID guid;
    uint32_t typeId = 0;
    uint32_t payloadSize = 0;
    if (!in.ReadBytes(guid.bytes, 16) || !in.ReadU32(typeId) || !in.Skip(4) || !in.ReadU32(payloadSize) ||
        payloadSize > in.Remaining())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Template body of %s is cut short", entityTemplate.GetDisplayName());
        return false;
    }
    // Entity references inside templates stay pending until a scene resolves them. An empty record
    // is valid and leaves the template's properties as they are.
    if (payloadSize != 0 &&
        !entityTemplate.DeserializeFromMemory(data + in.Position(), payloadSize, RTTI_NO_ENTITY_RESOLVE))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Template body of %s is not a valid %s record",
                       entityTemplate.GetDisplayName(), entityTemplate.GetTemplateClassName());
        return false;
    }
    in.Skip(payloadSize);
    if (!entityTemplate.ReadBodyBlocks(in, EntityTemplate::kCurrentFileVersion))
        return false;
    entityTemplate.SetGUID(guid);
    entityTemplate.SetTypeId(typeId);
    entityTemplate.OnBodyRead(EntityTemplate::kCurrentFileVersion);
    return true;
}

bool Load(EntityTemplate& entityTemplate)
{
    const char* name = entityTemplate.GetName();
    if (name == nullptr || name[0] == 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "A template without a name has no body to read");
        return false;
    }
    std::vector<uint8_t> bytes;
    if (name[0] == '#')
    {
        FileReader* stream = gResourceManager != nullptr ? gResourceManager->GetOptimizedTemplateStream() : nullptr;
        const uint32_t size = entityTemplate.GetOptimizedBodySize();
        // The body never reads past its own entry, so a short one cannot shift the next.
        if (stream == nullptr || size > stream->GetRemaining() || !ReadWhole(*stream, size, bytes))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Optimized template %s has no body in the stream", name);
            return false;
        }
        HandOnLookAhead(entityTemplate);
        return ReadBody(entityTemplate, bytes.data(), bytes.size());
    }
    FileReader reader;
    if (!reader.Open(FindBodyFile(name).c_str(), "BinaryTemplate", nullptr, 0))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to read the binary template %s", name);
        return false;
    }
    HandOnLookAhead(entityTemplate);
    if (!ReadWhole(reader, reader.GetSize(), bytes))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to read the binary template %s", name);
        return false;
    }
    return ReadBody(entityTemplate, bytes.data(), bytes.size());
}

std::string FindBodyFile(const char* name)
{
    std::vector<std::string> suffixes;
    {
        std::lock_guard<std::mutex> lock(gSuffixLock);
        suffixes = gSuffixes;
    }
    const std::string bare = name != nullptr ? name : "";
    for (const std::string& suffix : suffixes)
        if (gFileSystem.FileExists((bare + suffix).c_str(), "BinaryTemplate", nullptr))
            return bare + suffix;
    return bare;
}
} // namespace TemplateBodyReader
