// The system's accessibility settings whose hot keys a game switches off during play: sticky
// keys, toggle keys and filter keys. Main thread only.
#pragma once

#include <cstdint>

namespace input
{
// Flag bits shared by the three settings.
constexpr uint32_t kAccessFeatureOn = 0x1;
constexpr uint32_t kAccessHotKeyActive = 0x4;
constexpr uint32_t kAccessConfirmHotKey = 0x8;

// 8 bytes, as the system stores it.
struct StickyKeys
{
    uint32_t size = sizeof(StickyKeys);
    uint32_t flags = kAccessHotKeyActive | kAccessConfirmHotKey;
};

// 8 bytes.
struct ToggleKeys
{
    uint32_t size = sizeof(ToggleKeys);
    uint32_t flags = kAccessHotKeyActive | kAccessConfirmHotKey;
};

// 24 bytes.
struct FilterKeys
{
    uint32_t size = sizeof(FilterKeys);
    uint32_t flags = kAccessHotKeyActive | kAccessConfirmHotKey;
    uint32_t waitMilliseconds = 1000;
    uint32_t delayMilliseconds = 500;
    uint32_t repeatMilliseconds = 500;
    uint32_t bounceMilliseconds = 0;
};

static_assert(sizeof(StickyKeys) == 8 && sizeof(ToggleKeys) == 8 && sizeof(FilterKeys) == 24);

// Reads and writes of the current settings; false when the size field is not the struct's.
bool GetStickyKeys(StickyKeys& out);
bool SetStickyKeys(const StickyKeys& value);
bool GetToggleKeys(ToggleKeys& out);
bool SetToggleKeys(const ToggleKeys& value);
bool GetFilterKeys(FilterKeys& out);
bool SetFilterKeys(const FilterKeys& value);
} // namespace input
