#include "renderer/RendererLightWrapper.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RendererObjectHandle.h"

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

RendererLightWrapper::~RendererLightWrapper()
{
    m_data.Release();
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

void RendererLightWrapper::PutMask(TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale)
{
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(RendererObjectHandle::AddReference(mask));
    writer.Put(maskRotation);
    writer.Put(maskScale);
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
    PutMask(mask, maskRotation, maskScale);
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
    PutMask(mask, maskRotation, maskScale);
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
    PutMask(mask, maskRotation, maskScale);
}

void RendererLightWrapper::PostDirectionalAmbient(const Vector& color, const Vector& secondary, const Vector& side,
                                                  float specular, uint32_t twoSidedMode, float wrapAround,
                                                  TextureHolder* mask, const Vector& maskRotation,
                                                  const Vector& maskScale, uint32_t lightMask)
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
    PutMask(mask, maskRotation, maskScale);
    writer.Put(lightMask);
}

void RendererLightWrapper::Execute(NorvexRenderer&, uint32_t subOperation, CommandRingBuffer& reader)
{
    RendererLightWrapper* light = nullptr;
    if (!reader.Read(&light, sizeof(light)) || light == nullptr)
        return;
    LightRenderData& d = light->m_data;
    if (subOperation == SUB_MATRIX)
    {
        Matrix world;
        if (reader.Read(&world, rp::kMatrix))
            d.SetTransform(world);
        return;
    }
    if (subOperation >= kSubOperationCount)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "RendererLightWrapper: unknown sub-operation %u", subOperation);
        return;
    }
    Vector color, secondary, side, maskRotation, maskScale;
    float specular = 0.0f, start = 0.0f, end = 0.0f, width = 0.0f, softness = 0.0f, length = 0.0f, wrap = 0.0f;
    uint32_t twoSided = 0, lightMask = 0;
    TextureHolder* mask = nullptr;
    bool ok = reader.Read(&color, rp::kVector);
    if (subOperation == SUB_DIRECTIONAL_AMBIENT)
        ok = ok && reader.Read(&secondary, rp::kVector) && reader.Read(&side, rp::kVector) &&
             reader.Read(&specular, rp::kFloat) && reader.Read(&twoSided, rp::kU32) && reader.Read(&wrap, rp::kFloat);
    else
        ok = ok && reader.Read(&specular, rp::kFloat) && reader.Read(&start, rp::kFloat) &&
             reader.Read(&end, rp::kFloat);
    if (subOperation == SUB_SPOT)
        ok = ok && reader.Read(&width, rp::kFloat) && reader.Read(&softness, rp::kFloat);
    if (subOperation == SUB_TUBE)
        ok = ok && reader.Read(&length, rp::kFloat);
    // The mask's travelling reference is dropped whatever happens; the light keeps one of its own.
    ok = ok && reader.Read(&mask, sizeof(mask)) && reader.Read(&maskRotation, rp::kVector) &&
         reader.Read(&maskScale, rp::kVector);
    if (subOperation == SUB_DIRECTIONAL_AMBIENT)
        ok = ok && reader.Read(&lightMask, rp::kU32);
    if (ok)
    {
        switch (subOperation)
        {
        case SUB_POINT:
            d.SetPoint(color, specular, start, end, mask, maskRotation, maskScale);
            break;
        case SUB_SPOT:
            d.SetSpot(color, specular, start, end, width, softness, mask, maskRotation, maskScale);
            break;
        case SUB_TUBE:
            d.SetTube(color, specular, start, end, length, mask, maskRotation, maskScale);
            break;
        default:
            d.SetDirectionalAmbient(color, secondary, side, specular, twoSided, wrap, mask, maskRotation, maskScale,
                                    lightMask);
            break;
        }
    }
    RendererObjectHandle::Release(mask);
}
