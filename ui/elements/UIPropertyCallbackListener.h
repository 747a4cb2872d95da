// What a UI element takes from a named UI property (UIProperties.h): a text, an integer or a float.
// Elements say which they take and receive the values when the property changes. Main thread.
#pragma once

#include <cstdint>

// The receiving side of a UI property; every UIElement is one, taking nothing by default.
class UIPropertyCallbackListener
{
public:
    virtual ~UIPropertyCallbackListener() = default;

    virtual void ReceiveInteger(int32_t value) { (void)value; }
    virtual void ReceiveFloat(double value) { (void)value; }
    // The property's UTF-16 text; null before any value arrived.
    virtual void ReceiveText(const char16_t* text) { (void)text; }
    virtual bool TakesText() const { return false; }
    virtual bool TakesFloat() const { return false; }
    virtual bool TakesInteger() const { return false; }
};
