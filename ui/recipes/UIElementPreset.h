// UIElementPreset: a named visual state of a recipe (position, size, scale, rotation, colour,
// visibility) and the list of the properties it really changes; applied to an element at once or
// as tweens closed by a wait. UIElementSoundReponse: the sound entry a recipe plays for one event.
// Main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/HDRColor.h"
#include "core/math/Vector.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

#include <cstdint>

class UIElement;
class UIElementRecipe;

// A visual state; recipes own theirs.
class UIElementPreset : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(UIElementPreset, RTTIPolyBaseClass)

public:
    // Below this many seconds a preset sets its values at once.
    static constexpr float kInstantTime = 0.001f;
    // Action flag: the preset leaves the position alone.
    static constexpr uint32_t kKeepPositionFlag = 0x40000000u;

    UIElementPreset();
    UIElementPreset(const UIElementPreset& other) = default;
    UIElementPreset& operator=(const UIElementPreset& other) = default;

    // The preset's own values; with allProperties every value takes part, else only those its
    // ActiveProperties name ("Position" brings the size along; "Size" names nothing).
    void ApplyToElement(UIElement* element, float time, uint32_t actionFlags, uint32_t channel, bool clearChannel,
                        bool allProperties) const;
    // The recipe's own values, taking part as the ActiveProperties of all its presets say.
    void ApplyRecipeToElement(const UIElementRecipe& recipe, UIElement* element, float time, uint32_t actionFlags,
                              uint32_t channel, bool clearChannel, bool allProperties);

    bool HasActiveProperty(const char* name) const;

    const NameString& GetId() const { return m_id; }
    void SetId(const char* id) { m_id.Set(id); }
    DynarraySafe<NameString>& GetActiveProperties() { return m_activeProperties; }
    const DynarraySafe<NameString>& GetActiveProperties() const { return m_activeProperties; }

    Vector m_position{0.0f, 0.0f, 0.0f, 1.0f};
    Vector m_size{64.0f, 64.0f, 0.0f, 0.0f};
    Vector m_scale{1.0f, 1.0f, 1.0f, 0.0f};
    Vector m_rotation{0.0f, 0.0f, 0.0f, 0.0f};
    HDRColor m_color{255, 255, 255, 255, 1.0f};
    bool m_hidden = false;

private:
    // Which values take part: one bit per value.
    enum Part : uint32_t
    {
        PART_VISIBILITY = 1,
        PART_POSITION = 2,
        PART_ROTATION = 4,
        PART_SCALE = 8,
        PART_SIZE = 16,
        PART_COLOR = 32,
    };
    template <class TSource>
    static uint32_t ChooseParts(const TSource& source, bool allProperties);
    void Apply(UIElement* element, uint32_t parts, float time, uint32_t actionFlags, uint32_t channel,
               bool clearChannel) const;

    DynarraySafe<NameString> m_activeProperties;
    NameString m_id;
};

// One event's sound: the event index (0 to 17, the recipe's event order) and a sound entry name.
class UIElementSoundReponse : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(UIElementSoundReponse, RTTIPolyBaseClass)

public:
    UIElementSoundReponse() = default;
    UIElementSoundReponse(uint32_t eventId, const char* sound) : m_eventId(eventId), m_sound(sound) {}

    uint32_t m_eventId = 0;
    NameString m_sound;
};
