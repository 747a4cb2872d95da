// UIPanel: a container that swallows every event reaching it, so nothing passes through a panel to
// what lies behind it. Main thread.
#pragma once

#include "core/strings/NameString.h"
#include "ui/elements/UIElement.h"

// An event-swallowing container.
class UIPanel : public UIElement
{
public:
    UIPanel();

    bool IsUIPanel() const override { return true; }
    bool HandleEvent(UIEventRecord& record) override;
    // False for an event already consumed, else what the parents answer.
    bool NotifyScreen(UIEventRecord& record) override;
};

// The panel lookup of screens built of panels.
struct UIScreenWithPanels
{
    // The first direct child of `element` named `name`, or null.
    static UIElement* GetPanelByName(const UIElement& element, const NameString& name);
};
