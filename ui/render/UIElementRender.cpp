// The draw walk of the UI tree and what an element draws of itself. Render thread only (any thread
// while no render thread runs).
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/UIQuadGeometry.h"
#include "renderer/VertexShaderObject.h"
#include "ui/elements/UIElement.h"
#include "ui/render/UIQuadBatch.h"
#include "ui/render/UIRenderFrame.h"
#include "ui/render/UIScissorStack.h"
#include "ui/render/UIShaderTable.h"
#include "ui/render/UIStencilMask.h"
#include "ui/screens/UIScreen.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{
constexpr float kDegreesPerRadian = 57.29577951308232f;
constexpr uint32_t kAlignHorizontalDone = 0x1;
constexpr uint32_t kAlignVerticalDone = 0x2;
constexpr uint32_t kAlignMatrixMode = 0x4;
// Hidden children are still walked: their walk advances their actions (a show may be waiting there)
// and stops before anything is drawn.
constexpr uint32_t kSkippedByParent = UIFLAG_TEXTTAG;
constexpr uint32_t kFlushBefore = UIRENDERFLAG_CLIPCHILDREN | UIFLAG_DRAWPENDINGUIELEMENTSBEFORE;
constexpr uint32_t kFlushAfter = UIRENDERFLAG_CLIPCHILDREN | UIFLAG_DRAWPENDINGUIELEMENTS;

// Horizontal and vertical sign of each alignment value (-1 left or top, +1 right or bottom).
constexpr int32_t kAlignX[9] = {0, -1, 1, 0, 0, -1, -1, 1, 1};
constexpr int32_t kAlignY[9] = {0, 0, 0, -1, 1, -1, 1, -1, 1};

float Clamp01(float value)
{
    return std::min(1.0f, std::max(0.0f, value));
}

// Whether the box under `toClip` lies wholly outside one plane of the clip volume.
bool IsBoxOutside(const Vector& lo, const Vector& hi, const Matrix& toClip)
{
    uint32_t outside[6] = {};
    for (uint32_t i = 0; i < 8; ++i)
    {
        Vector corner((i & 1) != 0 ? hi.x : lo.x, (i & 2) != 0 ? hi.y : lo.y, (i & 4) != 0 ? hi.z : lo.z, 1.0f);
        corner.Transform(toClip);
        outside[0] += corner.x < -corner.w;
        outside[1] += corner.x > corner.w;
        outside[2] += corner.y < -corner.w;
        outside[3] += corner.y > corner.w;
        outside[4] += corner.z < 0.0f;
        outside[5] += corner.z > corner.w;
    }
    for (uint32_t count : outside)
        if (count == 8)
            return true;
    return false;
}
} // namespace

