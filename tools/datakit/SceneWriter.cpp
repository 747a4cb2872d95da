#include "tools/datakit/SceneWriter.h"

#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/reflection/RecordStream.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/EntitySet.h"
#include "scene/entities/SceneEntity.h"
#include "scene/templates/EntityTemplate.h"

#include <cstring>

namespace
{
void PutSceneU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutSceneU32(out, bits);
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}
} // namespace

namespace SceneWriter
{
std::vector<uint8_t> Payload(const RTTIPolyBaseClass& object, uint32_t flags)
{
    // The record writer's pre-save hook is not const; the objects are not changed by writing.
    RTTIPolyBaseClass& writable = const_cast<RTTIPolyBaseClass&>(object);
    std::vector<uint8_t> bytes(writable.SerializeToMemory(nullptr, 0, flags));
    if (!bytes.empty())
        bytes.resize(writable.SerializeToMemory(bytes.data(), bytes.size(), flags));
    return bytes;
}

std::vector<uint8_t> BuildTemplateBody(const EntityTemplate& entityTemplate, const SimpleGUID& guid, uint32_t typeId)
{
    std::vector<uint8_t> out(guid.bytes, guid.bytes + 16);
    PutSceneU32(out, typeId);
    PutSceneU32(out, 0);
    const std::vector<uint8_t> payload = Payload(entityTemplate, 0);
    PutSceneU32(out, uint32_t(payload.size()));
    Append(out, payload);
    RecordOutput count(nullptr, 0, false);
    entityTemplate.WriteBodyBlocks(count);
    const size_t at = out.size();
    out.resize(at + count.Size());
    RecordOutput blocks(out.data() + at, count.Size(), false);
    entityTemplate.WriteBodyBlocks(blocks);
    return out;
}

std::vector<uint8_t> BuildOptimizedTemplates(const std::vector<OptimizedTemplateEntry>& entries)
{
    std::vector<uint8_t> out;
    PutSceneU32(out, EntityTemplate::kCurrentFileVersion);
    PutSceneU32(out, uint32_t(entries.size()));
    for (const OptimizedTemplateEntry& entry : entries)
        PutSceneU32(out, entry.variationMask);
    for (const OptimizedTemplateEntry& entry : entries)
    {
        PutSceneU32(out, uint32_t(entry.body.size()));
        Append(out, entry.body);
    }
    return out;
}

std::vector<uint8_t> BuildBinaryScene(const SceneFileContents& contents)
{
    std::vector<uint8_t> out;
    PutSceneU32(out, 0);
    Append(out, Payload(contents.layers != nullptr ? *contents.layers : gEntityManager.GetLayerSystem(), 0));
    PutSceneU32(out, 0);
    // Every file carries a root payload: without a scene to take it from, a fresh root's defaults.
    const SceneEntity* root = contents.root != nullptr ? contents.root : gEntityManager.GetSceneRoot();
    if (root != nullptr)
        Append(out, Payload(*root, RTTI_OWN_CLASS_ONLY));
    else
    {
        const SceneEntity fresh;
        Append(out, Payload(fresh, RTTI_OWN_CLASS_ONLY));
    }
    PutSceneU32(out, uint32_t(contents.entities.size()));
    for (const SceneEntityRecord& record : contents.entities)
    {
        out.insert(out.end(), record.templateGUID.bytes, record.templateGUID.bytes + 16);
        PutSceneU32(out, record.variationMask);
        const std::vector<uint8_t> body =
            record.entity != nullptr ? Payload(*record.entity, 0) : std::vector<uint8_t>();
        PutSceneU32(out, uint32_t(body.size()));
        Append(out, body);
    }
    PutSceneU32(out, uint32_t(contents.sets.size()));
    for (const EntitySet* set : contents.sets)
    {
        const std::vector<uint8_t> body = set != nullptr ? Payload(*set, 0) : std::vector<uint8_t>();
        PutSceneU32(out, uint32_t(body.size()));
        Append(out, body);
    }
    out.push_back(contents.hasGrid ? 1 : 0);
    if (contents.hasGrid)
    {
        const SceneNavigationGrid& grid = contents.grid;
        PutSceneU32(out, 0xD8340F9C);
        PutSceneU32(out, 1);
        PutSceneU32(out, grid.width);
        PutSceneU32(out, grid.height);
        for (float value : grid.origin)
            PutFloat(out, value);
        PutFloat(out, grid.cellSize);
        Append(out, grid.cells);
    }
    PutSceneU32(out, contents.sequences != nullptr ? 1 : 0);
    if (contents.sequences != nullptr)
        Append(out, Payload(*contents.sequences, 0));
    return out;
}
} // namespace SceneWriter
