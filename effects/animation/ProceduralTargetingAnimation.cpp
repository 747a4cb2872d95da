#include "effects/animation/ProceduralTargetingAnimation.h"

#include "effects/animation/AnimationClock.h"
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshSkeleton.h"
#include "effects/animation/PoseBlending.h"
#include "scene/entities/Entity.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float kDegrees = 57.29577951f;

// Into [0, 360).
float Wrap(float degrees)
{
    const float wrapped = degrees - 360.0f * std::floor(degrees / 360.0f);
    return wrapped >= 360.0f ? 0.0f : wrapped;
}

float& Component(Vector& v, int i)
{
    return (&v.x)[i];
}

float Component(const Vector& v, int i)
{
    return (&v.x)[i];
}
} // namespace

ProceduralTargetingAnimation::ProceduralTargetingAnimation(const AnimationParams& params) : ProceduralAnimation(params)
{
    m_callbackTimerStart = GetClock().GetTime();
}

void ProceduralTargetingAnimation::BindToSkeleton(const MeshSkeleton& skeleton, int32_t, int32_t firstBone)
{
    ClearBinding();
    m_skeleton = nullptr;
    m_bone = -1;
    if (firstBone < 0 || uint32_t(firstBone) >= std::min(skeleton.GetBoneCount(), MeshSkeleton::kMaxBones))
        return;
    m_skeleton = &skeleton;
    m_bone = firstBone;
    m_boundToBone[0] = uint8_t(firstBone);
    FinishBinding(1);
}

void ProceduralTargetingAnimation::SetTargetPoint(const Vector& point, bool use)
{
    m_targetPoint = Vector(point.x, point.y, point.z, 1.0f);
    m_hasTargetPoint = use ? 1 : 0;
}

bool ProceduralTargetingAnimation::GetTargetPoint(Vector& point) const
{
    if (m_hasTargetPoint == 0)
        return false;
    point = m_targetPoint;
    return true;
}

void ProceduralTargetingAnimation::SetTargetEntity(Entity* entity)
{
    m_targetEntity = entity;
    m_hasTargetEntity = entity != nullptr ? 1 : 0;
}

void ProceduralTargetingAnimation::SetRotationVector(const Vector& degrees, bool freeze)
{
    m_rotation = degrees;
    m_tracking = freeze ? 0 : 1;
    m_aimPoint.w = 0.0f;
}

