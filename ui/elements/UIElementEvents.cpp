// UIElement's states and events: the hierarchical queries, the state setters with their exact order
// of visual reactions and events, the dispatch through the tree and the listeners. Main thread.
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIEventRecipe.h"
#include "ui/widgets/UIActionKinds.h"

#include <new>

namespace
{
constexpr double kDoubleClickSeconds = 0.5;
// How long the enabled and disabled presets take to blend in.
constexpr float kStatePresetSeconds = 0.1f;
} // namespace

// ---- Queries ----

uint32_t UIElement::IsModalFlag() const
{
    if ((m_stateFlags & UISTATE_SEMIMODAL) != 0)
        return 1;
    return m_stateFlags & UISTATE_MODAL;
}

bool UIElement::IsSelectedFlag() const
{
    return (m_stateFlags & (UISTATE_SELECTED | UISTATE_TRISTATE)) == (UISTATE_SELECTED | UISTATE_TRISTATE);
}

bool UIElement::IsVisible() const
{
    return IsVisibleFlag() && (m_parent == nullptr || m_parent->IsVisible());
}

bool UIElement::IsEnabled() const
{
    return IsEnabledFlag() && (m_parent == nullptr || m_parent->IsEnabled());
}

uint32_t UIElement::IsModal() const
{
    if (IsModalFlag() != 0)
        return IsModalFlag();
    return m_parent != nullptr ? m_parent->IsModalFlag() : 0;
}

bool UIElement::IsHighlighted() const
{
    return IsHighlightedFlag() || (m_parent != nullptr && m_parent->IsHighlighted());
}

bool UIElement::IsPressed() const
{
    return IsPressedFlag() || (m_parent != nullptr && m_parent->IsPressed());
}

bool UIElement::IsSelected() const
{
    return IsSelectedFlag() || (m_parent != nullptr && m_parent->IsSelected());
}

bool UIElement::IsTriState() const
{
    return IsTriStateFlag() || (m_parent != nullptr && m_parent->IsTriState());
}

// ---- Default handlers ----

bool UIElement::DefaultOnShow(bool)
{
    return true;
}

bool UIElement::DefaultOnHide(bool)
{
    return true;
}

// The "ENABLED" and "DISABLED" presets come from the element's recipe; an element built in code has
// none to apply, and the reaction still counts as handled.
bool UIElement::DefaultOnEnable(bool instant)
{
    ApplyRecipePreset("ENABLED", true, instant ? 0.0f : kStatePresetSeconds, UIACTIONFLAG_SYSTEMTIME, 0, false, false);
    return true;
}

bool UIElement::DefaultOnDisable(bool instant)
{
    ApplyRecipePreset("DISABLED", true, instant ? 0.0f : kStatePresetSeconds, UIACTIONFLAG_SYSTEMTIME, 0, true, false);
    return true;
}

bool UIElement::DefaultOnSelect(bool) { return false; }
bool UIElement::DefaultOnUnselect(bool) { return false; }
bool UIElement::DefaultOnHighlight(bool) { return false; }
bool UIElement::DefaultOnSHighlight(bool) { return false; }
bool UIElement::DefaultOnPress(bool) { return false; }
bool UIElement::DefaultOnUnPress(bool) { return false; }
bool UIElement::DefaultOnFocus(bool) { return false; }
bool UIElement::DefaultOnDSelect(bool) { return false; }
bool UIElement::DefaultOnDUnselect(bool) { return false; }
bool UIElement::DefaultOnDHighlight(bool) { return false; }
bool UIElement::DefaultOnDSHighlight(bool) { return false; }
bool UIElement::DefaultOnDPress(bool) { return false; }
bool UIElement::DefaultOnDUnPress(bool) { return false; }
bool UIElement::DefaultOnDFocus(bool) { return false; }

// ---- Setters ----

bool UIElement::ReactToRemainingState(bool instant)
{
    const bool enabled = IsEnabled();
    if (IsSelectedFlag() && IsHighlightedFlag())
        return enabled ? OnSHighlight(instant) : OnDSHighlight(instant);
    if (IsSelectedFlag())
        return enabled ? OnSelect(instant) : OnDSelect(instant);
    if (IsHighlightedFlag())
        return enabled ? OnHighlight(instant) : OnDHighlight(instant);
    return enabled ? OnEnable(instant) : OnDisable(instant);
}

