#include "ui/screens/UIScreen.h"

#include "core/console/GameConsole.h"
#include "core/math/Matrix.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/ResourceManager.h"

#include <atomic>

namespace
{
uint32_t gUIWidth = 1280;
uint32_t gUIHeight = 720;
std::atomic<bool> gTreeDrawReported{false};
} // namespace

UIScreen::UIScreen() : UIScreen(gUIWidth, gUIHeight) {}

UIScreen::UIScreen(uint32_t width, uint32_t height) : m_width(width), m_height(height)
{
    m_scriptClassName = "UIScreen";
    SetVisible(false);
}

void UIScreen::OnResolutionChanged(uint32_t width, uint32_t height, bool, bool relayout)
{
    m_width = width;
    m_height = height;
    if (relayout)
        Layout();
}

bool UIScreen::OnKey(uint32_t)
{
    return false;
}

bool UIScreen::OnChar(uint32_t)
{
    return false;
}

bool UIScreen::OnPointerBegin(uint32_t, float, float)
{
    return false;
}

bool UIScreen::OnPointerEnd(uint32_t, float, float)
{
    return false;
}

bool UIScreen::OnPointerMove(uint32_t, float, float)
{
    return false;
}

void UIScreen::Draw(uint32_t width, uint32_t height, const FrameClock&, const FrameClock&, const Vector& cursor)
{
    ++m_drawCount;
    m_lastCursor = cursor;
    if (gRenderer == nullptr || !gRenderer->IsStreamOpen())
        return;
    gRenderer->SetViewport(gpu::Viewport{0, 0, width, height, 0.0f, 1.0f});
    // The screen's space: x right and y down in pixels of the screen size.
    Matrix projection;
    projection.LoadOrthoOffCenterLH(0.0f, float(width), float(height), 0.0f, 0.0f, 1.0f);
    gRenderer->SetCamera(Matrix::ONE, projection, Matrix::ONE);
    if (!gTreeDrawReported.exchange(true, std::memory_order_relaxed))
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "UIScreen: the element tree draw is not built yet");
}

void UIScreen::ChangeUIResolution(uint32_t width, uint32_t height, bool refresh)
{
    if (refresh)
    {
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
}

uint32_t UIScreen::GetUIWidth()
{
    return gUIWidth;
}

uint32_t UIScreen::GetUIHeight()
{
    return gUIHeight;
}
