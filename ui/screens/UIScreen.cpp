#include "ui/screens/UIScreen.h"

#include "core/console/GameConsole.h"
#include "engine/config/ProjectConfig.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/resources/ResourceManager.h"
#include "ui/elements/UIElementIdMap.h"
#include "ui/elements/UITextBase.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{
uint32_t gUIWidth = 1280;
uint32_t gUIHeight = 720;
float gUIWidthOverride = 0.0f;
float gUIHeightOverride = 0.0f;

// The point (0..1, y down) in normalised device units (y up).
void ToDevice(const Vector& point, float& x, float& y)
{
    x = point.x * 2.0f - 1.0f;
    y = 1.0f - point.y * 2.0f;
}

// One-sided ray test along +z from (x, y) against the triangle; the hit's z in `depth`.
bool RayHitsTriangle(float x, float y, const Vector& a, const Vector& b, const Vector& c, float& depth)
{
    // Möller-Trumbore with the direction (0, 0, 1).
    const float e1x = b.x - a.x, e1y = b.y - a.y, e1z = b.z - a.z;
    const float e2x = c.x - a.x, e2y = c.y - a.y, e2z = c.z - a.z;
    // p = d x e2 = (-e2y, e2x, 0)
    const float px = -e2y, py = e2x;
    const float det = e1x * px + e1y * py;
    if (det < 0.000001f)
        return false;
    const float tx = x - a.x, ty = y - a.y, tz = -a.z;
    const float u = (tx * px + ty * py) / det;
    if (u < 0.0f || u > 1.0f)
        return false;
    // q = t x e1
    const float qx = ty * e1z - tz * e1y, qy = tz * e1x - tx * e1z, qz = tx * e1y - ty * e1x;
    const float v = qz / det;
    if (v < 0.0f || u + v > 1.0f)
        return false;
    depth = (e2x * qx + e2y * qy + e2z * qz) / det;
    return true;
}

// Either winding: a mirrored element's quad turns around and must stay clickable.
bool RayHitsQuad(float x, float y, const UISelectionCandidate& candidate, float& depth)
{
    const Vector* const c = candidate.corners;
    return RayHitsTriangle(x, y, c[0], c[1], c[2], depth) || RayHitsTriangle(x, y, c[0], c[2], c[3], depth) ||
           RayHitsTriangle(x, y, c[0], c[2], c[1], depth) || RayHitsTriangle(x, y, c[0], c[3], c[2], depth);
}

Vector CandidateAverage(const UISelectionCandidate& candidate)
{
    Vector sum(0.0f, 0.0f, 0.0f, 0.0f);
    for (const Vector& corner : candidate.corners)
        sum.Add(corner);
    sum.Mul(0.25f);
    return sum;
}
} // namespace

float UIGetEffectiveScaleX()
{
    return gUIWidthOverride > 0.0f ? gUIWidthOverride : gProjectConfig.m_uiScreenWidth;
}

float UIGetEffectiveScaleY()
{
    return gUIHeightOverride > 0.0f ? gUIHeightOverride : gProjectConfig.m_uiScreenHeight;
}

UIScreen::UIScreen()
{
    m_scriptClassName = "UIScreen";
    RaiseFlag(UIFLAG_TRANSPARENT);
}

UIScreen::~UIScreen()
{
    for (UIEntityTrackingEntry* entry : m_tracking)
        delete entry;
}

void UIScreen::OnRemoved()
{
    for (UIEntityTrackingEntry* entry : m_tracking)
        delete entry;
    m_tracking.FreeStorage();
    UIElement::OnRemoved();
}

// ---- Layout and drawing ----