void UIElement::RenderTree(const Matrix& parentMatrix, const Vector& parentColor, bool parentMirrored,
                           const Vector* constants, uint32_t alignmentBits)
{
    UpdateActions();
    const uint32_t flags = m_renderFlags;
    if ((flags & UIFLAG_HIDDEN) != 0)
        return;
    UIRenderFrame& frame = gUIFrame;
    UIScreen* const screen = frame.currentScreen;
    const bool blocksFocus = (flags & UIFLAG_BLOCKFOCUS) != 0 && screen != nullptr;
    if (blocksFocus)
        ++screen->NoCandidateCounter();
    if ((flags & UIFLAG_FOLLOWMOUSE) != 0)
        SetRenderPosition(Vector(frame.pointerUI.x, frame.pointerUI.y, m_position.z, m_position.w));

    Matrix world;
    world.Mul(parentMatrix, m_localMatrix);

    // Window alignment: each axis once per subtree.
    uint32_t childBits = alignmentBits;
    Vector offset(0.0f, 0.0f, 0.0f, 0.0f);
    bool offsetApplied = false;
    if (m_windowAlignment >= 1 && m_windowAlignment <= 8)
    {
        const int32_t ax = kAlignX[m_windowAlignment], ay = kAlignY[m_windowAlignment];
        const bool matrixMode = (alignmentBits & kAlignMatrixMode) != 0;
        if (ax != 0 && (alignmentBits & kAlignHorizontalDone) == 0)
        {
            childBits |= kAlignHorizontalDone;
            if (matrixMode)
                world.Mul(frame.alignment[ax < 0 ? UI_ALIGN_LEFT : UI_ALIGN_RIGHT], world);
            else
            {
                offset.x = float(ax) * frame.alignMarginX;
                offsetApplied = true;
            }
        }
        if (ay != 0 && (alignmentBits & kAlignVerticalDone) == 0)
        {
            childBits |= kAlignVerticalDone;
            if (matrixMode)
                world.Mul(frame.alignment[ay < 0 ? UI_ALIGN_TOP : UI_ALIGN_BOTTOM], world);
            else
            {
                offset.y = float(ay) * frame.alignMarginY;
                offsetApplied = true;
            }
        }
    }
    if (offsetApplied || (flags & kFlushBefore) != 0)
        FlushAllUIQuadBatches();

    if (m_aspectScaling >= 1 && m_aspectScaling <= 3)
    {
        const float x = frame.widthPerX != 0.0f ? frame.width / frame.widthPerX : 1.0f; // X
        const float y = frame.heightPerY != 0.0f ? frame.height / frame.heightPerY : 1.0f; // Y
        float sx = 1.0f, sy = 1.0f;
        if (m_aspectScaling != UIWINDOWASPECTSCALING_VERTICAL)
            sx = 1.0f / x;
        if (m_aspectScaling == UIWINDOWASPECTSCALING_VERTICAL)
            sy = 1.0f / y;
        if (m_aspectScaling == UIWINDOWASPECTSCALING_BOTH)
            sy = frame.height / (frame.width * y);
        Matrix about;
        about.LoadScale(Vector(sx, sy, 1.0f, 1.0f));
        about.rows[3].Set(frame.width * 0.5f * (1.0f - sx), frame.height * 0.5f * (1.0f - sy), 0.0f, 1.0f);
        world.Mul(about, world);
    }

    NorvexRenderer* const renderer = gRenderer;
    const bool drawing = renderer != nullptr && renderer->GetDevice() != nullptr;
    Matrix savedProjection;
    const Vector savedClipOffset = frame.clipOffset;
    if (offsetApplied)
    {
        frame.clipOffset.Add(offset);
        if (drawing)
        {
            savedProjection = renderer->GetCamera().projection;
            Matrix shift, shifted;
            shift.LoadTranslation(offset.x, offset.y, 0.0f);
            shifted.Mul(shift, savedProjection);
            renderer->SetProjection(shifted);
        }
    }

    Vector color = m_color;
    if (m_colorMode == UICOLOR_MULTIPLYBYPARENTALPHA)
        color.w *= parentColor.w;
    else if (m_colorMode == UICOLOR_MULTIPLYBYPARENTCOLOR)
        color.SetSimd(_mm_mul_ps(color.Simd(), parentColor.Simd()));
    const bool mirrored = parentMirrored != m_mirrored;

    Vector block[UIQuadBatch::kConstantVectors];
    const Vector* childConstants = constants;
    const float fadeDistance = m_extraParam.x;
    if ((flags & UIFLAG_FADECHILDREN) != 0)
    {
        Matrix inverse;
        inverse.InverseOf(world);
        inverse.Transpose();
        block[0] = inverse.rows[0];
        block[1] = inverse.rows[1];
        const float h = m_size.y;
        // A fade distance of 0 fades nothing instead of dividing by it.
        if (fadeDistance > 0.0f)
            block[2].Set(-h * 0.5f, -1.0f / fadeDistance, h / (2.0f * fadeDistance), 0.0f);
        else
            block[2].Set(-h * 0.5f, 0.0f, 1.0f, 0.0f);
        childConstants = block;
    }
    else if ((flags & UIFLAG_DISABLEFADE) != 0)
    {
        childConstants = nullptr;
    }

    if ((flags & (UIFLAG_FADEATPARENTBORDERUPDOWN | UIFLAG_FADEATPARENTBORDERLEFTRIGHT)) != 0 && fadeDistance > 0.0f &&
        m_renderParent != nullptr)
    {
        const Vector& parentSize = m_renderParent->m_size;
        const float left = Clamp01((m_position.x + m_anchor.x) / fadeDistance);
        const float top = Clamp01((m_position.y + m_anchor.y) / fadeDistance);
        const float right = Clamp01((parentSize.x - (m_size.x + m_anchor.x + m_position.x)) / fadeDistance);
        const float bottom = Clamp01((parentSize.y - (m_size.y + m_anchor.y + m_position.y)) / fadeDistance);
        if ((flags & UIFLAG_FADEATPARENTBORDERLEFTRIGHT) != 0)
            color.w *= left * right;
        if ((flags & UIFLAG_FADEATPARENTBORDERUPDOWN) != 0)
            color.w *= top * bottom;
    }

    if ((m_renderState & UIRENDERSTATE_MODAL) != 0 && screen != nullptr)
        screen->RestartSelectionCandidates();

    Matrix anchor, drawMatrix;
    anchor.LoadTranslation(m_anchor.x, m_anchor.y, m_anchor.z);
    drawMatrix.Mul(world, anchor);
    const Matrix& childMatrix = (flags & UIFLAG_HIERARCHICALANCHOR) != 0 ? drawMatrix : world;
    const bool culled = (flags & UIRENDERFLAG_CULL) != 0 && [&] {
        Matrix toClip;
        toClip.Mul(frame.viewProjection, drawMatrix);
        return IsBoxOutside(m_rectMin, m_rectMax, toClip);
    }();

    bool scissorPushed = false;
    if (!culled)
    {
        bool maskPushed = false;
        if ((flags & UIFLAG_TRANSPARENT) == 0 && (color.w > 0.0f || (flags & UIFLAG_DRAWZEROALPHA) != 0))
        {
            if ((flags & UIFLAG_DRAWDEBUGBOX) != 0)
                UIElement::Render(drawMatrix, Vector(1.0f, 0.0f, 0.0f, 0.5f), mirrored, childConstants);
            // The mask is popped only when it was pushed, so pushes and pops stay paired.
            if ((flags & UIRENDERFLAG_STENCILMASK) != 0 && (flags & UIFLAG_HIERARCHICALANCHOR) != 0)
                maskPushed = gUIStencilMask.Push(drawMatrix, m_size, m_blendMode, childConstants, mirrored);
            Render(drawMatrix, color, mirrored, childConstants);
        }
        if ((flags & UIFLAG_FOCUSABLEWITHMOUSE) != 0)
            RecordSelectionCandidate(drawMatrix);
        if ((flags & UIRENDERFLAG_CLIPCHILDREN) != 0)
        {
            gUIScissorStack.Push(drawMatrix, m_size);
            scissorPushed = true;
        }
        for (UIElement* child = m_renderFirstChild; child != nullptr;)
        {
            // A child's actions may delete it: the next sibling is read first.
            UIElement* const next = child->m_renderNextSibling;
            if ((child->m_renderFlags & kSkippedByParent) == 0 && (child->m_renderState & UIRENDERSTATE_BEHINDCAMERA) == 0)
                child->RenderTree(childMatrix, color, mirrored, childConstants, childBits);
            child = next;
        }
        if (maskPushed)
            gUIStencilMask.Pop();
        if (offsetApplied || (flags & kFlushAfter) != 0)
            FlushAllUIQuadBatches();
    }
    if (offsetApplied)
    {
        frame.clipOffset = savedClipOffset;
        if (drawing)
            renderer->SetProjection(savedProjection);
    }
    if (scissorPushed)
        gUIScissorStack.Pop();
    if (blocksFocus)
        --screen->NoCandidateCounter();
}

