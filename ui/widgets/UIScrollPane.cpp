// The main-thread half of the scroll pane: settings, commands and the pointer handling that holds
// back presses on children.
#include "ui/widgets/UIScrollPane.h"

#include "core/console/GameConsole.h"
#include "renderer/RenderCommands.h"
#include "ui/elements/UICommand.h"
#include "ui/screens/UIScreen.h"

#include <cmath>

namespace
{
namespace rp = renderpayload;

enum ScrollPaneCommand : uint32_t
{
    CMD_UPDATE_TOTAL_SIZE = 83,
    CMD_STOP = 84,
    CMD_DRAG = 85,
    CMD_THROW = 86,
    CMD_SET_BORDER = 87,
    CMD_FOCUS = 88,
    CMD_ZOOM = 89,
    CMD_SETTINGS = 91,
};

constexpr RenderCallFunction kTrampoline = &UICommandTrampoline<&UIScrollPane::RunCommand>;

bool IsPanePointerEvent(uint32_t type)
{
    return type == UIEVENT_MOUSEDOWN || type == UIEVENT_MOUSEUP || type == UIEVENT_DRAGBEGIN ||
           type == UIEVENT_DRAGEND;
}

bool StopsDragSearch(const UIElement* element)
{
    return element != nullptr && (element->GetDragFlags() & 1) != 0;
}
} // namespace

UIScrollPane::UIScrollPane()
    : m_pointerScaleX(UIGetEffectiveScaleX()), m_pointerScaleY(UIGetEffectiveScaleY())
{
    m_scriptClassName = "UIScrollPane";
    // Both flag words at once: the render copy follows through the command.
    RaiseFlag(UIFLAG_DRAWPENDINGUIELEMENTSBEFORE);
}

void UIScrollPane::OnCreated(uint32_t creationFlags)
{
    UIElement::OnCreated(creationFlags);
    UpdateTotalSize();
}

void UIScrollPane::OnRectChanged()
{
    if (GetRecipe() != nullptr)
        UpdateTotalSize();
}

void UIScrollPane::SendNoPayload(uint32_t commandId)
{
    UICommand(kTrampoline, &UIScrollPane::RunCommand, commandId, this, 0);
}

void UIScrollPane::SendSettings()
{
    UICommand command(kTrampoline, &UIScrollPane::RunCommand, CMD_SETTINGS, this, rp::kVector + rp::kU8);
    command.Put(m_mainAxisMask).Put(uint8_t(m_mainDisableBorder ? 1 : 0));
}

void UIScrollPane::SetScrollDirection(uint32_t direction)
{
    switch (direction)
    {
    case SCROLL_VERTICAL: m_mainAxisMask.Set(0.0f, 1.0f, 0.0f, 1.0f); break;
    case SCROLL_HORIZONTAL: m_mainAxisMask.Set(1.0f, 0.0f, 0.0f, 1.0f); break;
    case SCROLL_BOTH: m_mainAxisMask.Set(1.0f, 1.0f, 0.0f, 1.0f); break;
    default: return;
    }
    SendSettings();
}

void UIScrollPane::SetDisableBorder(bool disable)
{
    m_mainDisableBorder = disable;
    SendSettings();
}

void UIScrollPane::UpdateTotalSize()
{
    SendNoPayload(CMD_UPDATE_TOTAL_SIZE);
}

void UIScrollPane::SetScrollBorder(float border)
{
    UICommand command(kTrampoline, &UIScrollPane::RunCommand, CMD_SET_BORDER, this, rp::kFloat);
    command.Put(border);
}

void UIScrollPane::FocusOnElement(UIElement* element)
{
    UICommand command(kTrampoline, &UIScrollPane::RunCommand, CMD_FOCUS, this, rp::kPointer);
    command.Put(element);
}

void UIScrollPane::Zoom(const Vector& pivot, float zoom, float seconds)
{
    // The next step divides by the zoom already applied: a zero would turn every child's place
    // into infinities.
    if (!(zoom > 0.0f) || !std::isfinite(zoom))
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Scroll pane zoom %f refused: it must be a positive number", zoom);
        return;
    }
    UICommand command(kTrampoline, &UIScrollPane::RunCommand, CMD_ZOOM, this,
                      rp::kVector + 2 * rp::kFloat + sizeof(uint64_t));
    command.Put(pivot).Put(zoom).Put(seconds).Put(uint64_t(0));
}

void UIScrollPane::OnDrag(const Vector& point)
{
    m_dragged = true;
    UICommand command(kTrampoline, &UIScrollPane::RunCommand, CMD_DRAG, this, rp::kVector);
    command.Put(point);
}

void UIScrollPane::OnRemoved()
{
    m_pendingElement = nullptr;
    UIElement::OnRemoved();
}

void UIScrollPane::PreviewEvent(UIEventRecord& record)
{
    UIElement::PreviewEvent(record);
    if (!StopsDragSearch(record.source) && IsPanePointerEvent(record.type))
        record.flags |= UIDISPATCH_NOTIFYSCREEN;
}

bool UIScrollPane::NotifyScreen(UIEventRecord& record)
{
    UIElement::NotifyScreen(record);
    if ((record.flags & UIDISPATCH_STOPBUBBLING) != 0 || StopsDragSearch(record.source))
        return (record.flags & UIDISPATCH_STOPBUBBLING) == 0;
    const bool mayClick = !m_dragged && (GetMotionState() == MOTION_IDLE || m_clickWhileScrolling);
    bool consumed = false;
    switch (record.type)
    {
    case UIEVENT_MOUSEDOWN:
        consumed = true;
        if (m_pendingElement.Get() == nullptr && mayClick && record.source != nullptr)
        {
            m_pendingRecord = record;
            m_pendingElement = record.source;
        }
        break;
    case UIEVENT_MOUSEUP: consumed = (m_delivering && record.source == this) || !mayClick; break;
    case UIEVENT_DRAGBEGIN:
    case UIEVENT_DRAGEND: consumed = true; break;
    default: break;
    }
    if (consumed)
    {
        record.flags |= UIDISPATCH_STOPBUBBLING;
        if (record.source == this)
            record.flags |= UIDISPATCH_SUBTREEONLY;
    }
    return !consumed;
}

bool UIScrollPane::HandleEvent(UIEventRecord& record)
{
    switch (record.type)
    {
    case UIEVENT_MOUSEDOWN:
        SendNoPayload(CMD_STOP);
        UIElement::HandleEvent(record);
        return true;
    case UIEVENT_MOUSEUP:
    {
        // The held press's own release bubbles back up here while it is delivered.
        if (m_delivering)
            return true;
        UIElement* const element = m_pendingElement.Get();
        UIEventRecord held = m_pendingRecord;
        m_pendingElement = nullptr;
        const bool mayClick = !m_dragged && (GetMotionState() == MOTION_IDLE || m_clickWhileScrolling);
        if (mayClick && element != nullptr)
        {
            held.flags |= UIDISPATCH_THISONLY;
            held.source = element;
            element->DispatchEvent(held);
            m_delivering = true;
            element->ConsumeMouseUp(0);
            m_delivering = false;
        }
        SendNoPayload(CMD_THROW);
        UIElement::HandleEvent(record);
        return true;
    }
    case UIEVENT_DRAGEND: m_dragged = false; return UIElement::HandleEvent(record);
    default: return UIElement::HandleEvent(record);
    }
}
