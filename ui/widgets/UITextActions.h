// The text actions: the per-character blend-in and the two halves of a text cross-fade. Render
// thread once handed over (UIAction.h); their owner must be a text element (UITextBase).
#pragma once

#include "ui/widgets/UIActionKinds.h"

#include <string>

class UITextBase;

// Drives the text's per-character blend window so that the characters appear one after another,
// the follower riding along the laid-out text.
class UIActionTextPerCharBlendIn : public UIAction
{
public:
    UIActionTextPerCharBlendIn(float duration, float step, UIElement* follower, uint32_t flags, uint32_t channel)
        : UIAction(duration, flags, channel), m_step(step), m_follower(follower)
    {
    }
    void OnStart() override;
    void Apply(float eased) override;

private:
    float m_step;
    UIElement* m_follower;
    uint32_t m_characters = 0;
};

// Fade-out phase: fades alpha to 0, then empties the text and leaves the element visible. Fade-in
// phase: sets the new text at its start and fades alpha to 1.
class UIActionTextXFadeHelper : public UIActionBlendAndShowHide
{
public:
    UIActionTextXFadeHelper(float duration, bool fadeOut, const char16_t* text, uint32_t flags, uint32_t channel)
        : UIActionBlendAndShowHide(duration, !fadeOut, flags, channel), m_fadeOut(fadeOut),
          m_hasText(text != nullptr), m_text(text != nullptr ? text : u"")
    {
    }
    void OnStart() override;
    void Apply(float eased) override;

private:
    bool m_fadeOut;
    bool m_hasText;
    std::u16string m_text;
};