void UIElement::Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants)
{
    Matrix scale, quad;
    scale.LoadScale(Vector(m_size.x, m_size.y, 1.0f, 1.0f));
    quad.Mul(matrix, scale);
    const UIShader shader = GetUIShader(kUIShaderDefault);
    UIQuadBatch& batch = GetUIQuadBatch(0);
    batch.SetState(m_blendMode, nullptr, 0, nullptr, 0, shader.vertex, shader.pixel, constants);
    const Vector zero(0.0f, 0.0f, 0.0f, 0.0f);
    batch.AddQuad(quad, color, mirrored, zero, Vector(1.0f, 1.0f, 0.0f, 0.0f), zero);
}

void UIElement::DrawScreenQuad(uint32_t shaderIndex, const Matrix& matrix, const Vector& color, bool mirrored,
                               const Vector* uvConstants, const Vector* uvOriginConstants, const Vector* pixelConstant)
{
    NorvexRenderer* const renderer = gRenderer;
    gpu::GpuDevice* const device = renderer != nullptr ? renderer->GetDevice() : nullptr;
    const UIQuadGeometry* const geometry = renderer != nullptr ? &renderer->GetDeviceManager().GetUIQuadGeometry() : nullptr;
    const UIShader shader = GetUIShader(shaderIndex);
    if (device == nullptr || geometry->GetUnitQuad() == nullptr || shader.vertex == nullptr)
        return;
    Matrix scale, quad;
    scale.LoadScale(Vector(m_size.x, m_size.y, 1.0f, 1.0f));
    quad.Mul(matrix, scale);
    renderer->SetBlendMode(m_blendMode);
    renderer->SetCullMode(renderer->GetCamera().mirrored != mirrored ? gpu::kCullClockwise
                                                                      : gpu::kCullCounterClockwise);
    renderer->SetDepthState((m_renderFlags & UIFLAG_DEPTHTEST) != 0 ? gpu::kCmpLessEqual : gpu::kCmpAlways, false,
                            0.0f);
    device->SetVertexDeclaration(geometry->GetUnitQuadDeclaration());
    device->SetStreamSource(0, geometry->GetUnitQuad(), 0, UIQuadGeometry::kUnitQuadStride);
    renderer->SetVertexShader(shader.vertex);
    renderer->SetPixelShader(shader.pixel);
    if (uvConstants != nullptr && uvOriginConstants != nullptr)
    {
        renderer->SetVertexShaderConstants(195, &uvConstants->x, 1);
        renderer->SetVertexShaderConstants(196, &uvOriginConstants->x, 1);
    }
    if (pixelConstant != nullptr)
        renderer->SetPixelShaderConstants(4, &pixelConstant->x, 1);
    shader.vertex->SetModelMatrix(*renderer, quad, true);
    shader.vertex->SetConstantColor(*renderer, color);
    renderer->DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2);
    device->SetStreamSource(0, nullptr, 0, 0);
}