void UIElement::SetVisible(bool visible, bool instant, bool force)
{
    if (m_visibilityGuard)
        return;
    if (!force && IsVisibleFlag() == visible)
        return;
    m_visibilityGuard = true;
    if (visible)
    {
        m_stateFlags |= UISTATE_VISIBLE;
        ApplyShow(instant);
        if (IsEnabled())
            OnEnable(instant);
        else
            OnDisable(instant);
        OnShow(instant);
    }
    else
    {
        OnHide(instant);
        ApplyHide(instant);
        m_stateFlags &= ~UISTATE_VISIBLE;
    }
    SendEvent(visible ? UIEVENT_ONSHOW : UIEVENT_ONHIDE, instant ? 1 : 0, 0);
    m_visibilityGuard = false;
}

void UIElement::SetEnable(bool enable, bool instant)
{
    if (IsEnabledFlag() == enable)
        return;
    if (enable)
    {
        m_stateFlags |= UISTATE_ENABLED;
        if (IsEnabled())
            SendEvent(UIEVENT_ONENABLE, instant ? 1 : 0, 0);
        return;
    }
    const bool wasEnabled = IsEnabled();
    m_stateFlags &= ~UISTATE_ENABLED;
    if (wasEnabled)
        SendEvent(UIEVENT_ONDISABLE, instant ? 1 : 0, 0);
}

void UIElement::SetHighlight(bool highlight, bool instant, uint32_t pointer)
{
    if (IsHighlightedFlag() == highlight)
        return;
    const bool enabled = IsEnabled();
    if (highlight)
    {
        m_stateFlags |= UISTATE_HIGHLIGHTED;
        if (IsSelectedFlag())
            enabled ? OnSHighlight(instant) : OnDSHighlight(instant);
        else
            enabled ? OnHighlight(instant) : OnDHighlight(instant);
        SendEvent(UIEVENT_ONHIGHLIGHT, instant ? 1 : 0, pointer);
        return;
    }
    m_stateFlags &= ~UISTATE_HIGHLIGHTED;
    if (IsPressedFlag())
        SetPress(false, false, 0);
    else if (IsSelectedFlag())
        enabled ? OnSelect(instant) : OnDSelect(instant);
    else
        enabled ? OnEnable(instant) : OnDisable(instant);
    SendEvent(UIEVENT_ONUNHIGHLIGHT, instant ? 1 : 0, pointer);
}

void UIElement::SetPress(bool press, bool instant, uint32_t pointer)
{
    if (IsPressedFlag() == press)
        return;
    const bool enabled = IsEnabled();
    if (press)
    {
        // A press toggles the selection of a tri-state element.
        SetSelect(!IsSelectedFlag(), instant, enabled ? pointer : 0);
        m_stateFlags |= UISTATE_PRESSED;
        enabled ? OnPress(instant) : OnDPress(instant);
        SendEvent(UIEVENT_ONPRESS, instant ? 1 : 0, pointer);
        return;
    }
    m_stateFlags &= ~UISTATE_PRESSED;
    ReactToRemainingState(instant);
    enabled ? OnUnPress(instant) : OnDUnPress(instant);
    SendEvent(UIEVENT_ONUNPRESS, instant ? 1 : 0, pointer);
}

void UIElement::SetSelect(bool select, bool instant, uint32_t pointer)
{
    if (!IsTriStateFlag() || ((m_stateFlags & UISTATE_SELECTED) != 0) == select)
        return;
    const bool enabled = IsEnabled();
    if (select)
    {
        m_stateFlags |= UISTATE_SELECTED;
        enabled ? OnSelect(instant) : OnDSelect(instant);
        if (IsHighlightedFlag())
            enabled ? OnSHighlight(instant) : OnDSHighlight(instant);
    }
    else
    {
        m_stateFlags &= ~UISTATE_SELECTED;
        const bool handled = enabled ? OnUnselect(instant) : OnDUnselect(instant);
        if (!handled)
            enabled ? OnEnable(instant) : OnDisable(instant);
        if (IsHighlightedFlag())
            enabled ? OnHighlight(instant) : OnDHighlight(instant);
    }
    SendEvent(select ? UIEVENT_ONSELECT : UIEVENT_ONUNSELECT, instant ? 1 : 0, pointer);
    SendEvent(UIEVENT_ONSELECTIONCHANGED, instant ? 1 : 0, pointer);
}

void UIElement::SetFocus(bool focus, bool instant)
{
    if (IsFocusedFlag() == focus)
        return;
    if (focus)
    {
        m_stateFlags |= UISTATE_FOCUSED;
        IsEnabled() ? OnFocus(instant) : OnDFocus(instant);
        SendEvent(UIEVENT_ONFOCUS, instant ? 1 : 0, 0);
        return;
    }
    m_stateFlags &= ~UISTATE_FOCUSED;
    ReactToRemainingState(instant);
    SendEvent(UIEVENT_ONUNFOCUS, instant ? 1 : 0, 0);
}

void UIElement::SetTriState(bool on)
{
    if (on)
        m_stateFlags |= UISTATE_TRISTATE;
    else
        m_stateFlags &= ~UISTATE_TRISTATE;
}

