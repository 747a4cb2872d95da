// UIButton: a picture that shows its press, highlight and selection states through the presets of
// its recipe, and takes the pointer's presses and hovers itself. Main thread (the drawing is the
// picture's).
#pragma once

#include "ui/elements/UIPicture.h"

// A pressable picture.
class UIButton : public UIPicture
{
public:
    UIButton();

    bool IsUIButton() const override { return true; }
    bool FollowsParentEnableState() const override { return true; }
    bool IsPointerSelectable() const override { return true; }

    // Press and release, hover begin and end change the button's states and are consumed; the
    // script listeners run for every event.
    bool HandleEvent(UIEventRecord& record) override;
};