void UIScreen::ComputeLayout(uint32_t windowWidth, uint32_t windowHeight)
{
    UIScreenLayout& layout = m_layout;
    layout.windowWidth = float(windowWidth);
    layout.windowHeight = float(windowHeight);
    if (m_windowSizeLayout)
    {
        layout.width = float(windowWidth);
        layout.height = float(windowHeight);
    }
    else
    {
        layout.width = UIGetEffectiveScaleX();
        layout.height = UIGetEffectiveScaleY();
    }
    layout.width *= m_scaleFactorX;
    layout.height *= m_scaleFactorY;
    layout.scaleX = layout.scaleY = 1.0f;
    layout.valid = layout.width > 0.0f && layout.height > 0.0f && windowWidth > 0 && windowHeight > 0;
    if (!layout.valid)
        return;
    const float width = layout.width, height = layout.height;
    const float nearPlane = width * gProjectConfig.m_uiScreenZNearMult;
    const float farPlane = width * gProjectConfig.m_uiScreenZFarMult;
    // The UI plane lies on the near plane, where the perspective projection draws it as the
    // orthographic one would; elements turned out of the plane get perspective.
    layout.projection.LoadPerspectiveOffCenterLH(-width * 0.5f, width * 0.5f, height * 0.5f, -height * 0.5f,
                                                 nearPlane, farPlane);
    if (m_keepAspect)
    {
        const float a = (layout.windowHeight * width) / (layout.windowWidth * height);
        layout.scaleX = a <= 1.0f ? a : 1.0f;
        layout.scaleY = a <= 1.0f ? 1.0f : 1.0f / a;
        Matrix scale;
        scale.LoadScale(Vector(layout.scaleX, layout.scaleY, 1.0f, 1.0f));
        layout.projection.Mul(scale, layout.projection);
    }
    // The projected origin lands on a pixel corner, so that whole UI units fill whole pixels.
    Vector origin(-width * 0.5f, -height * 0.5f, nearPlane, 1.0f);
    origin.Transform(layout.projection);
    const float pixelX = (origin.x / origin.w * 0.5f + 0.5f) * layout.windowWidth;
    const float pixelY = (0.5f - origin.y / origin.w * 0.5f) * layout.windowHeight;
    const float shiftX = (std::round(pixelX) - pixelX) * width / (layout.scaleX * layout.windowWidth);
    const float shiftY = (std::round(pixelY) - pixelY) * height / (layout.scaleY * layout.windowHeight);
    layout.view.LoadTranslation(-width * 0.5f + shiftX, -height * 0.5f + shiftY, nearPlane);
}

bool UIScreen::UIPointToScreenPoint(const Vector& point, Vector& out) const
{
    if (!m_layout.valid)
        return false;
    // The letterbox rectangle of the UI inside the window, in UI units.
    float left = 0.0f, top = 0.0f, width = m_layout.width, height = m_layout.height;
    if (m_keepAspect)
    {
        width = m_layout.width / m_layout.scaleX;
        height = m_layout.height / m_layout.scaleY;
        left = (m_layout.width - width) * 0.5f;
        top = (m_layout.height - height) * 0.5f;
    }
    out.Set((point.x - left) / width, (point.y - top) / height, point.z, point.w);
    return true;
}

bool UIScreen::ScreenPointToUIPoint(const Vector& point, Vector& out) const
{
    if (!m_layout.valid)
        return false;
    float left = 0.0f, top = 0.0f, width = m_layout.width, height = m_layout.height;
    if (m_keepAspect)
    {
        width = m_layout.width / m_layout.scaleX;
        height = m_layout.height / m_layout.scaleY;
        left = (m_layout.width - width) * 0.5f;
        top = (m_layout.height - height) * 0.5f;
    }
    out.Set(point.x * width + left, point.y * height + top, point.z, point.w);
    return true;
}

bool UIScreen::WorldPositionToUIPoint(const Vector& position, const Matrix& viewProjection, Vector& out) const
{
    Vector clip(position.x, position.y, position.z, 1.0f);
    clip.Transform(viewProjection);
    if (clip.w < 0.0f)
        return false;
    const float w = std::max(clip.w, 0.0001f);
    const Vector screen(clip.x / w * 0.5f + 0.5f, -clip.y / w * 0.5f + 0.5f, 0.0f, 1.0f);
    return ScreenPointToUIPoint(screen, out);
}

