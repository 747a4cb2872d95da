// UIRadioContainer: its children behave as radio buttons. A release inside the container makes the
// released element the candidate, and the container resolves the selection on its own release: a
// new tri-state choice replaces the old one, and the chosen one cannot be switched off by pressing
// it again. Main thread.
#pragma once

#include "core/containers/SafePointer.h"
#include "ui/elements/UIElement.h"

// A radio-button group.
class UIRadioContainer : public UIElement
{
public:
    UIRadioContainer();

    bool IsUIRadioContainer() const override { return true; }
    bool FollowsParentEnableState() const override { return true; }
    bool IsPointerSelectable() const override { return true; }

    // With blocking on, the container consumes the releases it resolves.
    void SetBlockEvents(bool block) { m_blockEvents = block; }
    bool GetBlockEvents() const { return m_blockEvents; }
    UIElement* GetSelected() const { return m_selected.Get(); }
    UIElement* GetCandidate() const { return m_candidate.Get(); }

    void ResolveSelection();
    // Lets go of the candidate and the choice here, on the main thread that links them.
    void OnRemoved() override;
    void PreviewEvent(UIEventRecord& record) override;
    bool NotifyScreen(UIEventRecord& record) override;
    bool HandleEvent(UIEventRecord& record) override;

private:
    SafePointer<UIElement> m_candidate;
    SafePointer<UIElement> m_selected;
    bool m_blockEvents = false;
};
