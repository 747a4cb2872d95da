#include "ui/widgets/UIButton.h"

UIButton::UIButton()
{
    m_scriptClassName = "UIButton";
}

bool UIButton::HandleEvent(UIEventRecord& record)
{
    bool consumed = true;
    switch (record.type)
    {
    case UIEVENT_MOUSEDOWN: SetPress(true, false, record.pointer); break;
    case UIEVENT_MOUSEUP: SetPress(false, false, record.pointer); break;
    case UIEVENT_CLICK: break;
    case UIEVENT_MOUSEOVERBEGIN: SetHighlight(true, false, record.pointer); break;
    case UIEVENT_MOUSEOVEREND: SetHighlight(false, false, record.pointer); break;
    default: consumed = false; break;
    }
    return UIElement::HandleEvent(record) || consumed;
}
