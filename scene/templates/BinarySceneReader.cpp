#include "scene/templates/BinarySceneReader.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/math/Matrix.h"
#include "core/reflection/EntityReferences.h"
#include "core/reflection/RecordStream.h"
#include "gameplay/navigation/NavigationGrid.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/EntitySet.h"
#include "scene/entities/SceneEntity.h"
#include "scene/templates/TemplateManager.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace
{
// Where the parts of a file lie, found by walking its counts and sizes.
struct SceneLayout
{
    size_t layersSize = 0;
    size_t rootAt = 0;
    size_t rootSize = 0;
    size_t entitiesAt = 0;
    uint32_t entityCount = 0;
    size_t setsAt = 0;
    uint32_t setCount = 0;
    size_t gridAt = 0;
    bool hasGrid = false;
    size_t sequencesAt = 0;
    uint32_t hasSequences = 0;
};

constexpr size_t kEntityRecordHeader = 16 + 4 + 4;

BinarySceneReader::SequenceReader gSequenceReader = nullptr;

// How far ahead of the load over the entity records their bytes are asked for: a few records.
constexpr size_t kPrefetchDistance = 1024;
// The layout walk spends a few cycles on a record where the load spends hundreds: asked for only a
// few records ahead, each line would still be on its way from memory when the walk reaches it.
constexpr size_t kWalkPrefetchDistance = 4096;

// How many entities ahead of the post-load hooks their objects are asked for.
constexpr size_t kHookPrefetchDistance = 8;

// Asks for the four lines that lie TDistance past `at`, when they are inside the data.
template <size_t TDistance>
inline void PrefetchAhead(const uint8_t* at, const uint8_t* end)
{
    if (size_t(end - at) <= TDistance + 256)
        return;
    for (size_t line = 0; line < 256; line += 64)
        __builtin_prefetch(at + TDistance + line);
}

bool Fail(const char* what)
{
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Binary scene: %s; nothing loaded", what);
    return false;
}

// Walks the file from the entity count on; false when a count or size passes the end.
bool WalkLayout(RecordInput& in, SceneLayout& layout)
{
    if (!in.ReadU32(layout.entityCount) || layout.entityCount > in.Remaining() / kEntityRecordHeader)
        return Fail("the entity count does not fit the file");
    layout.entitiesAt = in.Position();
    for (uint32_t i = 0; i < layout.entityCount; ++i)
    {
        // Each header's place depends on the size read from the one before, so a cache miss per
        // record would stall the walk: the bytes ahead are asked for in advance.
        PrefetchAhead<kWalkPrefetchDistance>(in.Cursor(), in.Cursor() + in.Remaining());
        uint32_t bodySize = 0;
        if (!in.Skip(20) || !in.ReadU32(bodySize) || !in.Skip(bodySize))
            return Fail("an entity record passes the end of the file");
    }
    if (!in.ReadU32(layout.setCount) || layout.setCount > in.Remaining() / 4)
        return Fail("the set count does not fit the file");
    layout.setsAt = in.Position();
    for (uint32_t i = 0; i < layout.setCount; ++i)
    {
        uint32_t bodySize = 0;
        if (!in.ReadU32(bodySize) || !in.Skip(bodySize))
            return Fail("a set record passes the end of the file");
    }
    uint8_t hasGrid = 0;
    if (!in.ReadU8(hasGrid))
        return Fail("the navigation grid byte is missing");
    layout.hasGrid = hasGrid != 0;
    layout.gridAt = in.Position();
    if (layout.hasGrid)
    {
        uint32_t width = 0;
        uint32_t height = 0;
        if (!in.Skip(8) || !in.ReadU32(width) || !in.ReadU32(height) || !in.Skip(20) ||
            uint64_t(width) * uint64_t(height) > in.Remaining())
            return Fail("the navigation grid block passes the end of the file");
        in.Skip(size_t(uint64_t(width) * uint64_t(height)));
    }
    if (!in.ReadU32(layout.hasSequences))
        return Fail("the sequence word is missing");
    layout.sequencesAt = in.Position();
    return true;
}

// Checks every part of the file against its bytes and finds where each lies.
bool CheckLayout(const uint8_t* data, size_t size, uint32_t serializationFlags, SceneLayout& layout)
{
    if (data == nullptr || size < 4)
        return Fail("the file is shorter than its first word");
    RecordInput layersIn(data + 4, size - 4);
    if (!EntityLayerSystem::StaticClassProperties()->ValidateObject(layersIn, serializationFlags))
        return Fail("the layer system record is not valid");
    layout.layersSize = layersIn.Position();
    layout.rootAt = 4 + layout.layersSize + 4;
    if (layout.rootAt > size)
        return Fail("the second word is missing");
    RecordInput rootIn(data + layout.rootAt, size - layout.rootAt);
    if (!SceneEntity::StaticClassProperties()->ValidateObject(rootIn, serializationFlags | RTTI_OWN_CLASS_ONLY))
        return Fail("the scene root record is not valid");
    layout.rootSize = rootIn.Position();
    RecordInput in(data, size);
    in.Skip(layout.rootAt + layout.rootSize);
    return WalkLayout(in, layout);
}

// The line after the reasons a file failed its checks or lost parts of itself: which file it was,
// as a message of the kind of the worst reason.
void LogSceneFile(uint32_t kind, const char* folder, const char* name)
{
    gConsole.Printf(kind, CONSOLE_CHANNEL_ENGINE, "Binary scene file: %s/%s.BinaryScene", folder != nullptr ? folder : "",
                    name != nullptr ? name : "");
}

// Bytes after the scene do not stop it loading: every part it needs is there, and its counts are
// taken as they stand. They still say the file is not what its writer made.
void WarnTrailingBytes(size_t count, uint32_t& damage)
{
    if (count == 0)
        return;
    gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Binary scene: %zu bytes follow the scene; they are ignored", count);
    damage = std::max<uint32_t>(damage, CONSOLE_WARNING);
}

// The reader proper; `damage` is the worst kind of message said about a part of a loaded scene that
// was lost or left over (0 for none).
bool LoadScene(const uint8_t* data, size_t size, uint32_t loadFlags, uint32_t serializationFlags, uint8_t variation,
               uint32_t& damage);
} // namespace

