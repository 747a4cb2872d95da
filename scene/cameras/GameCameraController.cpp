#include "scene/cameras/GameCameraController.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "engine/Game.h"
#include "engine/NorvexEngine.h"
#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "renderer/NorvexRenderer.h"
#include "scene/cameras/CameraClocks.h"
#include "scene/cameras/CameraEasing.h"
#include "scene/cameras/NXRTSTargetCameraSubcontroller.h"
#include "scriptapi/ScriptGameInput.h"

#include <cmath>
#include <numbers>

namespace
{
constexpr float kPi = std::numbers::pi_v<float>;
// Blend times below this switch at once.
constexpr float kMinBlendTime = 0.001f;
const Vector kBackground(0.27450982f, 0.27450982f, 0.27450982f, 1.0f); // 70/255 grey

// The controller whose altitude sound ranges widen by: the last one made that still lives.
GameCameraController* gListenerController = nullptr;

float ListenerAltitude()
{
    return gListenerController != nullptr ? gListenerController->GetSoundListenerAltitude() : 0.0f;
}

void Lerp(Vector& out, const Vector& from, const Vector& to, float e)
{
    out.Mul(from, 1.0f - e);
    out.MulAdd(to, e);
}
} // namespace

GameCameraController::GameCameraController(uint32_t width, uint32_t height)
{
    m_shakeStart = m_blendStart = gCameraClocks.GetTime(0);
    BaseCamera::SetViewport(0, 0, width, height, 0.0f, 1.0f);
    SetBackgroundColor(kBackground);
    SetCameraListenerAltitude(m_listenerAltitude);
    gNorvexEngine.AddCameraController(this);
    gListenerController = this;
    SoundEntriesContainer::SetListenerAltitudeHook(&ListenerAltitude);
}

GameCameraController::~GameCameraController()
{
    DeleteAllSubcontrollers();
    gNorvexEngine.RemoveCameraController(this);
    if (gListenerController == this)
    {
        gListenerController = nullptr;
        SoundEntriesContainer::SetListenerAltitudeHook(nullptr);
    }
}

NXBaseCameraSubcontroller* GameCameraController::AddNewSubcontroller(uint32_t kind)
{
    NXBaseCameraSubcontroller* sub = nullptr;
    switch (kind)
    {
    case SUBCONTROLLER_BASE:
        sub = new NXBaseCameraSubcontroller;
        break;
    case SUBCONTROLLER_RTS:
        sub = new NXRTSCameraSubcontroller;
        break;
    case SUBCONTROLLER_RTS_TARGET:
        sub = new NXRTSTargetCameraSubcontroller;
        break;
    default:
        return nullptr;
    }
    m_subcontrollers.Add(sub);
    return sub;
}

int32_t GameCameraController::IndexOf(const NXBaseCameraSubcontroller* sub) const
{
    for (int32_t i = 0; i < m_subcontrollers.Count(); ++i)
        if (m_subcontrollers[i] == sub)
            return i;
    return -1;
}

bool GameCameraController::DeleteSubcontroller(NXBaseCameraSubcontroller* sub)
{
    if (sub == nullptr || sub == m_current)
        return false;
    const int32_t index = IndexOf(sub);
    if (index < 0)
        return false;
    m_subcontrollers.RemoveAt(index);
    delete sub;
    return true;
}

void GameCameraController::DeleteAllSubcontrollers()
{
    m_current = nullptr;
    for (int32_t i = 0; i < m_subcontrollers.Count(); ++i)
        delete m_subcontrollers[i];
    m_subcontrollers.Clear();
}

bool GameCameraController::SetCurrentSubcontroller(NXBaseCameraSubcontroller* sub, float blendTime, uint32_t flags)
{
    if ((sub == m_current && blendTime >= kMinBlendTime) || IndexOf(sub) < 0)
        return true;
    if (blendTime < kMinBlendTime || m_current == nullptr)
    {
        m_blendDuration = -1.0f;
        TakeStateFrom(*sub);
    }
    else
    {
        m_fromProjectionOffset = m_projectionOffset;
        m_fromPosition = m_position;
        m_fromRotation = m_rotation;
        m_fromFOV = m_fov;
        m_fromShakeScale = m_shakeScale;
        m_blendFlags = flags;
        m_blendDuration = blendTime;
        m_blendStart = gCameraClocks.GetTime(flags);
    }
    m_current = sub;
    return true;
}

void GameCameraController::TakeStateFrom(const NXBaseCameraSubcontroller& sub)
{
    m_position = sub.GetViewPosition();
    m_projectionOffset = sub.GetProjectionOffset();
    m_rotation = sub.GetRotation();
    m_fov = sub.GetFOV();
    m_shakeScale = sub.GetShakeScale();
    m_shakeTurned = false;
}

void GameCameraController::BlendTo(const NXBaseCameraSubcontroller& sub, float e)
{
    Lerp(m_position, m_fromPosition, sub.GetViewPosition(), e);
    m_position.w = 1.0f;
    m_rotation.Slerp(m_fromRotation, sub.GetRotation(), e);
    m_fov = m_fromFOV * (1.0f - e) + sub.GetFOV() * e;
    Lerp(m_projectionOffset, m_fromProjectionOffset, sub.GetProjectionOffset(), e);
    m_shakeScale = m_fromShakeScale * (1.0f - e) + sub.GetShakeScale() * e;
    m_shakeTurned = false;
}