void UIScreen::Draw(uint32_t width, uint32_t height, const FrameClock&, const FrameClock&, const Vector& cursor)
{
    ++m_drawCount;
    m_lastCursor = cursor;
    ComputeLayout(width, height);
    if (!m_layout.valid)
        return;
    NorvexRenderer* const renderer = gRenderer;
    // Tracked elements follow scene entities, so they project with the scene's camera, which the
    // UI's own camera replaces only until this screen's draw is queued.
    const bool switchCamera = renderer != nullptr && renderer->IsStreamOpen();
    GameSideCamera sceneCamera;
    if (renderer != nullptr)
        sceneCamera = renderer->GetGameSideCamera();
    if (switchCamera)
    {
        renderer->SetViewport(gpu::Viewport{0, 0, width, height, 0.0f, 1.0f});
        renderer->SetCamera(m_layout.view, m_layout.projection, Matrix::ONE);
    }
    // Command 28: the pointer is carried into the letterboxed UI.
    const Vector pointer((cursor.x - 0.5f) / m_layout.scaleX + 0.5f, (cursor.y - 0.5f) / m_layout.scaleY + 0.5f,
                         0.0f, 0.0f);
    const uint32_t viewportWords0[2] = {0, 0};
    const uint32_t viewportWords1[2] = {width, height};
    OnLayout(width, height, m_layout.view, m_layout.projection, m_layout.scaleX, m_layout.scaleY);
    WriteScreenMatrices(m_layout.view, m_layout.projection, viewportWords0, viewportWords1, m_layout.width,
                        m_layout.height, m_layout.scaleX, m_layout.scaleY, pointer);
    if (renderer != nullptr)
        UpdateEntityTracking(sceneCamera);
    // A screen that shows its own scene in place of the game's lights it with the UI's scene
    // parameters, and only while it draws.
    const bool ownScene = switchCamera && m_blocksSceneRendering;
    if (ownScene)
        gSceneEnvironment.EnableOverride();
    WriteRenderPass();
    if (ownScene)
        gSceneEnvironment.DisableOverride();
    if (switchCamera)
        renderer->SetCamera(sceneCamera.view, sceneCamera.projection, Matrix::ONE);
}

void UIScreen::UpdateAfterDraw(const Vector& point)
{
    // The acquiring read of the issued count makes the render thread's table visible.
    if (m_candidateHandOver.GetIssued() != m_candidateHandOver.GetCompleted())
    {
        m_mainCandidateCount = std::min<uint32_t>(m_renderCandidateCount, kMaxSelectionCandidates);
        std::copy(m_renderCandidates, m_renderCandidates + m_mainCandidateCount, m_mainCandidates);
        m_candidateHandOver.IncrementCompleted();
    }
    m_hoveredElementId = GetElementAt(point);
}

// ---- Hit tests ----

uint32_t UIScreen::GetElementAt(const Vector& point, bool* persistentTap, float* depth) const
{
    float x = 0.0f, y = 0.0f;
    ToDevice(point, x, y);
    uint32_t found = 0;
    for (uint32_t i = 0; i < m_mainCandidateCount; ++i)
    {
        float hitDepth = 0.0f;
        if (!RayHitsQuad(x, y, m_mainCandidates[i], hitDepth))
            continue;
        // Later candidates were drawn later, on top.
        found = m_mainCandidates[i].id;
        if (persistentTap != nullptr)
            *persistentTap = (m_mainCandidates[i].renderFlags & UIFLAG_PERSISTENTTAP) != 0;
        if (depth != nullptr)
            *depth = hitDepth;
    }
    return found;
}

UIElement* UIScreen::GetElementAtScreenPosition(const Vector& point) const
{
    const uint32_t id = GetElementAt(point);
    return id != 0 ? FindUIElementInIdMap(id) : nullptr;
}

