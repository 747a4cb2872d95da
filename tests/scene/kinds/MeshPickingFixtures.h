// Mesh templates with hand-made CPU copies for the picking tests: float or 16-bit positions, with
// or without skinning bytes, and shader preset parts with their collision switches.
#pragma once

#include "core/reflection/RTTIProperty.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/kinds/MeshTemplate.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <cstring>
#include <memory>
#include <vector>

struct PickPart
{
    uint32_t first;
    uint32_t count;
    uint32_t flags = 0;
};

// Vertex bytes built one vertex at a time.
struct PickVertices
{
    std::vector<uint8_t> bytes;
    uint32_t count = 0;

    template <typename T>
    void Put(T value)
    {
        const size_t at = bytes.size();
        bytes.resize(at + sizeof(T));
        std::memcpy(bytes.data() + at, &value, sizeof(T));
    }
    // Three floats, then (skinned) four bone indices and four weights.
    void Float(float x, float y, float z, const uint8_t (*skin)[8] = nullptr)
    {
        Put(x), Put(y), Put(z);
        if (skin != nullptr)
            for (uint8_t b : *skin)
                Put(b);
        ++count;
    }
    void Packed(int16_t x, int16_t y, int16_t z)
    {
        Put(x), Put(y), Put(z), Put(int16_t(0));
        ++count;
    }
};

inline MeshTemplateRenderingData* MakePickingData(uint32_t layout, uint32_t stride, const PickVertices& vertices,
                                                  const std::vector<uint16_t>& indices,
                                                  const std::vector<std::vector<PickPart>>& presets)
{
    auto* data = new MeshTemplateRenderingData;
    data->SetGeometry(vertices.count, stride, vertices.bytes, indices);
    for (const std::vector<PickPart>& parts : presets)
    {
        MeshShaderPreset preset;
        preset.name = NameString(presets.size() == 1 ? "Default" : "Preset");
        for (const PickPart& part : parts)
        {
            MeshMaterial material;
            material.startTriangle = part.first;
            material.triangleCount = part.count;
            material.flags = part.flags;
            preset.materials.push_back(material);
        }
        data->AddPreset(preset);
    }
    data->SetPickingLayout(layout, stride);
    return data;
}

// The two triangles of the square -1..1 on x and z at height y; the second list is the same
// square wound the other way.
inline PickVertices FlatSquare(float y)
{
    PickVertices v;
    v.Float(-1, y, -1);
    v.Float(1, y, -1);
    v.Float(1, y, 1);
    v.Float(-1, y, 1);
    return v;
}
inline const std::vector<uint16_t> kSquare = {0, 1, 2, 0, 2, 3};
inline const std::vector<uint16_t> kSquareReversed = {0, 2, 1, 0, 3, 2};

inline std::unique_ptr<MeshTemplate> MakePickingTemplate(MeshTemplateRenderingData* data,
                                                         const std::vector<std::string>& bones = {})
{
    MeshTemplateSpec spec;
    spec.bones = bones;
    std::unique_ptr<MeshTemplate> meshTemplate = MeshTemplateWriter::MakeTemplate(spec);
    meshTemplate->SetRenderingData(data);
    return meshTemplate;
}

inline bool SetProperty(RTTIPolyBaseClass& object, const char* name, const char* text)
{
    const RTTIProperty* property = object.GetClassProperties()->FindPropertyInClassChain(name);
    return property != nullptr && property->SetFromText(&object, text);
}
