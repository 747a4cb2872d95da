#include "scene/cameras/CameraClocks.h"

#include "core/time/GameTimer.h"
#include "core/time/Time.h"
#include "engine/EngineTimer.h"

CameraClocks gCameraClocks;

void CameraClocks::Install(const GameTimer* secondTimer, const GameTimer* thirdTimer, const GameTimer* fourthTimer,
                           const float* frameStepSeconds)
{
    m_second = secondTimer;
    m_third = thirdTimer;
    m_fourth = fourthTimer;
    m_frameStep = frameStepSeconds;
}

uint64_t CameraClocks::GetTime(uint32_t flags) const
{
    switch (flags & kCameraClockMask)
    {
    case kCameraClockFourthTimer:
        return m_fourth != nullptr ? m_fourth->GetTime() : 0;
    case kCameraClockEngine:
        return uint64_t(gEngineTimer.GetTicks());
    default:
        return m_third != nullptr ? m_third->GetTime() : 0;
    }
}

float CameraClocks::SecondsBetween(uint64_t start, uint64_t now)
{
    if (now <= start)
        return 0.0f;
    return float(double(now - start) / double(Time::GetFrequency()));
}

float CameraClocks::GetThirdTimerStep() const
{
    return m_third != nullptr ? m_third->GetLastStep() : 0.0f;
}

bool CameraClocks::IsThirdTimerPaused() const
{
    return m_third != nullptr && m_third->IsPaused();
}

bool CameraClocks::IsSecondTimerHeld() const
{
    return m_second != nullptr && m_second->IsPaused();
}