void UIElement::GetScreenRect(Vector corners[4]) const
{
    corners[0].Set(0.0f, 0.0f, 0.0f, 1.0f);
    corners[1].Set(m_size.x, 0.0f, 0.0f, 1.0f);
    corners[2].Set(m_size.x, m_size.y, 0.0f, 1.0f);
    corners[3].Set(0.0f, m_size.y, 0.0f, 1.0f);
}

void UIElement::RecordSelectionCandidate(const Matrix& drawMatrix)
{
    UIScreen* const screen = gUIFrame.currentScreen;
    if (screen == nullptr || screen->NoCandidateCounter() >= 1 || !screen->IsRecordingCandidates())
        return;
    Matrix toClip;
    toClip.Mul(gUIFrame.viewProjection, drawMatrix);
    const float xs[4] = {-m_selectionFrame.x, m_size.x, m_size.x, -m_selectionFrame.x};
    const float ys[4] = {-m_selectionFrame.y, -m_selectionFrame.y, m_size.y, m_size.y};
    const Vector* const scissor = gUIScissorStack.GetTop();
    Vector corners[4];
    for (uint32_t i = 0; i < 4; ++i)
    {
        Vector corner(xs[i], ys[i], 0.0f, 1.0f);
        corner.Transform(toClip);
        if (corner.w < 1.0f)
            return;
        float x = corner.x / corner.w + gUIFrame.clipOffset.x;
        float y = corner.y / corner.w + gUIFrame.clipOffset.y;
        if (scissor != nullptr)
        {
            x = std::min(std::max(x, scissor->x), scissor->z);
            y = std::min(std::max(y, scissor->w), scissor->y);
        }
        corners[i].Set(x, y, corner.z / corner.w, 1.0f);
    }
    screen->AddSelectionCandidate(corners, *this);
}

