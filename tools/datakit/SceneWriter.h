// Binary templates, optimized templates files and binary scene files for tests and demo data,
// their payloads written by the engine's own record writer. Main thread (records of live entities).
#pragma once

#include "core/SimpleGUID.h"

#include <cstdint>
#include <string>
#include <vector>

class Entity;
class EntityLayerSystem;
class EntitySet;
class EntityTemplate;
class RTTIPolyBaseClass;
class SceneEntity;

// One entity record of a scene: the object whose payload is written, its template and mask.
struct SceneEntityRecord
{
    const Entity* entity = nullptr;
    SimpleGUID templateGUID;
    uint32_t variationMask = 0xFFFFFFFFu;
};

// The navigation grid block of a scene.
struct SceneNavigationGrid
{
    uint32_t width = 0;
    uint32_t height = 0;
    float origin[4] = {};
    float cellSize = 1.0f;
    std::vector<uint8_t> cells;
};

// What a scene file holds; null layers or root stand for the current scene's (a fresh root's
// defaults when no scene exists), a null entity or set writes an empty body.
struct SceneFileContents
{
    const EntityLayerSystem* layers = nullptr;
    const SceneEntity* root = nullptr;
    std::vector<SceneEntityRecord> entities;
    std::vector<const EntitySet*> sets;
    bool hasGrid = false;
    SceneNavigationGrid grid;
    // The sequence system whose payload ends the file; none writes a sequence word of 0.
    const RTTIPolyBaseClass* sequences = nullptr;
};

// One optimized template entry: its body and the variations that need it.
struct OptimizedTemplateEntry
{
    std::vector<uint8_t> body;
    uint32_t variationMask = 0xFFFFFFFFu;
};

namespace SceneWriter
{
// The payload of a reflected object (memory form), `flags` as the record writer takes them.
std::vector<uint8_t> Payload(const RTTIPolyBaseClass& object, uint32_t flags);
// A template body: GUID, type id, unused word, u32 payload size, the template's payload and the
// blocks its kind keeps after it.
std::vector<uint8_t> BuildTemplateBody(const EntityTemplate& entityTemplate, const SimpleGUID& guid, uint32_t typeId);
// The "<scene>.opt" image: version 53, count, masks, then each entry's size and body.
std::vector<uint8_t> BuildOptimizedTemplates(const std::vector<OptimizedTemplateEntry>& entries);
// The ".BinaryScene" image.
std::vector<uint8_t> BuildBinaryScene(const SceneFileContents& contents);
} // namespace SceneWriter
