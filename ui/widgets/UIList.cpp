// The main-thread half of the list: entries, the fixed entry, selection and the pointer handling.
#include "ui/widgets/UIList.h"

#include "renderer/RenderCommands.h"
#include "ui/elements/UICommand.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIProperties.h"
#include "ui/screens/UIScreen.h"
#include "ui/widgets/UIListGeometry.h"

#include <cmath>

namespace
{
namespace rp = renderpayload;

enum ListCommand : uint32_t
{
    CMD_SET_CONTAINER = 73,
    CMD_SET_FIXED_ENTRY = 74,
    CMD_SET_CONTENT_LENGTH = 75,
    CMD_SET_ENTRY_COUNT = 76,
    CMD_SET_FIXED_INDEX = 77,
    CMD_SET_FIXED_SPAN = 78,
    CMD_SET_OFFSET = 79,
    CMD_STOP = 80,
    CMD_DRAG = 81,
    CMD_THROW = 82,
};

constexpr RenderCallFunction kListTrampoline = &UICommandTrampoline<&UIList::RunCommand>;
constexpr uint32_t kEntryFlag = 128;
constexpr uint32_t kPreviewEntryCount = 20;
constexpr float kFixedFadeSeconds = 0.1f;
constexpr uint32_t kFixedFadeChannel = 3;

bool IsListPointerEvent(uint32_t type)
{
    return type == UIEVENT_MOUSEDOWN || type == UIEVENT_MOUSEUP || type == UIEVENT_DRAGBEGIN ||
           type == UIEVENT_DRAGEND;
}
} // namespace

UIList::UIList() : m_verticalScale(UIGetEffectiveScaleY())
{
    m_scriptClassName = "UIList";
    Clear(true);
}

float UIList::GetMainHeight(const UIElement* element)
{
    const UIElementRecipe* const recipe = element != nullptr ? element->GetRecipe() : nullptr;
    return recipe != nullptr ? recipe->m_size.y : 0.0f;
}

// ---- Commands ----

void UIList::SendFloat(uint32_t commandId, float value)
{
    UICommand command(kListTrampoline, &UIList::RunCommand, commandId, this, rp::kFloat);
    command.Put(value);
}

void UIList::SendU32(uint32_t commandId, uint32_t value)
{
    UICommand command(kListTrampoline, &UIList::RunCommand, commandId, this, rp::kU32);
    command.Put(value);
}

void UIList::SendNoPayload(uint32_t commandId)
{
    UICommand(kListTrampoline, &UIList::RunCommand, commandId, this, 0);
}

void UIList::SetContentLength(float length)
{
    m_contentLength = length;
    SendFloat(CMD_SET_CONTENT_LENGTH, length);
}

void UIList::SetEntryCount(uint32_t count)
{
    m_entryCount = count;
    SendU32(CMD_SET_ENTRY_COUNT, count);
}

void UIList::SetFixedIndex(uint32_t index)
{
    m_fixedIndex = index;
    SendU32(CMD_SET_FIXED_INDEX, index);
}

void UIList::SetFixedSpan(uint32_t span)
{
    m_fixedSpan = span;
    SendU32(CMD_SET_FIXED_SPAN, span);
}

void UIList::SetScrollOffset(float offset)
{
    m_scrollOffset = offset;
    SendFloat(CMD_SET_OFFSET, offset);
}

// ---- Entries ----

void UIList::Clear(bool keepChildren)
{
    if (m_container != nullptr)
    {
        RemoveChild(m_container);
        // Kept entries leave the container before it goes, so its release does not take them along.
        if (keepChildren)
            while (UIElement* const child = m_container->GetFirstChild())
                m_container->RemoveChild(child);
        m_container->Release();
    }
    m_container = new UIElement;
    m_container->RaiseFlag(UIFLAG_TRANSPARENT);
    m_container->SetDefaultActionFlags(0, true);
    AddChild(m_container);
    SetContentLength(0.0f);
    SetScrollOffset(0.0f);
    SetEntryCount(0);
    m_entries.Clear();
    if (m_fixedEntry != nullptr)
    {
        m_fixedEntry->Hide();
        // The fixed entry stays the list's last child, drawn over the new container.
        RemoveChild(m_fixedEntry);
        AddChild(m_fixedEntry);
    }
    UICommand command(kListTrampoline, &UIList::RunCommand, CMD_SET_CONTAINER, this, rp::kPointer);
    command.Put(m_container);
}

void UIList::AddEntry(UIElement* element, bool selectable)
{
    if (element == nullptr)
        return;
    element->RaiseFlag(kEntryFlag);
    element->SetPositionXYZ(0.0f, m_contentLength, 0.0f);
    SetContentLength(m_contentLength + GetMainHeight(element));
    m_container->AddChild(element);
    Entry entry;
    entry.element = element;
    entry.selectable = selectable ? 1 : 0;
    m_entries.Add(entry);
    SetEntryCount(m_entryCount + 1);
}

