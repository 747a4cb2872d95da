#include "ui/widgets/UIPage.h"

UIPage::UIPage()
{
    m_scriptClassName = "UIPage";
}

void UIPage::ApplyToChildren(bool on)
{
    for (UIElement* child = GetFirstChild(); child != nullptr; child = child->GetNextSibling())
    {
        if (child->IsUIButton())
            child->SetSelect(on, false, 0);
        else if (child->IsUIPanel())
            child->SetVisible(on, false, false);
    }
}

bool UIPage::DefaultOnEnable(bool instant)
{
    ApplyToChildren(false);
    return UIElement::DefaultOnEnable(instant);
}

bool UIPage::DefaultOnSelect(bool instant)
{
    ApplyToChildren(true);
    return UIElement::DefaultOnSelect(instant);
}

void UIPage::PreviewEvent(UIEventRecord& record)
{
    UIElement::PreviewEvent(record);
    if (record.type == UIEVENT_MOUSEDOWN || record.type == UIEVENT_MOUSEUP)
        record.flags |= UIDISPATCH_NOTIFYSCREEN;
}

bool UIPage::NotifyScreen(UIEventRecord& record)
{
    UIElement::NotifyScreen(record);
    const bool pointerEvent = record.type == UIEVENT_MOUSEDOWN || record.type == UIEVENT_MOUSEUP;
    if ((record.flags & UIDISPATCH_STOPBUBBLING) == 0 && pointerEvent && record.source != nullptr &&
        record.source->GetParent() == this)
    {
        // The press belongs to the page: the child itself never sees it.
        record.flags |= UIDISPATCH_STOPBUBBLING;
        if (record.type == UIEVENT_MOUSEDOWN)
            ConsumeMouseDown(0);
    }
    return (record.flags & UIDISPATCH_STOPBUBBLING) == 0;
}

bool UIPage::HandleEvent(UIEventRecord& record)
{
    if (record.type == UIEVENT_MOUSEDOWN || record.type == UIEVENT_MOUSEUP)
    {
        SetPress(record.type == UIEVENT_MOUSEDOWN, false, record.pointer);
        UIElement::HandleEvent(record);
        return true;
    }
    return UIElement::HandleEvent(record);
}