void UIElement::SyncVisibleFlag(bool visible)
{
    if (visible)
        m_stateFlags |= UISTATE_VISIBLE;
    else
        m_stateFlags &= ~UISTATE_VISIBLE;
}

void UIElement::SetModal(uint32_t mode)
{
    if (IsModalFlag() == 0 && IsModal() != 0)
        return;
    ClearModalRenderFlag(UIRENDERSTATE_MODAL);
    m_stateFlags &= ~(UISTATE_MODAL | UISTATE_SEMIMODAL);
    if (mode == 1)
        m_stateFlags |= UISTATE_SEMIMODAL;
    else if (mode == 2)
        m_stateFlags |= UISTATE_MODAL;
    else
        return;
    SetModalRenderFlag(UIRENDERSTATE_MODAL);
}

bool UIElement::ApplyShow(bool)
{
    ClearFlag(UIFLAG_HIDDEN);
    return true;
}

bool UIElement::ApplyHide(bool instant)
{
    if (instant)
        RaiseFlag(UIFLAG_HIDDEN);
    else
        AddAction(new (std::nothrow) UIActionHide(GetHideDuration(), m_defaultActionFlags, 0));
    return true;
}

float UIElement::GetHideDuration() const
{
    const UIEventRecipe* onHide = m_recipe != nullptr ? m_recipe->GetEventRecipe(UIElementRecipe::EVENT_HIDE) : nullptr;
    float seconds = onHide != nullptr ? onHide->GetDuration() : 0.0f;
    for (const UIElement* child = m_firstChild; child != nullptr; child = child->m_nextSibling)
        if (child->IsVisibleFlag())
            seconds += child->GetHideDuration();
    return seconds;
}

// ---- Pointer deliveries ----

bool UIElement::ConsumeMouseDown(uint32_t pointer)
{
    const bool consumed = SendEvent(UIEVENT_MOUSEDOWN, 0, pointer);
    if (consumed && WantsDrag())
        SendEvent(UIEVENT_DRAGBEGIN, 0, pointer);
    return consumed;
}

bool UIElement::ConsumeMouseUp(uint32_t pointer)
{
    if (IsPressedFlag())
    {
        SendEvent(UIEVENT_CLICK, 0, pointer);
        const Time now = Time::Now();
        // The reset value means no earlier click: a first click is never a double click.
        if (m_lastClickTime != gZeroTime && (now - m_lastClickTime).ToSeconds() <= kDoubleClickSeconds)
        {
            SendEvent(UIEVENT_DOUBLECLICK, 0, pointer);
            m_lastClickTime = gZeroTime;
        }
        else
        {
            m_lastClickTime = now;
        }
    }
    const bool consumed = SendEvent(UIEVENT_MOUSEUP, 0, pointer);
    if (consumed && WantsDrag())
        SendEvent(UIEVENT_DRAGEND, 0, pointer);
    return consumed;
}

bool UIElement::ConsumeMouseOverBegin()
{
    return SendEvent(UIEVENT_MOUSEOVERBEGIN, 0, 0);
}

bool UIElement::ConsumeMouseOverEnd()
{
    return SendEvent(UIEVENT_MOUSEOVEREND, 0, 0);
}

// ---- Dispatch ----

bool UIElement::SendEvent(uint32_t type, uint32_t argument, uint32_t pointer)
{
    UIEventRecord record;
    record.type = type;
    record.argument = argument;
    record.source = this;
    record.pointer = pointer;
    return DispatchEvent(record);
}

bool UIElement::DispatchEvent(UIEventRecord& record)
{
    record.modalRoot = IsModalFlag() != 0 ? this : nullptr;
    if ((record.flags & UIDISPATCH_THISONLY) == 0)
    {
        for (UIElement* ancestor = m_parent; ancestor != nullptr; ancestor = ancestor->m_parent)
            ancestor->PreviewEvent(record);
        if (m_parent != nullptr)
            m_parent->PostPreviewFromRoot(record);
        if ((record.flags & UIDISPATCH_NOTIFYSCREEN) != 0)
            NotifyScreen(record);
        if ((record.flags & UIDISPATCH_SUBTREEONLY) != 0)
        {
            const bool handled = HandleEvent(record);
            if (handled)
                ChildPass(record);
            return handled;
        }
        if ((record.flags & UIDISPATCH_STOPBUBBLING) != 0)
            return false;
    }
    if (!HandleEvent(record))
        return false;
    if ((record.flags & UIDISPATCH_THISONLY) != 0)
        record.flags = 0;
    const bool fromList = record.source != nullptr && record.source->IsUIList();
    const bool passedDown = record.type >= UIEVENT_ONSHOW && record.type <= UIEVENT_ONENABLE;
    if (!fromList && !passedDown)
    {
        for (UIElement* element = this; element->m_parent != nullptr && !element->IsUIList();
             element = element->m_parent)
        {
            if (element->m_parent->DispatchEvent(record) || (record.flags & UIDISPATCH_STOPBUBBLING) != 0)
                break;
        }
    }
    ChildPass(record);
    return true;
}

