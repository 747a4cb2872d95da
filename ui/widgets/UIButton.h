// UIButton: a picture that shows its press, highlight and selection states through the presets of
// its recipe ("PRESSED", "SELECTED", "DHIGHLIGHTED" and so on), and takes the pointer's presses and
// hovers itself. Main thread (the drawing is the picture's).
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

    // Each state shows the recipe preset of its name on the button and its children, over 0.1 s
    // (at once when instant); true when a preset was applied.
    bool DefaultOnSelect(bool instant) override;
    bool DefaultOnUnselect(bool instant) override;
    bool DefaultOnHighlight(bool instant) override;
    bool DefaultOnSHighlight(bool instant) override;
    bool DefaultOnPress(bool instant) override;
    bool DefaultOnUnPress(bool instant) override;
    bool DefaultOnDSelect(bool instant) override;
    bool DefaultOnDUnselect(bool instant) override;
    bool DefaultOnDHighlight(bool instant) override;
    bool DefaultOnDSHighlight(bool instant) override;
    bool DefaultOnDPress(bool instant) override;
    bool DefaultOnDUnPress(bool instant) override;

    // Press and release, hover begin and end change the button's states and are consumed; the
    // script listeners run for every event.
    bool HandleEvent(UIEventRecord& record) override;

private:
    // Highlight presets always clear the channel first; the others only when instant.
    bool ApplyStatePreset(const char* name, bool instant, bool alwaysClear);
};
