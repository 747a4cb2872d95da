// The arguments of one text command as the render side read them from its record. Render side.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>
#include <string>

class ResourceFont;
class UIElement;

// Fields are filled by the commands that carry them.
struct UITextCommandArgs
{
    std::u16string text;
    ResourceFont* font = nullptr;
    UIElement* element = nullptr;
    Vector vector{0.0f, 0.0f, 0.0f, 0.0f};
    float a = 0.0f;
    float b = 0.0f;
    uint32_t first = 0;
    uint32_t second = 0;
    int32_t integer = 0;
    uint8_t byte = 0;
    uint8_t flag = 0;
};
