// The in-game camera controller: a GameCameraControllerCamera that owns the camera sub-controllers,
// follows the current one, blends to a newly chosen one with an easing curve, adds a shake, and
// feeds the result to the camera it is. Main thread only.
//
// The Game makes one at start-up with the window size; each frame its update runs Update, and its
// render calls ApplyFieldOfView (the shake value for the post chain), SetViewport, ApplyToRenderer
// and SubmitToRenderer; the visible-entity gather then reads GetFrustumPlanes and GetFrustumBox.
// Times come from the game clocks installed in gCameraClocks.
#pragma once

#include "core/containers/Dynarray.h"
#include "scene/cameras/GameCameraControllerCamera.h"

#include <cstdint>

class NXBaseCameraSubcontroller;

// See the design comment above.
class GameCameraController : public GameCameraControllerCamera
{
public:
    // Sub-controller kinds of AddNewSubcontroller.
    enum SubcontrollerKind : uint32_t
    {
        SUBCONTROLLER_BASE = 0,
        SUBCONTROLLER_RTS = 1,
        SUBCONTROLLER_RTS_TARGET = 2,
    };
    // Shake flag: full strength for the whole shake instead of a half-sine swell.
    static constexpr uint32_t kShakeFullStrength = 8;
    using AfterUpdateCallback = void (*)(const Quaternion& rotation);

    // Viewport (0, 0, width, height, 0, 1), grey background; lists itself with the engine.
    GameCameraController(uint32_t width, uint32_t height);
    // Deletes every sub-controller and leaves the engine's list.
    ~GameCameraController() override;
    GameCameraController(const GameCameraController&) = delete;
    GameCameraController& operator=(const GameCameraController&) = delete;

    // A new sub-controller of the kind, appended; null for an unknown kind.
    NXBaseCameraSubcontroller* AddNewSubcontroller(uint32_t kind);
    // False for null, for the current one and for one not in the list.
    bool DeleteSubcontroller(NXBaseCameraSubcontroller* sub);
    // Deletes them all; none is current afterwards.
    void DeleteAllSubcontrollers();
    // Switches at once (blend time below 0.001 or nothing current) or blends over the time in
    // seconds of the clock the flags select, with their easing. Always true.
    bool SetCurrentSubcontroller(NXBaseCameraSubcontroller* sub, float blendTime, uint32_t flags);
    NXBaseCameraSubcontroller* GetCurrentSubcontroller() const { return m_current; }
    int32_t GetSubcontrollerCount() const { return m_subcontrollers.Count(); }
    NXBaseCameraSubcontroller* GetSubcontroller(int32_t index) const { return m_subcontrollers[index]; }

    // Starts a shake only when none runs and the duration is above 0; the frequencies are in Hz.
    bool StartCameraShakeEffect(float duration, float strengthX, float strengthY, float frequencyX, float frequencyY,
                                float thirdStrength, uint32_t flags);
    // Ends the shake and stops every pad's motors.
    void ResetCameraShakeEffect();
    bool IsShaking() const { return m_shakeDuration > 0.0f; }

    void SetClipPlanes(float zNear, float zFar) { SetCameraClipPlanes(zNear, zFar); }
    void SetSoundListenerAltitude(float altitude);
    float GetSoundListenerAltitude() const { return m_listenerAltitude; }
    // Viewport (0, 0, width, height, 0, 1).
    void SetViewport(uint32_t width, uint32_t height);
    // Whether the point (its w as given) is on the inner side of all six planes of the camera's
    // own view and projection.
    bool IsPointInsideFrustum(const Vector& point) const;
    void ComputeViewProjection(const Vector& position, const Quaternion& rotation, float fov, Matrix& view,
                               Matrix& projection) const
    {
        ComputeMatricesFor(position, rotation, fov, view, projection);
    }
    // The render step's effect value: shake scale times the shake's third output, through the
    // renderer's field-of-view command.
    void SubmitShakeValue();
    // What the game's render calls each frame before the viewport: see SubmitShakeValue.
    void ApplyFieldOfView() { SubmitShakeValue(); }

    // Once per frame: the current sub-controller's update, the blend, the shake, then the camera
    // takes the state and the after-update callback gets the rotation.
    void Update();
    void SetAfterUpdateCallback(AfterUpdateCallback callback) { m_afterUpdate = callback; }

    // The state the camera takes (shake included).
    const Vector& GetCurrentPosition() const { return m_position; }
    const Quaternion& GetCurrentRotation() const { return m_rotation; }
    float GetCurrentFOV() const { return m_fov; }
    const Vector& GetCurrentProjectionOffset() const { return m_projectionOffset; }
    float GetCurrentShakeScale() const { return m_shakeScale; }
    bool IsBlending() const { return m_blendDuration > 0.0f; }
    // The shake's outputs of the last update.
    float GetShakeOutputX() const { return m_shakeOutputX; }
    float GetShakeOutputY() const { return m_shakeOutputY; }
    float GetShakeOutputThird() const { return m_shakeOutputThird; }

private:
    // -1 when not listed.
    int32_t IndexOf(const NXBaseCameraSubcontroller* sub) const;
    void TakeStateFrom(const NXBaseCameraSubcontroller& sub);
    void BlendTo(const NXBaseCameraSubcontroller& sub, float e);
    void UpdateShake();
    void EndShake();
    // Every pad gets (x, y), unless the second game timer is held: then (0, 0) once.
    void VibratePads(float x, float y);

    Dynarray<NXBaseCameraSubcontroller*> m_subcontrollers;
    NXBaseCameraSubcontroller* m_current = nullptr;

    uint64_t m_shakeStart = 0;
    float m_shakeDuration = -1.0f; // seconds; -1 none
    uint32_t m_shakeFlags = 0;
    float m_shakeStrengthX = 0.0f;
    float m_shakeStrengthY = 0.0f;
    float m_shakeFrequencyX = 0.0f;
    float m_shakeFrequencyY = 0.0f;
    float m_shakeStrengthThird = 0.0f;
    float m_shakeOutputX = 0.0f;
    float m_shakeOutputY = 0.0f;
    float m_shakeOutputThird = 0.0f;
    bool m_padsSilenced = false;

    float m_blendDuration = -1.0f; // seconds; -1 none
    uint32_t m_blendFlags = 0;
    uint64_t m_blendStart = 0;
    Vector m_fromProjectionOffset;
    Vector m_fromPosition;
    Quaternion m_fromRotation;
    float m_fromFOV = 0.0f;
    float m_fromShakeScale = 0.0f;

    Vector m_projectionOffset;
    Vector m_position{0.0f, 0.0f, 0.0f, 1.0f};
    Quaternion m_rotation;
    float m_fov = 30.0f;
    float m_shakeScale = 0.0f;
    // The rotation before the last shake step, while no sub-controller is current to set it again.
    Quaternion m_restRotation;
    bool m_shakeTurned = false;

    float m_listenerAltitude = 100.0f;
    AfterUpdateCallback m_afterUpdate = nullptr;
};
