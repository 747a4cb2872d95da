#include "renderer/RendererLightWrapper.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"

namespace rp = renderpayload;

namespace
{
// The payload of each sub-operation after the object pointer, computed from its fields.
constexpr uint32_t kMaskFields = rp::kPointer + 2 * rp::kVector; // handle, rotation, scale
constexpr uint32_t kArgumentBytes[RendererLightWrapper::kSubOperationCount] = {
    rp::kMatrix,
    rp::kVector + 3 * rp::kFloat + kMaskFields,
    rp::kVector + 5 * rp::kFloat + kMaskFields,
    rp::kVector + 4 * rp::kFloat + kMaskFields,
    3 * rp::kVector + rp::kFloat + rp::kU32 + rp::kFloat + kMaskFields + rp::kU32,
};
} // namespace

RendererLightWrapper::RendererLightWrapper()
{
    SetReady();
}

bool RendererLightWrapper::GetArgumentBytes(uint32_t subOperation, uint32_t& bytes)
{
    if (subOperation >= kSubOperationCount)
        return false;
    bytes = rp::kPointer + kArgumentBytes[subOperation];
    return true;
}

bool RendererLightWrapper::BeginCall(uint32_t subOperation)
{
    uint32_t bytes = 0;
    if (gRenderer == nullptr || !GetArgumentBytes(subOperation, bytes) ||
        !gRenderer->WriteCall(&RendererLightWrapper::Execute, subOperation, bytes))
        return false;
    gRenderer->GetWriter().Put(this);
    return true;
}

void RendererLightWrapper::PostMatrix(const Matrix& world)
{
    if (BeginCall(SUB_MATRIX))
        gRenderer->GetWriter().Put(world);
}

void RendererLightWrapper::PostPoint(const Vector& color, float specular, float nearRange, float farRange,
                                     TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale)
{
    if (!BeginCall(SUB_POINT))
        return;
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(color);
    writer.Put(specular);
    writer.Put(nearRange);
    writer.Put(farRange);
    writer.Put(mask);
    writer.Put(maskRotation);
    writer.Put(maskScale);
}

void RendererLightWrapper::PostSpot(const Vector& color, float specular, float nearRange, float farRange, float width,
                                    float softness, TextureHolder* mask, const Vector& maskRotation,
                                    const Vector& maskScale)
{
    if (!BeginCall(SUB_SPOT))
        return;
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(color);
    writer.Put(specular);
    writer.Put(nearRange);
    writer.Put(farRange);
    writer.Put(width);
    writer.Put(softness);
    writer.Put(mask);
    writer.Put(maskRotation);
    writer.Put(maskScale);
}

void RendererLightWrapper::PostTube(const Vector& color, float specular, float nearRange, float farRange, float length,
                                    TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale)
{
    if (!BeginCall(SUB_TUBE))
        return;
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(color);
    writer.Put(specular);
    writer.Put(nearRange);
    writer.Put(farRange);
    writer.Put(length);
    writer.Put(mask);
    writer.Put(maskRotation);
    writer.Put(maskScale);
}

void RendererLightWrapper::PostDirectionalAmbient(const Vector& color, const Vector& secondary, const Vector& side,
                                                  float specular, uint32_t twoSidedMode, float wrapAround,
                                                  TextureHolder* mask, const Vector& maskRotation,
                                                  const Vector& maskScale, uint32_t viewVisibility)
{
    if (!BeginCall(SUB_DIRECTIONAL_AMBIENT))
        return;
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(color);
    writer.Put(secondary);
    writer.Put(side);
    writer.Put(specular);
    writer.Put(twoSidedMode);
    writer.Put(wrapAround);
    writer.Put(mask);
    writer.Put(maskRotation);
    writer.Put(maskScale);
    writer.Put(viewVisibility);
}

void RendererLightWrapper::Execute(NorvexRenderer&, uint32_t subOperation, CommandRingBuffer& reader)
{
    RendererLightWrapper* light = nullptr;
    if (!reader.Read(&light, sizeof(light)) || light == nullptr)
        return;
    RendererLightData& d = light->m_data;
    auto readMask = [&] {
        reader.Read(&d.mask, sizeof(d.mask));
        reader.Read(&d.maskRotation, rp::kVector);
        reader.Read(&d.maskScale, rp::kVector);
    };
    auto readColorAndRanges = [&] {
        reader.Read(&d.color, rp::kVector);
        reader.Read(&d.specular, rp::kFloat);
        reader.Read(&d.nearRange, rp::kFloat);
        reader.Read(&d.farRange, rp::kFloat);
    };
    switch (subOperation)
    {
    case SUB_MATRIX:
        reader.Read(&d.world, rp::kMatrix);
        return;
    case SUB_POINT:
        d.kind = RendererLightData::KIND_POINT;
        readColorAndRanges();
        readMask();
        return;
    case SUB_SPOT:
        d.kind = RendererLightData::KIND_SPOT;
        readColorAndRanges();
        reader.Read(&d.spotWidth, rp::kFloat);
        reader.Read(&d.spotSoftness, rp::kFloat);
        readMask();
        return;
    case SUB_TUBE:
        d.kind = RendererLightData::KIND_TUBE;
        readColorAndRanges();
        reader.Read(&d.tubeLength, rp::kFloat);
        readMask();
        return;
    case SUB_DIRECTIONAL_AMBIENT:
        d.kind = RendererLightData::KIND_DIRECTIONAL_AMBIENT;
        reader.Read(&d.color, rp::kVector);
        reader.Read(&d.secondaryColor, rp::kVector);
        reader.Read(&d.sideColor, rp::kVector);
        reader.Read(&d.specular, rp::kFloat);
        reader.Read(&d.twoSidedMode, rp::kU32);
        reader.Read(&d.wrapAround, rp::kFloat);
        readMask();
        reader.Read(&d.viewVisibility, rp::kU32);
        return;
    default:
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "RendererLightWrapper: unknown sub-operation %u", subOperation);
        return;
    }
}
