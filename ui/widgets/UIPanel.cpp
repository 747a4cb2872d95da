#include "ui/widgets/UIPanel.h"

UIPanel::UIPanel()
{
    m_scriptClassName = "UIPanel";
}

bool UIPanel::HandleEvent(UIEventRecord& record)
{
    UIElement::HandleEvent(record);
    return true;
}

bool UIPanel::NotifyScreen(UIEventRecord& record)
{
    const bool notified = UIElement::NotifyScreen(record);
    return (record.flags & UIDISPATCH_STOPBUBBLING) == 0 && notified;
}

UIElement* UIScreenWithPanels::GetPanelByName(const UIElement& element, const NameString& name)
{
    for (UIElement* child = element.GetFirstChild(); child != nullptr; child = child->GetNextSibling())
        if (child->GetNameString() == name)
            return child;
    return nullptr;
}
