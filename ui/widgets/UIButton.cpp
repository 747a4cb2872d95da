#include "ui/widgets/UIButton.h"

namespace
{
constexpr float kStatePresetSeconds = 0.1f;
} // namespace

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

bool UIButton::ApplyStatePreset(const char* name, bool instant, bool alwaysClear)
{
    return ApplyRecipePreset(name, true, instant ? 0.0f : kStatePresetSeconds, UIACTIONFLAG_SYSTEMTIME, 0,
                             alwaysClear || instant, false);
}

bool UIButton::DefaultOnSelect(bool instant)
{
    return ApplyStatePreset("SELECTED", instant, false);
}

bool UIButton::DefaultOnUnselect(bool instant)
{
    return ApplyStatePreset("UNSELECTED", instant, false);
}

bool UIButton::DefaultOnHighlight(bool instant)
{
    return ApplyStatePreset("HIGHLIGHTED", instant, true);
}

bool UIButton::DefaultOnSHighlight(bool instant)
{
    return ApplyStatePreset("SHIGHLIGHTED", instant, true);
}

bool UIButton::DefaultOnPress(bool instant)
{
    return ApplyStatePreset("PRESSED", instant, false);
}

bool UIButton::DefaultOnUnPress(bool instant)
{
    return ApplyStatePreset("UNPRESSED", instant, false);
}

bool UIButton::DefaultOnDSelect(bool instant)
{
    return ApplyStatePreset("DSELECTED", instant, false);
}

bool UIButton::DefaultOnDUnselect(bool instant)
{
    return ApplyStatePreset("DUNSELECTED", instant, false);
}

bool UIButton::DefaultOnDHighlight(bool instant)
{
    return ApplyStatePreset("DHIGHLIGHTED", instant, true);
}

bool UIButton::DefaultOnDSHighlight(bool instant)
{
    return ApplyStatePreset("DSHIGHLIGHTED", instant, true);
}

bool UIButton::DefaultOnDPress(bool instant)
{
    return ApplyStatePreset("DPRESSED", instant, false);
}

bool UIButton::DefaultOnDUnPress(bool instant)
{
    return ApplyStatePreset("DUNPRESSED", instant, false);
}
