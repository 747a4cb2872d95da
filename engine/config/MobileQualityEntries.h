// Rows of the project's mobile lists: per-device quality and per-quality texture limits, each
// quality level saved as its name. Main thread.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

#include <cstdint>
#include <string>

// Quality level names "Ultra low" to "Very high"; levels of 5 and above are written as "Ultra low".
const std::string* QualityLevelText(uint32_t level);
// Case-insensitive; false (level unchanged) when the name is not a quality level.
bool QualityLevelFromText(const std::string& text, uint32_t& level);

// Reflected quality settings of one mobile device.
class MobileDeviceEntry : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MobileDeviceEntry, RTTIPolyBaseClass)

public:
    const std::string* GetQualityText() const { return QualityLevelText(m_quality); }
    void SetQualityText(const std::string& text) { QualityLevelFromText(text, m_quality); }

    NameString m_device;
    uint32_t m_runningAtResolution = 0;
    uint32_t m_quality = 2;
    float m_screenScale = 1.0f;
};

// Reflected texture requirements of one quality level.
class MobileTextureQualityEntry : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MobileTextureQualityEntry, RTTIPolyBaseClass)

public:
    const std::string* GetResModeText() const { return QualityLevelText(m_resMode); }
    void SetResModeText(const std::string& text) { QualityLevelFromText(text, m_resMode); }

    uint32_t m_resMode = 0;
    uint32_t m_reqMaxSide = 0;
    uint32_t m_reqMemory = 0;
};