UIElement* UIList::AddListElement(const char* subRecipeName, bool withFixedEntry, bool selectable)
{
    UIElementRecipe* const recipe = GetRecipe();
    UIElementRecipe* const sub = recipe != nullptr ? recipe->FindByName(NameString(subRecipeName)) : nullptr;
    if (sub == nullptr)
        return nullptr;
    UIElement* const element = UIElementRecipe::CreateElement(sub, GetRecipeTemplate(), 0, &gUIProperties);
    if (element == nullptr)
        return nullptr;
    AddEntry(element, selectable);
    UIElementRecipe* const fixedRecipe = withFixedEntry && m_fixedEntry == nullptr
                                             ? recipe->FindByName(NameString("FixedEntry"))
                                             : nullptr;
    if (fixedRecipe == nullptr)
        return element;
    SetFixedIndex(m_entryCount - 1);
    m_fixedEntry = UIElementRecipe::CreateElement(fixedRecipe, GetRecipeTemplate(), 0, &gUIProperties);
    if (m_fixedEntry == nullptr)
        return element;
    m_fixedEntry->RaiseFlag(UIFLAG_DRAWPENDINGUIELEMENTSBEFORE, true);
    m_fixedEntry->Hide();
    AddChild(m_fixedEntry);
    {
        // Ended before the next command is written.
        UICommand command(kListTrampoline, &UIList::RunCommand, CMD_SET_FIXED_ENTRY, this, rp::kPointer + rp::kU32);
        command.Put(m_fixedEntry).Put(GetDefaultActionFlags());
    }
    SetFixedSpan(FixedEntrySpan(GetMainHeight(m_fixedEntry), m_contentLength, m_entryCount));
    UpdateFixedEntry();
    return element;
}

void UIList::SyncFixedEntryState()
{
    const uint32_t state = m_fixedHandOver.exchange(0, std::memory_order_acq_rel);
    if (state != 0 && m_fixedEntry != nullptr)
        m_fixedEntry->SyncVisibleFlag(state == 1);
}

void UIList::UpdateFixedEntry()
{
    SyncFixedEntryState();
    if (m_fixedEntry == nullptr)
        return;
    const FixedEntryCase decision = ChooseFixedEntryCase(m_fixedEntry->IsVisibleFlag(), m_scrollOffset, m_contentLength,
                                                         m_entryCount, m_fixedIndex, m_fixedSpan);
    if (decision == FIXED_KEEP)
        return;
    if (decision == FIXED_SHOW_AT_BOTTOM)
        m_fixedEntry->SetPosition(Vector(0.0f, GetMainHeight(this) - GetMainHeight(m_fixedEntry), 0.0f, 1.0f));
    else if (decision == FIXED_HIDE_AT_TOP)
        m_fixedEntry->SetPosition(Vector(0.0f, 0.0f, 0.0f, 0.0f));
    m_fixedEntry->RemoveAllActions(-1);
    if (decision != FIXED_HIDE_IN_VIEW)
        m_fixedEntry->SetColorRGBA(1.0f, 1.0f, 1.0f, 1.0f);
    if (decision == FIXED_SHOW_AT_BOTTOM)
        m_fixedEntry->ShowAndBlendIn(kFixedFadeSeconds, UIACTIONFLAG_SYSTEMTIME, kFixedFadeChannel);
    else
        m_fixedEntry->BlendOutAndHide(kFixedFadeSeconds, UIACTIONFLAG_SYSTEMTIME, kFixedFadeChannel);
}

void UIList::OnCreated(uint32_t creationFlags)
{
    UIElement::OnCreated(creationFlags);
    UIElementRecipe* const recipe = GetRecipe();
    if ((creationFlags & 3) != 3 || recipe == nullptr || recipe->GetChildren().Count() == 0)
        return;
    UIElementRecipe* const first = recipe->GetChildren()[0];
    for (uint32_t i = 0; i < kPreviewEntryCount; ++i)
        AddEntry(UIElementRecipe::CreateElement(first, GetRecipeTemplate(), 0, &gUIProperties), true);
}

void UIList::OnRemoved()
{
    m_entries.Clear();
    m_lastDelivered = nullptr;
    m_current = nullptr;
    m_pressed = nullptr;
    UIElement::OnRemoved();
}

// ---- Selection and pointer input ----

UIElement* UIList::HeldPress() const
{
    return m_selectableChildren ? m_pressed.Get() : m_current.Get();
}

