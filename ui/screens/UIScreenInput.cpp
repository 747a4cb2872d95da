// The pointer, key and modal handling of a screen. Main thread only.
#include "ui/screens/UIScreen.h"

#include "ui/elements/UIElementIdMap.h"
#include "ui/elements/UIUniTextInput.h"
#include "ui/recipes/UIElementRecipe.h"

namespace
{
constexpr float kTextInputRaise = 200.0f;
constexpr float kTextInputMoveSeconds = 0.5f;
} // namespace

UIElement* UIScreen::OfferUpwards(UIElement* element, bool down, uint32_t pointer)
{
    for (UIElement* candidate = element; candidate != nullptr; candidate = candidate->GetParent())
        if (down ? candidate->ConsumeMouseDown(pointer) : candidate->ConsumeMouseUp(pointer))
            return candidate;
    return nullptr;
}

void UIScreen::MoveForTextInput(float raise)
{
    // The screen's own place is where its recipe put it; a screen made by a script sits at the origin.
    const UIElementRecipe* const recipe = GetRecipe();
    Vector target = recipe != nullptr ? recipe->m_position : Vector(0.0f, 0.0f, 0.0f, 1.0f);
    target.y -= raise;
    Move(kTextInputMoveSeconds, target, UIACTIONFLAG_SINE, 0);
}

void UIScreen::EndTextEditing()
{
    UIElement* const focused = m_focusedTextInput.Get();
    if (focused == nullptr)
        return;
    // Only text inputs of the UTF-16 kind are made the edited input.
    static_cast<UIUniTextInput*>(focused)->HideCursor();
    focused->SetFocus(false, true);
    m_focusedTextInput = nullptr;
}

bool UIScreen::OnPointerBegin(const Vector& point, uint32_t pointer)
{
    if (m_pressedElement.Get() != nullptr)
        return false;
    EndTextEditing();
    m_dragging = false;
    UIElement* const hit = GetElementAtScreenPosition(point);
    m_pressedElement = hit;
    m_pressPointer = pointer;
    if (m_shiftedForTextInput && (hit == nullptr || !hit->IsUIUniTextInput()))
    {
        MoveForTextInput(0.0f);
        m_shiftedForTextInput = false;
    }
    if (hit == nullptr)
    {
        ConsumeMouseDown(0);
        return false;
    }
    UIElement* const taker = OfferUpwards(hit, true, pointer);
    m_pressedElement = taker;
    if (taker == nullptr)
        return false;
    m_pressActive = true;
    return true;
}

bool UIScreen::OnPointerEnd(const Vector& point, uint32_t pointer)
{
    UIElement* const hit = GetElementAtScreenPosition(point);
    m_pressActive = m_dragging = m_moved = false;
    UIElement* const pressed = m_pressedElement.Get();
    if (pressed != nullptr && pressed == hit)
    {
        if (pressed->ConsumeMouseUp(pointer) && pressed->IsUIUniTextInput() && pressed->IsEnabled())
        {
            m_focusedTextInput = pressed;
            pressed->SetFocus(true, true);
            static_cast<UIUniTextInput*>(pressed)->ShowCursor();
            MoveForTextInput(kTextInputRaise);
            m_shiftedForTextInput = true;
        }
        m_pressedElement = nullptr;
        return true;
    }
    if (pressed != nullptr && pointer == m_pressPointer)
    {
        pressed->ConsumeMouseUp(pointer);
        m_pressPointer = 0;
        m_pressedElement = nullptr;
        return true;
    }
    if (hit == nullptr)
        ConsumeMouseUp(0);
    else
        OfferUpwards(hit, false, pointer);
    return false;
}

