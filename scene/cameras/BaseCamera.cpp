#include "scene/cameras/BaseCamera.h"

#include "audio/sound/SoundEngine.h"
#include "core/console/GameConsole.h"
#include "renderer/NorvexRenderer.h"

RTTI_DEFINE_CLASS_TABLE(BaseCamera, RTTIPolyBaseClass)

void BaseCamera::BuildClassProperties(RTTIPropertiesBase&) {}

void BaseCamera::UpdateSoundListener()
{
    if (gSoundEngine != nullptr)
        gSoundEngine->SetListenerMatrix(m_rendererCamera);
}

void BaseCamera::SetViewport(uint32_t x, uint32_t y, uint32_t width, uint32_t height, float minZ, float maxZ)
{
    m_viewport = {x, y, width, height, minZ, maxZ};
}

float BaseCamera::GetViewportAspect() const
{
    if (IsViewportEmpty())
        return 1.0f;
    return float(m_viewport.width) / float(m_viewport.height);
}

bool BaseCamera::SendToRenderer()
{
    if (gRenderer == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "A camera cannot be sent without a renderer");
        return false;
    }
    if (!IsViewportEmpty())
        gRenderer->SetViewport(m_viewport);
    gRenderer->SetCamera(m_view, m_projection, Matrix::ONE);
    const GameSideCamera& sent = gRenderer->GetGameSideCamera();
    m_rendererCamera = sent.inverseView;
    m_rendererSecond = sent.inverseViewProjection;
    for (int i = 0; i < 6; ++i)
        m_frustumPlanes[i] = sent.frustumPlanes[i];
    m_frustumBox = sent.frustumBox;
    return true;
}

bool BaseCamera::ApplyToRenderer(bool updateListener, uint32_t clearFlags, const Vector* color)
{
    ComputeMatrices(m_view, m_projection);
    if (!SendToRenderer() || IsViewportEmpty())
        return false;
    if (clearFlags != 0)
        gRenderer->Clear(clearFlags, color != nullptr ? *color : m_backgroundColor, 1.0f, 0);
    if (updateListener)
        UpdateSoundListener();
    return true;
}