void ProceduralTargetingAnimation::SetRotationLimits(const Vector& minimum, const Vector& maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void ProceduralTargetingAnimation::SetRotationLimits2(float minX, float maxX, float minY, float maxY)
{
    m_minimum = Vector(minX, minY, 0.0f, 0.0f);
    m_maximum = Vector(maxX, maxY, 0.0f, 0.0f);
}

void ProceduralTargetingAnimation::SetRotationSpeed(float x, float y)
{
    m_rotationSpeed = Vector(x, y, 0.0f, 0.0f);
}

void ProceduralTargetingAnimation::SetRotationSlowDownZone(float x, float y)
{
    m_slowDownZone = Vector(x, y, 0.0f, 0.0f);
}

void ProceduralTargetingAnimation::SetRotationCallbackSpeed(float start, float stop)
{
    m_startSpeedSquared = start * start;
    m_stopSpeedSquared = stop * stop;
}

void ProceduralTargetingAnimation::SetRotationCallbackListener(Entity* listener)
{
    m_listener = listener;
}

void ProceduralTargetingAnimation::EnableAxis(bool x, bool y)
{
    m_axisX = x ? 1 : 0;
    m_axisY = y ? 1 : 0;
}

void ProceduralTargetingAnimation::EnableStabilizer(bool on)
{
    m_stabilizer = on ? 1 : 0;
    if (!on)
        m_aimPoint.w = 0.0f;
}

void ProceduralTargetingAnimation::SetTimer(const AnimationClock* clock)
{
    BaseAnimation::SetTimer(clock);
    m_params.Flags &= ~uint32_t(ANIMFLAG_TIME_MASK);
}

Matrix ProceduralTargetingAnimation::BaseMatrix(const AnimationSampleContext& context) const
{
    const uint8_t parent = m_skeleton->GetBone(uint32_t(m_bone)).parent;
    const Matrix& parentNode =
        context.NodeMatrices()[parent < m_bone ? parent : AnimationSampleContext::kIdentityParent];
    Matrix toParent;
    PoseBlending::Then(m_skeleton->GetRestMatrix(uint32_t(m_bone)), parentNode, toParent);
    Matrix result;
    PoseBlending::Then(toParent, context.rootMatrix, result);
    return result;
}

Vector ProceduralTargetingAnimation::AnglesToward(const Vector& point, const AnimationSampleContext& context) const
{
    if (m_skeleton == nullptr)
        return Vector();
    const Matrix base = BaseMatrix(context);
    const Vector& at = base.rows[3];
    const Vector d(point.x - at.x, point.y - at.y, point.z - at.z, 0.0f);
    float yaw = 0.0f;
    if (m_axisY != 0)
        yaw = std::atan2(d.Dot3(base.rows[0]), d.Dot3(base.rows[2])) * kDegrees;
    float pitch = 0.0f;
    if (m_axisX != 0)
    {
        float u;
        float v;
        if (m_axisY != 0)
        {
            Matrix turn;
            turn.LoadYRotation(yaw);
            Matrix turned;
            PoseBlending::Then(turn, base, turned);
            u = d.Dot3(turned.rows[2]);
            v = d.Dot3(turned.rows[1]);
        }
        else
        {
            // A scaled-away axis gives no direction instead of a division by zero.
            const float zz = base.rows[2].Dot3(base.rows[2]);
            const float yy = base.rows[1].Dot3(base.rows[1]);
            u = zz > 0.0f ? d.Dot3(base.rows[2]) / zz : 0.0f;
            v = yy > 0.0f ? d.Dot3(base.rows[1]) / yy : 0.0f;
        }
        const float o = m_aimOffset;
        const float a = u * u + v * v;
        const float b = -2.0f * u * o;
        const float c = o * o - v * v;
        const float discriminant = b * b - 4.0f * a * c;
        if (discriminant > 0.0f && a > 0.0f)
        {
            // Rounding can carry the sine a hair past 1, where asin gives NaN.
            const float sine = std::clamp((std::sqrt(discriminant) - b) / (2.0f * a), -1.0f, 1.0f);
            pitch = std::asin(sine) * kDegrees;
            if (d.y > 0.0f)
                pitch = -pitch;
            if (pitch > 180.0f)
                pitch -= 360.0f;
            else if (pitch < -180.0f)
                pitch += 360.0f;
        }
    }
    pitch = std::clamp(pitch, m_minimum.x, std::max(m_minimum.x, m_maximum.x));
    yaw = std::clamp(yaw, m_minimum.y, std::max(m_minimum.y, m_maximum.y));
    return Vector(Wrap(pitch), Wrap(yaw), 0.0f, 0.0f);
}

void ProceduralTargetingAnimation::Advance(const Vector& desired, float step)
{
    for (int i = 0; i < 3; ++i)
    {
        const float diff = Component(desired, i) - Component(m_rotation, i);
        // The short way round: past half a turn the other direction is nearer.
        float distance = std::fabs(diff);
        float direction = diff >= 0.0f ? 1.0f : -1.0f;
        if (distance >= 180.0f)
        {
            distance = 360.0f - distance;
            direction = -direction;
        }
        const float zone = std::max(Component(m_slowDownZone, i), 1e-6f);
        const float speed = std::min(distance / zone, 1.0f) * Component(m_rotationSpeed, i);
        const float move = std::min(step * speed, distance) * direction;
        Component(m_rotation, i) = Wrap(Component(m_rotation, i) + move);
        Component(m_angularVelocity, i) = move / step;
    }
}

void ProceduralTargetingAnimation::RunCallbacks(float speedSquared)
{
    Entity* const listener = m_listener.Get();
    const Time now = GetClock().GetTime();
    const float waited = float((now - m_callbackTimerStart).ToSeconds());
    switch (m_callbackState)
    {
    case CALLBACK_STILL:
        if (speedSquared >= m_startSpeedSquared)
        {
            m_callbackTimerStart = now;
            m_callbackState = CALLBACK_STARTING;
        }
        break;
    case CALLBACK_STARTING:
        if (speedSquared < m_startSpeedSquared)
            m_callbackState = CALLBACK_STILL;
        else if (waited > kCallbackDebounce)
        {
            m_callbackState = CALLBACK_TURNING;
            if (listener != nullptr)
                listener->OnProcTargetingAnimRotStart();
        }
        break;
    case CALLBACK_TURNING:
        if (speedSquared <= m_stopSpeedSquared)
        {
            m_callbackTimerStart = now;
            m_callbackState = CALLBACK_STOPPING;
        }
        break;
    default:
        if (speedSquared > m_stopSpeedSquared)
            m_callbackState = CALLBACK_TURNING;
        else if (waited > kCallbackDebounce)
        {
            m_callbackState = CALLBACK_STILL;
            if (listener != nullptr)
                listener->OnProcTargetingAnimRotStop();
        }
        break;
    }
}

void ProceduralTargetingAnimation::Sample(AnimationSampleContext& context, const MeshSkeleton&, MeshAnimator&)
{
    UpdateFader();
    const Time now = GetClock().GetTime();
    const float elapsed = m_clockStarted ? float((now - m_lastClockTime).ToSeconds()) : 0.0f;
    m_lastClockTime = now;
    m_clockStarted = true;
    const float step = elapsed * m_speedFactor;
    if (m_samples.empty())
        return;
    if (step > 0.0f && m_tracking != 0)
    {
        if (m_stabilizer != 0 && m_aimPoint.w == 1.0f)
            m_rotation = AnglesToward(m_aimPoint, context);
        if (m_hasTargetEntity != 0)
        {
            if (const Entity* const target = m_targetEntity.Get())
            {
                const Vector& position = target->GetGlobalPosition();
                m_targetPoint = Vector(position.x, position.y, position.z, 1.0f);
                m_hasTargetPoint = 1;
            }
            else
            {
                m_hasTargetEntity = 0;
                m_hasTargetPoint = 0;
            }
        }
        const Vector desired = m_hasTargetPoint != 0 ? AnglesToward(m_targetPoint, context) : Vector();
        Advance(desired, step);
        if (m_listener.Get() != nullptr)
            RunCallbacks(m_angularVelocity.x * m_angularVelocity.x + m_angularVelocity.y * m_angularVelocity.y +
                         m_angularVelocity.z * m_angularVelocity.z);
    }
    AnimationBoneSample& sample = m_samples[0];
    Quaternion pitch;
    pitch.LoadXRotation(m_rotation.x);
    Quaternion yaw;
    yaw.LoadYRotation(m_rotation.y);
    sample.rotation.SetProduct(pitch, yaw);
    if (step <= 0.0f)
        return;
    if (m_tracking != 0 && m_stabilizer != 0 && m_hasTargetPoint != 0)
    {
        const Matrix posed = PoseBlending::LocalMatrix(sample, Matrix::ONE);
        Matrix world;
        PoseBlending::Then(posed, BaseMatrix(context), world);
        const Vector& at = world.rows[3];
        const Vector toTarget(m_targetPoint.x - at.x, m_targetPoint.y - at.y, m_targetPoint.z - at.z, 0.0f);
        const float distance = std::sqrt(toTarget.Dot3(toTarget));
        const Vector& z = world.rows[2];
        m_aimPoint = Vector(at.x + z.x * distance, at.y + z.y * distance, at.z + z.z * distance, 1.0f);
    }
    else
        m_aimPoint.w = 0.0f;
}