UIElement* UIScreen::GetNearestElement(const Vector& point, float* distance, uint32_t mask, uint32_t value) const
{
    float x = 0.0f, y = 0.0f;
    ToDevice(point, x, y);
    const UISelectionCandidate* best = nullptr;
    float bestSquared = FLT_MAX;
    for (uint32_t i = 0; i < m_mainCandidateCount; ++i)
    {
        const UISelectionCandidate& candidate = m_mainCandidates[i];
        if ((candidate.renderFlags & mask) != value)
            continue;
        const Vector centre = CandidateAverage(candidate);
        const float dx = centre.x - x, dy = centre.y - y;
        if (dx * dx + dy * dy < bestSquared)
        {
            bestSquared = dx * dx + dy * dy;
            best = &candidate;
        }
    }
    if (best == nullptr)
        return nullptr;
    if (distance != nullptr)
        *distance = std::sqrt(bestSquared) * 0.5f;
    return FindUIElementInIdMap(best->id);
}

UIElement* UIScreen::FindNearestCandidateInDirection(const Vector& point, const Vector& direction, float minCos,
                                                     bool requireEnabled, uint32_t mask, uint32_t value) const
{
    float x = 0.0f, y = 0.0f;
    ToDevice(point, x, y);
    UIElement* best = nullptr;
    float bestSquared = FLT_MAX;
    for (uint32_t i = 0; i < m_mainCandidateCount; ++i)
    {
        const UISelectionCandidate& candidate = m_mainCandidates[i];
        if ((candidate.renderFlags & mask) != value)
            continue;
        const Vector centre = CandidateAverage(candidate);
        const float dx = centre.x - x, dy = centre.y - y;
        const float squared = dx * dx + dy * dy;
        if (squared <= 0.001f * 0.001f || squared >= bestSquared)
            continue;
        const float length = std::sqrt(squared);
        if ((dx * direction.x + dy * direction.y) / length <= minCos)
            continue;
        UIElement* const element = FindUIElementInIdMap(candidate.id);
        if (element == nullptr || (requireEnabled && !element->IsEnabled()))
            continue;
        best = element;
        bestSquared = squared;
    }
    return best;
}

int32_t UIScreen::FindSelectionCandidate(uint32_t elementId) const
{
    for (uint32_t i = 0; i < m_mainCandidateCount; ++i)
        if (m_mainCandidates[i].id == elementId)
            return int32_t(i);
    return -1;
}

bool UIScreen::IsPointInSelectionCandidate(int32_t candidate, const Vector& point) const
{
    if (candidate < 0 || uint32_t(candidate) >= m_mainCandidateCount)
        return false;
    float x = 0.0f, y = 0.0f, depth = 0.0f;
    ToDevice(point, x, y);
    return RayHitsQuad(x, y, m_mainCandidates[candidate], depth);
}

bool UIScreen::GetCandidateCentre(uint32_t elementId, Vector& centre) const
{
    const int32_t index = FindSelectionCandidate(elementId);
    if (index < 0)
        return false;
    const Vector average = CandidateAverage(m_mainCandidates[index]);
    centre.Set(average.x * 0.5f + 0.5f, 0.5f - average.y * 0.5f, 0.0f, 1.0f);
    return true;
}

// ---- Settings ----

void UIScreen::OnResolutionChanged(uint32_t width, uint32_t height, bool refreshFonts, bool relayoutTexts)
{
    if (refreshFonts)
    {
        UITextBase::ClearAllFonts();
        if (gRenderer != nullptr && gRenderer->IsStreamOpen())
            gRenderer->SubmitCommands(true);
        if (gResourceManager != nullptr && gResourceManager->IsInitialised())
        {
            gResourceManager->PostCommand(RESOURCE_POOL_FONTS, 0, 0);
            gResourceManager->Flush();
        }
    }
    gUIWidth = width;
    gUIHeight = height;
    if (relayoutTexts)
        UITextBase::RefreshAllFonts();
}

uint32_t UIScreen::GetUIWidth()
{
    return gUIWidth;
}

uint32_t UIScreen::GetUIHeight()
{
    return gUIHeight;
}

void UIScreen::SetUISizeOverride(float width, float height)
{
    gUIWidthOverride = width;
    gUIHeightOverride = height;
}
