// UIPage: a tab-like container. Pressing one of its direct children presses the page; selecting the
// page selects its buttons and shows its panels, and enabling (or unselecting) it unselects the
// buttons and hides the panels. Main thread.
#pragma once

#include "ui/elements/UIElement.h"

// A page of buttons and panels.
class UIPage : public UIElement
{
public:
    UIPage();

    bool IsUIPage() const override { return true; }
    bool DefaultOnEnable(bool instant) override;
    bool DefaultOnSelect(bool instant) override;
    void PreviewEvent(UIEventRecord& record) override;
    bool NotifyScreen(UIEventRecord& record) override;
    bool HandleEvent(UIEventRecord& record) override;

private:
    // Selects or unselects every direct child button and shows or hides every direct child panel.
    void ApplyToChildren(bool on);
};
