// Screen points and world positions through the game camera, and the mouse clicks on the entities
// of the frame's visible list that follow from them. Main thread only.
//
// Screen points are normalized: 0 to 1 across the window, y downwards. The camera's matrices are
// those of its last send to the renderer (the frame's), so a point maps as the frame showed it.
#include "engine/Game.h"

#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/entities/EntityManager.h"

#include <cmath>

namespace
{
// The click segment's length along the ray, in world units.
constexpr float kClickReach = 100000.0f;
// Below this |w| a position lies in the camera's plane and has no screen point.
constexpr float kMinimumW = 1e-6f;
} // namespace

void Game::ScreenPointToWorld(const Vector& point, Vector& origin, Vector& direction) const
{
    if (m_cameraController == nullptr)
    {
        origin.Set(0.0f, 0.0f, 0.0f, 1.0f);
        direction.Set(0.0f, 0.0f, 1.0f, 0.0f);
        return;
    }
    Vector far(2.0f * point.x - 1.0f, 1.0f - 2.0f * point.y, 1.0f, 1.0f);
    far.TransformHomogen(m_cameraController->GetRendererSecondMatrix());
    origin = m_cameraController->GetRendererCameraMatrix().rows[3];
    origin.w = 1.0f;
    direction.Sub(far, origin);
    direction.w = 0.0f;
    const float length = direction.Length();
    if (length > 0.0f)
        direction.Div(length);
    else
        direction.Set(0.0f, 0.0f, 1.0f, 0.0f);
}

bool Game::LoadScreenPointProjectedOnWorldPlane(Vector& result, const Vector& point, const Vector& plane) const
{
    Vector origin;
    Vector direction;
    ScreenPointToWorld(point, origin, direction);
    float t = 0.0f;
    return result.ProjectForwardOntoPlane(plane, origin, direction, t);
}

Vector Game::WorldPositionToScreenPoint(const Vector& position) const
{
    if (m_cameraController == nullptr)
        return Vector(0.0f, 0.0f, 0.0f, 1.0f);
    Matrix viewProjection;
    viewProjection.Mul(m_cameraController->GetProjection(), m_cameraController->GetView());
    Vector clip(position.x, position.y, position.z, 1.0f);
    clip.Transform(viewProjection);
    // A position in the camera's own plane would divide by zero: it has no point on the screen.
    if (std::fabs(clip.w) < kMinimumW)
        return Vector(0.0f, 0.0f, 0.0f, 1.0f);
    const float x = clip.x / clip.w;
    const float y = clip.y / clip.w;
    return Vector(0.5f * x + 0.5f, 0.5f - 0.5f * y, clip.z / clip.w, 1.0f);
}

void Game::DispatchMouseClicks()
{
    for (uint32_t code = INPUT_MOUSE_LEFT; code <= INPUT_MOUSE_MIDDLE_DOUBLE_CLICK; ++code)
    {
        if (!m_inputManager->IsKeyPressedForTheFirstTime(code))
            continue;
        Vector origin;
        Vector direction;
        ScreenPointToWorld(m_inputManager->GetCursorPosition(), origin, direction);
        Vector end;
        end.MulAdd(origin, direction, kClickReach);
        end.w = 1.0f;
        gEntityManager.DispatchClicksAlongSegment(origin, end);
    }
}

bool Game::UIPointToScreenPoint(const Vector& point, Vector& out) const
{
    const UIScreen* const top = m_screenStack.GetTop();
    return top != nullptr && top->UIPointToScreenPoint(point, out);
}

bool Game::ScreenPointToUIPoint(const Vector& point, Vector& out) const
{
    const UIScreen* const top = m_screenStack.GetTop();
    return top != nullptr && top->ScreenPointToUIPoint(point, out);
}

bool Game::WorldPositionToUIPoint(const Vector& position, Vector& out) const
{
    const UIScreen* const top = m_screenStack.GetTop();
    if (top == nullptr || m_cameraController == nullptr)
        return false;
    Matrix viewProjection;
    viewProjection.Mul(m_cameraController->GetProjection(), m_cameraController->GetView());
    return top->WorldPositionToUIPoint(position, viewProjection, out);
}