bool BinarySceneReader::LoadBinarySceneFile(const char* name, const char* folder, uint32_t loadFlags,
                                            uint32_t serializationFlags, uint8_t variation)
{
    FileReader reader;
    if (!reader.Open(name, "BinaryScene", folder, 0))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to open file for reading (%s/%s)", folder, name);
        return false;
    }
    const size_t size = reader.GetSize();
    // A stored container entry in memory is read where it lies; anything else is copied out.
    uint32_t damage = 0;
    if (const uint8_t* inPlace = reader.ReadWholeInPlace())
    {
        const bool loaded = LoadScene(inPlace, size, loadFlags, serializationFlags, variation, damage);
        if (!loaded || damage != 0)
            LogSceneFile(loaded ? damage : CONSOLE_ERROR, folder, name);
        if (reader.KeptLentBytes())
            return loaded;
        // Cut or written over while it was read: what was loaded is not what the file held.
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "File changed while it was read (%s/%s)", folder, name);
        return false;
    }
    // Every byte is read over at once: no need to clear them first.
    const std::unique_ptr<uint8_t[]> bytes(new uint8_t[std::max<size_t>(size, 1)]);
    if (size != 0 && !reader.Read(bytes.get(), uint32_t(size)))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to read file (%s/%s)", folder, name);
        return false;
    }
    const bool loaded = LoadScene(bytes.get(), size, loadFlags, serializationFlags, variation, damage);
    if (!loaded || damage != 0)
        LogSceneFile(loaded ? damage : CONSOLE_ERROR, folder, name);
    return loaded;
}

bool BinarySceneReader::LoadBinaryScene(const uint8_t* data, size_t size, uint32_t loadFlags,
                                        uint32_t serializationFlags, uint8_t variation)
{
    uint32_t damage = 0;
    return LoadScene(data, size, loadFlags, serializationFlags, variation, damage);
}