bool GameCameraController::StartCameraShakeEffect(float duration, float strengthX, float strengthY, float frequencyX,
                                                  float frequencyY, float thirdStrength, uint32_t flags)
{
    if (m_shakeDuration > 0.0f || !(duration > 0.0f))
        return false;
    m_shakeDuration = duration;
    m_shakeStrengthX = strengthX;
    m_shakeStrengthY = strengthY;
    m_shakeFrequencyX = frequencyX;
    m_shakeFrequencyY = frequencyY;
    m_shakeStrengthThird = thirdStrength;
    m_shakeFlags = flags;
    m_shakeStart = gCameraClocks.GetTime(flags);
    m_shakeOutputX = m_shakeOutputY = m_shakeOutputThird = 0.0f;
    return true;
}

void GameCameraController::ResetCameraShakeEffect()
{
    m_shakeDuration = 0.0f;
    m_shakeOutputX = m_shakeOutputY = m_shakeOutputThird = 0.0f;
    gGame.GetInputManager().VibrateXController(0.0f, 0.0f, INPUT_ANY_PAD);
}

void GameCameraController::EndShake()
{
    m_shakeDuration = 0.0f;
    m_shakeOutputX = m_shakeOutputY = m_shakeOutputThird = 0.0f;
    VibratePads(0.0f, 0.0f);
}

void GameCameraController::VibratePads(float x, float y)
{
    if (gCameraClocks.IsSecondTimerHeld())
    {
        if (!m_padsSilenced)
            ScriptGameVibrateXController(&gGame, 0.0f, 0.0f, 0.0f);
        m_padsSilenced = true;
        return;
    }
    m_padsSilenced = false;
    ScriptGameVibrateXController(&gGame, x, y, 0.0f);
}

void GameCameraController::UpdateShake()
{
    if (!(m_shakeDuration > 0.0f))
        return;
    const float t = CameraClocks::SecondsBetween(m_shakeStart, gCameraClocks.GetTime(m_shakeFlags));
    if (t > m_shakeDuration)
    {
        EndShake();
        return;
    }
    const float k = (m_shakeFlags & kShakeFullStrength) != 0 ? 1.0f : std::sin(t / m_shakeDuration * kPi);
    const float a = std::sin(2.0f * kPi * m_shakeFrequencyX * t) * k;
    const float b = std::sin(2.0f * kPi * m_shakeFrequencyY * t) * k;
    m_shakeOutputX = m_shakeStrengthX * a;
    m_shakeOutputY = m_shakeStrengthY * b;
    m_shakeOutputThird = (a + b) * m_shakeStrengthThird;
    VibratePads(std::fabs(m_shakeOutputX), std::fabs(m_shakeOutputY));
    m_restRotation = m_rotation;
    m_shakeTurned = true;
    Quaternion turnY, turnX;
    turnY.LoadYRotation(m_shakeOutputY * m_shakeScale);
    turnX.LoadXRotation(m_shakeOutputX * m_shakeScale);
    m_rotation.Mul(turnY);
    m_rotation.Mul(turnX);
}

void GameCameraController::Update()
{
    // Without a sub-controller nothing sets the rotation again each frame: the last shake step
    // must be taken back, or every step would add to the one before and the view would drift.
    if (m_shakeTurned)
    {
        m_rotation = m_restRotation;
        m_shakeTurned = false;
    }
    if (m_current != nullptr)
    {
        m_current->Update();
        if (m_blendDuration > 0.0f)
        {
            const float elapsed = CameraClocks::SecondsBetween(m_blendStart, gCameraClocks.GetTime(m_blendFlags));
            if (elapsed < m_blendDuration)
                BlendTo(*m_current, EaseCamera(m_blendFlags & 7, elapsed / m_blendDuration, true));
            else
            {
                m_blendDuration = -1.0f;
                TakeStateFrom(*m_current);
            }
        }
        else
            TakeStateFrom(*m_current);
    }
    UpdateShake();
    SetCameraRotation(m_rotation);
    SetCameraPosition(m_position);
    SetFOV(m_fov);
    Matrix offset;
    offset.LoadTranslation(m_projectionOffset);
    SetPostProjection(offset);
    if (m_afterUpdate != nullptr)
        m_afterUpdate(m_rotation);
}

void GameCameraController::SetSoundListenerAltitude(float altitude)
{
    m_listenerAltitude = altitude;
    SetCameraListenerAltitude(altitude);
}

void GameCameraController::SetViewport(uint32_t width, uint32_t height)
{
    BaseCamera::SetViewport(0, 0, width, height, 0.0f, 1.0f);
}

bool GameCameraController::IsPointInsideFrustum(const Vector& point) const
{
    Matrix m;
    m.Mul(m_projection, m_view);
    m.Transpose();
    static const Vector kClipPlanes[6] = {
        Vector(0, 0, 1, 0), Vector(0, 0, -1, 1), Vector(-1, 0, 0, 1),
        Vector(1, 0, 0, 1), Vector(0, -1, 0, 1), Vector(0, 1, 0, 1),
    };
    for (const Vector& clip : kClipPlanes)
    {
        Vector plane;
        plane.Transform(m, clip);
        if (!(plane.Dot4(point) >= 0.0f))
            return false;
    }
    return true;
}

void GameCameraController::SubmitShakeValue()
{
    if (gRenderer != nullptr)
        gRenderer->SetShakeValue(m_shakeScale * m_shakeOutputThird);
}