bool UIScreen::OnPointerMove(const Vector& point, uint32_t pointer)
{
    UIElement* const hit = GetElementAtScreenPosition(point);
    if (hit != nullptr)
        hit->SendEvent(UIEVENT_POINTERMOVE, 0, pointer);
    UIElement* pressed = m_pressedElement.Get();
    if (!m_dragging && !m_moved && pressed != nullptr)
    {
        UIElement* target = nullptr;
        for (UIElement* element = pressed; element != nullptr; element = element->GetParent())
        {
            if (element->WantsDrag())
            {
                target = element;
                break;
            }
            if ((element->GetDragFlags() & 1) != 0)
                break;
        }
        if (target != nullptr)
        {
            pressed->ConsumeMouseOverEnd();
            m_pressedElement = target;
            m_pressPointer = pointer;
            m_dragging = true;
            return false;
        }
    }
    m_moved = true;
    pressed = m_pressedElement.Get();
    if (pressed != nullptr && pressed->WantsDrag() && m_dragging)
    {
        pressed->OnDrag(point);
        return true;
    }
    if (pressed != nullptr && pressed != hit)
    {
        pressed->ConsumeMouseOverEnd();
        // Leaving ends the press too: no release will reach the element now, and a press left on
        // it (one without a hover highlight to take it along) would swallow its next press.
        pressed->SetPress(false, false, pointer);
        m_pressedElement = nullptr;
    }
    return false;
}

bool UIScreen::OnKey(uint32_t key)
{
    if (key != 13 || m_focusedTextInput.Get() == nullptr)
        return false;
    EndTextEditing();
    return true;
}

bool UIScreen::OnChar(uint32_t)
{
    return false;
}

void UIScreen::SimulateTapBegin(UIElement* element)
{
    if (m_simulatedTapElement.Get() == nullptr && element != nullptr)
    {
        m_simulatedTapElement = element;
        OfferUpwards(element, true, 0);
    }
    else
    {
        ConsumeMouseDown(0);
    }
}

bool UIScreen::SimulateTapEnd()
{
    UIElement* const element = m_simulatedTapElement.Get();
    if (element == nullptr)
    {
        ConsumeMouseUp(0);
        return false;
    }
    element->ConsumeMouseUp(0);
    m_simulatedTapElement = nullptr;
    return true;
}

void UIScreen::SimulateClick(UIElement* element)
{
    SimulateTapBegin(element);
    SimulateTapEnd();
}

// ---- Modal handling ----

void UIScreen::PreviewEvent(UIEventRecord& record)
{
    UIElement::PreviewEvent(record);
    switch (record.type)
    {
    case UIEVENT_MOUSEDOWN:
    case UIEVENT_MOUSEUP:
    case UIEVENT_MOUSEOVERBEGIN:
    case UIEVENT_MOUSEOVEREND:
    case UIEVENT_ONSHOW:
    case UIEVENT_ONHIDE: record.flags |= UIDISPATCH_NOTIFYSCREEN; break;
    default: break;
    }
}

bool UIScreen::NotifyScreen(UIEventRecord& record)
{
    UIElement* const modal = m_modalElement.Get();
    switch (record.type)
    {
    case UIEVENT_ONSHOW:
        if (record.modalRoot != nullptr)
        {
            if (modal != nullptr && modal != record.modalRoot)
                modal->SetVisible(false, false, false);
            m_modalElement = record.modalRoot;
        }
        break;
    case UIEVENT_ONHIDE:
        if (modal != nullptr && record.source == modal)
            m_modalElement = nullptr;
        break;
    case UIEVENT_MOUSEDOWN:
        if (modal != nullptr && record.modalRoot == nullptr)
        {
            if (modal->IsModalFlag() == UISTATE_MODAL)
            {
                modal->SetHighlight(true, true, 0);
                modal->SetHighlight(false, true, 0);
                record.flags |= UIDISPATCH_STOPBUBBLING;
            }
            else
            {
                modal->SetVisible(false, false, false);
            }
        }
        break;
    case UIEVENT_MOUSEUP:
    case UIEVENT_MOUSEOVERBEGIN:
    case UIEVENT_MOUSEOVEREND:
        if (modal != nullptr && record.modalRoot == nullptr)
            record.flags |= UIDISPATCH_STOPBUBBLING;
        break;
    default: break;
    }
    return true;
}

bool UIScreen::HandleEvent(UIEventRecord& record)
{
    UIElement* const modal = m_modalElement.Get();
    if (record.type == UIEVENT_MOUSEDOWN && modal != nullptr && record.source != nullptr &&
        record.source->IsModal() == 0)
    {
        if (modal->IsModalFlag() == UISTATE_MODAL)
        {
            modal->SetHighlight(true, true, 0);
            modal->SetHighlight(false, true, 0);
            return false;
        }
        modal->SetVisible(false, false, false);
    }
    return UIElement::HandleEvent(record);
}
