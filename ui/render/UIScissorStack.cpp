#include "ui/render/UIScissorStack.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"

#include <algorithm>

UIScissorStack gUIScissorStack;

void UIScissorStack::Push(const Matrix& drawMatrix, const Vector& size)
{
    NorvexRenderer* const renderer = gRenderer;
    Matrix toClip;
    if (renderer != nullptr)
        toClip.Mul(renderer->GetViewProjection(), drawMatrix);
    else
        toClip = drawMatrix;
    float left = 0.0f, right = 0.0f, top = 0.0f, bottom = 0.0f;
    const float xs[4] = {0.0f, size.x, 0.0f, size.x};
    const float ys[4] = {0.0f, 0.0f, size.y, size.y};
    for (uint32_t i = 0; i < 4; ++i)
    {
        Vector corner(xs[i], ys[i], 0.0f, 1.0f);
        corner.Transform(toClip);
        const float x = corner.x / corner.w, y = corner.y / corner.w;
        left = i == 0 ? x : std::min(left, x);
        right = i == 0 ? x : std::max(right, x);
        bottom = i == 0 ? y : std::min(bottom, y);
        top = i == 0 ? y : std::max(top, y);
    }
    if (const Vector* const outer = GetTop())
    {
        left = std::max(left, outer->x);
        top = std::min(top, outer->y);
        right = std::min(right, outer->z);
        bottom = std::max(bottom, outer->w);
    }
    else if (renderer != nullptr && renderer->GetDevice() != nullptr)
    {
        renderer->GetDevice()->SetRenderState(gpu::kRsScissorTestEnable, 1);
    }
    // Crossed bounds: two rectangles that do not overlap leave an empty one.
    right = std::max(right, left);
    top = std::max(top, bottom);
    m_rects.Add(Vector(left, top, right, bottom));
    ApplyToDevice(m_rects[m_rects.Count() - 1]);
}

void UIScissorStack::Pop()
{
    if (m_rects.Count() == 0)
        return;
    m_rects.RemoveAt(m_rects.Count() - 1);
    if (const Vector* const top = GetTop())
        ApplyToDevice(*top);
    else if (gRenderer != nullptr && gRenderer->GetDevice() != nullptr)
        gRenderer->GetDevice()->SetRenderState(gpu::kRsScissorTestEnable, 0);
}

void UIScissorStack::ApplyToDevice(const Vector& rect)
{
    NorvexRenderer* const renderer = gRenderer;
    if (renderer == nullptr || renderer->GetDevice() == nullptr)
        return;
    const float width = renderer->GetViewportState().width;
    const float height = renderer->GetViewportState().height;
    gpu::Rect pixels;
    pixels.left = int32_t((rect.x + 1.0f) * 0.5f * width);
    pixels.right = int32_t((rect.z + 1.0f) * 0.5f * width);
    pixels.top = int32_t((0.5f - rect.y * 0.5f) * height);
    pixels.bottom = int32_t((0.5f - rect.w * 0.5f) * height);
    renderer->GetDevice()->SetScissorRect(pixels);
}