namespace
{
bool LoadScene(const uint8_t* data, size_t size, uint32_t loadFlags, uint32_t serializationFlags, uint8_t variation,
               uint32_t& damage)
{
    SceneLayout layout;
    if (!CheckLayout(data, size, serializationFlags, layout))
        return false;
    const size_t layersSize = layout.layersSize;
    const size_t rootAt = layout.rootAt;
    const size_t rootSize = layout.rootSize;

    if ((loadFlags & BinarySceneReader::kSceneAlreadyStarted) == 0)
        gEntityManager.NewScene();
    const bool opened = BeginPendingEntityReferences();
    gEntityManager.GetLayerSystem().DeserializeFromMemory(data + 4, layersSize, serializationFlags);
    if (SceneEntity* root = gEntityManager.GetSceneRoot())
        root->DeserializeFromMemory(data + rootAt, rootSize, serializationFlags | RTTI_OWN_CLASS_ONLY);

    std::vector<Entity*> loaded;
    loaded.reserve(layout.entityCount);
    // Records of one template mostly follow each other: the last template found is asked first.
    SimpleGUID lastTemplateGUID;
    EntityTemplate* lastTemplate = nullptr;
    gEntityManager.HoldIndexEntries(true);
    size_t at = layout.entitiesAt;
    for (uint32_t i = 0; i < layout.entityCount; ++i)
    {
        PrefetchAhead<kPrefetchDistance>(data + at, data + size);
        SimpleGUID templateGUID;
        RecordInput record(data + at, size - at);
        uint32_t mask = 0;
        uint32_t bodySize = 0;
        record.ReadBytes(templateGUID.bytes, 16);
        record.ReadU32(mask);
        record.ReadU32(bodySize);
        const uint8_t* body = data + at + kEntityRecordHeader;
        at += kEntityRecordHeader + bodySize;
        if (variation != BinarySceneReader::kAllVariations && (mask & (1u << (variation % 32))) == 0)
            continue;
        EntityTemplate* entityTemplate = lastTemplate;
        if (entityTemplate == nullptr || templateGUID != lastTemplateGUID)
        {
            entityTemplate = gTemplateManager.GetTemplateByGUID(templateGUID, true);
            lastTemplate = entityTemplate;
            lastTemplateGUID = templateGUID;
        }
        if (entityTemplate == nullptr)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                           "Unable to find template! Certain objects will be lost! Template GUID: %s",
                           templateGUID.ToStringUnsafe());
            continue;
        }
        // The entity enters the grid once, where its record puts it.
        gEntityManager.HoldNewEntitiesFromGrid(true);
        Entity* entity = gEntityManager.CreateEntity(
            entityTemplate, nullptr, Matrix::ONE,
            ENTITYCREATION_DONOTCREATERENDERINGCONTEXT | ENTITYCREATION_NOGUIDGENERATION, nullptr);
        gEntityManager.HoldNewEntitiesFromGrid(false);
        // A creation refused by a limit loses the record like a missing template (the manager logs).
        if (entity == nullptr)
            continue;
        if (bodySize != 0 && !entity->DeserializeFromMemory(body, bodySize, serializationFlags))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Binary scene: the body of entity record %u is not valid", i);
            damage = CONSOLE_ERROR;
        }
        gEntityManager.PlaceHeldEntity(entity);
        entity->RecreateRenderingContext(false);
        loaded.push_back(entity);
    }
    gEntityManager.HoldIndexEntries(false);
    if (opened)
        ResolvePendingEntityReferences();
    // Each hook starts with a miss on its entity (the scene has outgrown the caches by now): the
    // entities a few places on are asked for meanwhile.
    for (size_t i = 0; i < loaded.size(); ++i)
    {
        if (i + kHookPrefetchDistance < loaded.size())
            __builtin_prefetch(loaded[i + kHookPrefetchDistance]);
        loaded[i]->OnPostSceneLoad();
    }

    at = layout.setsAt;
    for (uint32_t i = 0; i < layout.setCount; ++i)
    {
        RecordInput record(data + at, size - at);
        uint32_t bodySize = 0;
        record.ReadU32(bodySize);
        auto set = std::make_unique<EntitySet>();
        if (bodySize != 0 && !set->DeserializeFromMemory(data + at + 4, bodySize, serializationFlags))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Binary scene: set record %u is not valid", i);
            damage = CONSOLE_ERROR;
        }
        at += 4 + bodySize;
        gEntityManager.GetEntitySets().Add(set.release());
    }

    if (SceneEntity* root = gEntityManager.GetSceneRoot())
        root->ApplyActiveSceneParams();

    if (layout.hasGrid)
    {
        auto grid = std::make_unique<NavigationGrid>();
        // Stored scenes carry grid blocks with other magic or version words, so neither is tested
        // here; Load still holds the tile count to the bytes left in the file.
        const size_t used = grid->Load(data + layout.gridAt, size - layout.gridAt, false);
        if ((loadFlags & BinarySceneReader::kApplyNavigationGrid) != 0 && used != 0)
            gEntityManager.SetNavigationGrid(grid.release());
    }
    else if ((loadFlags & BinarySceneReader::kApplyNavigationGrid) != 0)
    {
        gEntityManager.SetNavigationGrid(nullptr);
    }
    const size_t afterWord = size - layout.sequencesAt;
    if (layout.hasSequences == 0)
        WarnTrailingBytes(afterWord, damage);
    else if ((loadFlags & BinarySceneReader::kReadSequences) != 0)
    {
        size_t used = 0;
        if (gSequenceReader == nullptr)
            gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Binary scene: no sequence system reads its sequences; they are skipped");
        else if (!gSequenceReader(data + layout.sequencesAt, afterWord, &used))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Binary scene: the sequence record is not valid");
            damage = CONSOLE_ERROR;
        }
        else
            WarnTrailingBytes(afterWord - used, damage);
    }
    return true;
}
} // namespace

void BinarySceneReader::SetSequenceReader(SequenceReader reader)
{
    gSequenceReader = reader;
}

bool BinarySceneReader::ListTemplateGUIDs(const uint8_t* data, size_t size, std::vector<SimpleGUID>& guids)
{
    SceneLayout layout;
    if (!CheckLayout(data, size, 0, layout))
        return false;
    size_t at = layout.entitiesAt;
    for (uint32_t i = 0; i < layout.entityCount; ++i)
    {
        RecordInput record(data + at, size - at);
        SimpleGUID guid;
        uint32_t bodySize = 0;
        record.ReadBytes(guid.bytes, 16);
        record.Skip(4);
        record.ReadU32(bodySize);
        guids.push_back(guid);
        at += kEntityRecordHeader + bodySize;
    }
    return true;
}