void UIElement::TrackWorldPoint(const Vector& point, float scale, uint32_t options)
{
    if (point.w < 0.0f)
    {
        m_renderState |= UIRENDERSTATE_BEHINDCAMERA;
        return;
    }
    m_renderState &= ~UIRENDERSTATE_BEHINDCAMERA;
    const UIRenderFrame& frame = gUIFrame;
    const float w = std::max(point.w, 0.0001f);
    if ((options & UIENTITYTRACKING_PERSPECTIVESCALE) != 0)
        SetRenderScale(Vector(scale / w, scale / w, scale / w, scale / w));
    float qx = point.x / w, qy = -point.y / w;
    if ((options & (UIENTITYTRACKING_STAYONSCREEN | UIENTITYTRACKING_BORDERONLY)) != 0 &&
        (options & UIENTITYTRACKING_ANCHORINCENTER) == 0)
    {
        float loX = std::fabs(m_anchor.x) * m_scale.x, loY = std::fabs(m_anchor.y) * m_scale.y;
        float hiX = (m_size.x + m_anchor.x) * m_scale.x, hiY = (m_size.y + m_anchor.y) * m_scale.y;
        if ((options & UIENTITYTRACKING_ROTATETOWARDSTARGET) != 0)
            loX = loY = hiX = hiY = std::max(std::max(loX, loY), std::max(hiX, hiY));
        const float minX = 2.0f * loX * frame.xPerWidth - 1.0f, minY = 2.0f * loY * frame.yPerHeight - 1.0f;
        const float maxX = 1.0f - 2.0f * hiX * frame.xPerWidth, maxY = 1.0f - 2.0f * hiY * frame.yPerHeight;
        if (qx >= minX && qx <= maxX && qy >= minY && qy <= maxY)
        {
            if ((options & UIENTITYTRACKING_BORDERONLY) != 0)
                m_renderState |= UIRENDERSTATE_BEHINDCAMERA;
        }
        else
        {
            // Pulled back toward the centre until it meets the nearest edge of the box.
            float t = 1.0f;
            const float edges[4] = {qx != 0.0f ? minX / qx : 0.0f, qx != 0.0f ? maxX / qx : 0.0f,
                                    qy != 0.0f ? minY / qy : 0.0f, qy != 0.0f ? maxY / qy : 0.0f};
            for (float edge : edges)
                if (edge > 0.0f)
                    t = std::min(t, edge);
            qx *= t;
            qy *= t;
        }
    }
    if ((options & UIENTITYTRACKING_ROTATETOWARDSTARGET) != 0)
        SetRenderRotation(Vector(0.0f, 0.0f, std::atan2(qy, qx) * kDegreesPerRadian, 1.0f));
    Vector position(0.5f * qx * frame.widthPerX + frame.width * 0.5f, 0.5f * qy * frame.heightPerY + frame.height * 0.5f,
                    0.0f, 1.0f);
    if ((options & UIENTITYTRACKING_RELATIVETOPARENT) != 0)
    {
        // The point of the parents' plane z = 0 that projects to q.
        Matrix chain = Matrix::ONE;
        for (const UIElement* parent = m_renderParent; parent != nullptr; parent = parent->m_renderParent)
            chain.Mul(parent->m_localMatrix, chain);
        Matrix toClip;
        toClip.Mul(frame.viewProjection, chain);
        const float nx = qx, ny = -qy;
        const Matrix& m = toClip;
        const float a00 = m.At(0, 0) - nx * m.At(0, 3), a01 = m.At(1, 0) - nx * m.At(1, 3);
        const float a10 = m.At(0, 1) - ny * m.At(0, 3), a11 = m.At(1, 1) - ny * m.At(1, 3);
        const float b0 = nx * m.At(3, 3) - m.At(3, 0), b1 = ny * m.At(3, 3) - m.At(3, 1);
        const float det = a00 * a11 - a01 * a10;
        if (std::fabs(det) > FLT_MIN)
            position.Set((b0 * a11 - a01 * b1) / det, (a00 * b1 - b0 * a10) / det, 0.0f, 1.0f);
    }
    if ((options & UIENTITYTRACKING_ANCHORINCENTER) != 0)
    {
        position.x -= 0.5f * m_size.x * m_scale.x;
        position.y -= 0.5f * m_size.y * m_scale.y;
        if ((options & UIENTITYTRACKING_STAYONSCREEN) != 0)
        {
            position.x = std::min(std::max(position.x, 0.0f), frame.width - m_size.x * m_scale.x);
            position.y = std::min(std::max(position.y, 0.0f), frame.height - m_size.y * m_scale.y);
        }
    }
    SetRenderPosition(position);
    if ((options & UIENTITYTRACKING_HEALTHBARMODE) != 0)
    {
        const bool away = position.x < -60.0f || position.x > frame.width + 60.0f || position.y < -60.0f ||
                          position.y > frame.height + 60.0f || std::fabs(position.z) > 60.0f;
        if (away)
            m_renderState |= UIRENDERSTATE_BEHINDCAMERA;
        else
            m_renderState &= ~UIRENDERSTATE_BEHINDCAMERA;
    }
}

void UIElement::MorphIntoConnection(const UIElement* a, const UIElement* b)
{
    const float dx = b->m_position.x - a->m_position.x, dy = b->m_position.y - a->m_position.y;
    const float dz = b->m_position.z - a->m_position.z;
    const float length = std::sqrt(dx * dx + dy * dy + dz * dz);
    SetRect(Vector(length, m_size.y, m_size.z, 0.0f));
    const float planar = std::sqrt(dx * dx + dy * dy);
    const float half = m_size.y * 0.5f;
    const Vector position(a->m_position.x + (planar > 0.0f ? dy / planar * half : 0.0f),
                          a->m_position.y + (planar > 0.0f ? -dx / planar * half : 0.0f), a->m_position.z,
                          a->m_position.w);
    m_rotation.Set(0.0f, 0.0f, std::atan2(dy, dx) * kDegreesPerRadian, m_rotation.w);
    SetRenderPosition(position);
}
