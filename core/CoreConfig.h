// The core's level of the per-user configuration chain (CoreConfig < EngineConfig < GameConfig).
// Main thread.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"

#include <cstdint>

// Settings of the core: three consecutive bytes, all 0 by default.
class CoreConfig : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(CoreConfig, RTTIPolyBaseClass)

public:
    // Values of "Log frame info".
    enum LogFrameInfo : uint8_t
    {
        LOG_FRAME_INFO_DISABLED = 0,
        LOG_FRAME_INFO_EVERY_LINE = 1,
        LOG_FRAME_INFO_WHEN_CHANGED = 2,
    };

    CoreConfig() = default;

    bool m_connectToExternalConsole = false;
    bool m_breakOnAssert = false;
    uint8_t m_logFrameInfo = LOG_FRAME_INFO_DISABLED;
};
