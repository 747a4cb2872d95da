#include "ui/widgets/UIRadioContainer.h"

UIRadioContainer::UIRadioContainer()
{
    m_scriptClassName = "UIRadioContainer";
}

void UIRadioContainer::ResolveSelection()
{
    UIElement* const candidate = m_candidate.Get();
    UIElement* const selected = m_selected.Get();
    if (candidate != selected)
    {
        // A press on a child that cannot be selected keeps the choice, yet listeners still hear of
        // the press while a choice exists.
        if (selected != nullptr && candidate != nullptr && candidate->IsTriState())
            selected->SetSelect(false, false, 0);
        if (selected == nullptr || (candidate != nullptr && candidate->IsTriState()))
            m_selected = candidate;
        SendEvent(UIEVENT_ONSELECTIONCHANGED, 0, 0);
        return;
    }
    if (candidate != nullptr && candidate->IsTriState())
    {
        // Its press toggled it off: a radio choice stays chosen.
        candidate->SetHighlight(false, false, 0);
        candidate->SetSelect(true, false, 0);
    }
}

void UIRadioContainer::OnRemoved()
{
    m_candidate = nullptr;
    m_selected = nullptr;
    UIElement::OnRemoved();
}

void UIRadioContainer::PreviewEvent(UIEventRecord& record)
{
    UIElement::PreviewEvent(record);
    if (record.type == UIEVENT_MOUSEUP && record.source != this)
        record.flags |= UIDISPATCH_NOTIFYSCREEN;
}

bool UIRadioContainer::NotifyScreen(UIEventRecord& record)
{
    UIElement::NotifyScreen(record);
    UIElement* const source = record.source;
    if ((record.flags & UIDISPATCH_STOPBUBBLING) == 0 && record.type == UIEVENT_MOUSEUP && source != nullptr &&
        source->IsDescendantOf(this) && source->IsEnabled())
        m_candidate = source;
    return (record.flags & UIDISPATCH_STOPBUBBLING) == 0;
}

bool UIRadioContainer::HandleEvent(UIEventRecord& record)
{
    bool consumed = false;
    if (record.type == UIEVENT_MOUSEUP)
    {
        ResolveSelection();
        consumed = m_blockEvents;
    }
    return UIElement::HandleEvent(record) || consumed;
}