bool UIElement::ChildPass(UIEventRecord& record)
{
    for (UIElement* child = m_firstChild; child != nullptr;)
    {
        UIElement* const next = child->m_nextSibling;
        if (FilterChildEvent(*child, record))
            child->ChildPass(record);
        PostFilterChildEvent(*child, record);
        child = next;
    }
    return true;
}

void UIElement::PreviewEvent(UIEventRecord& record)
{
    if (IsModalFlag() != 0)
        record.modalRoot = this;
}

void UIElement::PostPreviewEvent(UIEventRecord&) {}

void UIElement::PostPreviewFromRoot(UIEventRecord& record)
{
    if (m_parent != nullptr)
        m_parent->PostPreviewFromRoot(record);
    PostPreviewEvent(record);
}

void UIElement::PostFilterChildEvent(UIElement&, UIEventRecord&) {}

bool UIElement::NotifyScreen(UIEventRecord& record)
{
    return m_parent != nullptr ? m_parent->NotifyScreen(record) : true;
}

bool UIElement::FilterChildEvent(UIElement& child, UIEventRecord& record)
{
    const bool instant = record.argument != 0;
    switch (record.type)
    {
    case UIEVENT_ONSHOW:
    case UIEVENT_ONHIDE:
        if (child.IsVisibleFlag())
        {
            if (record.type == UIEVENT_ONSHOW)
            {
                child.OnShow(instant);
                return child.IsVisible();
            }
            child.OnHide(instant);
            return true;
        }
        if (child.IsModalFlag() != 0)
            child.SendEvent(record.type, record.argument, 0);
        return false;
    case UIEVENT_ONDISABLE:
    case UIEVENT_ONENABLE:
        if (!child.IsEnabledFlag())
            return false;
        if (child.FollowsParentEnableState())
        {
            if (record.type == UIEVENT_ONDISABLE)
                child.OnDisable(instant);
            else
                child.OnEnable(instant);
        }
        return true;
    default: return false;
    }
}

bool UIElement::HandleEvent(UIEventRecord& record)
{
    bool consumed = false;
    FireListeners(record.type, record, consumed);
    if (record.type == UIEVENT_CLICK)
        FireListeners(UIEVENT_ACTION, record, consumed);
    const bool instant = record.argument != 0;
    switch (record.type)
    {
    case UIEVENT_ONSHOW:
    case UIEVENT_ONHIDE: consumed = true; break;
    case UIEVENT_ONDISABLE: consumed = OnDisable(instant) || consumed; break;
    case UIEVENT_ONENABLE: consumed = OnEnable(instant) || consumed; break;
    default: break;
    }
    return consumed;
}

void UIElement::FireListeners(uint32_t type, UIEventRecord& record, bool& consumed)
{
    const bool enabled = IsEnabled();
    bool anyDead = false;
    // By index: a callback may add listeners.
    for (int32_t i = 0; i < m_listeners.Count(); ++i)
    {
        UIEventListener& listener = m_listeners[i];
        SafePointerRoot* const target = listener.target.Get();
        if (target == nullptr)
        {
            anyDead = true;
            continue;
        }
        if (listener.type != type)
            continue;
        const bool fires = ((listener.flags & UIEVENTFLAG_ONENABLE) != 0 && enabled) ||
                           ((listener.flags & UIEVENTFLAG_ONDISABLE) != 0 && !enabled);
        if (!fires)
            continue;
        record.value = listener.value;
        const bool consumes = (listener.flags & UIEVENTFLAG_NOCONSUME) == 0;
        listener.callback(target, &record);
        if (consumes)
            consumed = true;
    }
    if (anyDead)
        for (int32_t i = m_listeners.Count() - 1; i >= 0; --i)
            if (!m_listeners[i].target)
                m_listeners.RemoveAt(i);
}

void UIElement::AddEventListener(SafePointerRoot* target, UIEventCallback callback, uint32_t type, uint32_t value,
                                 uint8_t flags)
{
    for (const UIEventListener& listener : m_listeners)
        if (listener.target.Get() == target && listener.callback == callback && listener.type == type &&
            listener.value == value && listener.flags == flags)
            return;
    UIEventListener listener;
    listener.target = target;
    listener.callback = callback;
    listener.type = type;
    listener.value = value;
    listener.flags = flags;
    m_listeners.Add(listener);
}