void UIList::SelectEntry(UIElement* element)
{
    UIElement* const selected = m_current.Get();
    if (element != nullptr && element == selected)
    {
        if (m_bypassEvents && element != m_lastDelivered.Get())
            element->SetSelect(!element->IsSelected(), false, 0);
        return;
    }
    if (element != nullptr)
    {
        if (selected != nullptr)
            selected->SetSelect(false, false, 0);
        m_current = element;
        element->SetSelect(true, false, 0);
    }
    SendEvent(UIEVENT_ONSELECTIONCHANGED, 0, 0);
}

void UIList::PressOnChild(UIElement* element)
{
    if (m_selectableChildren && element != nullptr)
        for (const Entry& entry : m_entries)
        {
            UIElement* const candidate = entry.element.Get();
            if (candidate != nullptr && entry.selectable != 0 && element->IsDescendantOf(candidate))
                SelectEntry(candidate);
        }
    SendNoPayload(CMD_STOP);
}

void UIList::OnDrag(const Vector& point)
{
    m_dragged = true;
    if (UIElement* const held = HeldPress())
        held->SetHighlight(false, false, 0);
    UICommand command(kListTrampoline, &UIList::RunCommand, CMD_DRAG, this, rp::kVector);
    command.Put(point);
}

void UIList::PreviewEvent(UIEventRecord& record)
{
    UIElement::PreviewEvent(record);
    if (IsListPointerEvent(record.type))
        record.flags |= UIDISPATCH_NOTIFYSCREEN;
}

bool UIList::NotifyScreen(UIEventRecord& record)
{
    UIElement::NotifyScreen(record);
    if ((record.flags & UIDISPATCH_STOPBUBBLING) != 0)
        return false;
    SyncFixedEntryState();
    UIElement* const source = record.source;
    bool consumed = false;
    switch (record.type)
    {
    case UIEVENT_MOUSEDOWN:
        if (m_selectableChildren)
        {
            for (const Entry& entry : m_entries)
            {
                UIElement* const candidate = entry.element.Get();
                if (candidate != nullptr && source != nullptr && source->IsDescendantOf(candidate) &&
                    entry.selectable != 0 && source->IsTriState())
                    m_pressed = source;
            }
            // A press while the list glides only stops it.
            if (GetMotionState() == MOTION_THROWN)
                m_pressed = nullptr;
            consumed = true;
        }
        else if (m_passPresses)
        {
            if (m_current.Get() == nullptr && GetMotionState() != MOTION_THROWN)
                m_current = source;
            consumed = m_current.Get() != nullptr;
        }
        break;
    case UIEVENT_MOUSEUP: consumed = m_selectableChildren || m_passPresses; break;
    case UIEVENT_DRAGBEGIN:
    case UIEVENT_DRAGEND: consumed = true; break;
    default: break;
    }
    if (consumed)
    {
        record.flags |= UIDISPATCH_STOPBUBBLING;
        if (source == this)
            record.flags |= UIDISPATCH_SUBTREEONLY;
    }
    return !consumed;
}

void UIList::ResolvePress()
{
    if (m_selectableChildren)
    {
        if (m_bypassEvents)
            m_lastDelivered = m_pressed.Get();
        UIElement* pressed = m_pressed.Get();
        if (m_dragged && pressed != nullptr)
        {
            pressed->SetHighlight(false, false, 0);
            pressed = nullptr;
        }
        // Cleared first: the deliveries below come back through this list's own handling.
        m_pressed = nullptr;
        if (pressed != nullptr)
        {
            SelectEntry(pressed);
            if (m_bypassEvents)
                pressed->ConsumeMouseUp(0);
        }
        return;
    }
    UIElement* current = m_current.Get();
    m_current = nullptr;
    if (m_bypassEvents)
    {
        m_lastDelivered = current;
        return;
    }
    if (m_dragged)
        current = nullptr;
    if (current != nullptr && current != m_lastDelivered.Get())
    {
        m_passPresses = false;
        current->ConsumeMouseDown(0);
        current->ConsumeMouseUp(0);
        m_passPresses = true;
    }
}

bool UIList::HandleEvent(UIEventRecord& record)
{
    switch (record.type)
    {
    case UIEVENT_MOUSEDOWN:
        // A press the list hands on comes back up here: it is the entry's, not a new one.
        if (!m_passPresses)
            return UIElement::HandleEvent(record);
        if (UIElement* const held = HeldPress())
            held->SetHighlight(true, false, record.pointer);
        SendNoPayload(CMD_STOP);
        UIElement::HandleEvent(record);
        return true;
    case UIEVENT_MOUSEUP:
        if (!m_passPresses)
            return UIElement::HandleEvent(record);
        ResolvePress();
        SendNoPayload(CMD_THROW);
        UIElement::HandleEvent(record);
        return true;
    case UIEVENT_DRAGEND: m_dragged = false; return UIElement::HandleEvent(record);
    default: return UIElement::HandleEvent(record);
    }
}
