#include "ui/widgets/UILayout.h"

#include "core/containers/Dynarray.h"
#include "core/threads/CommandRingBuffer.h"
#include "ui/elements/UICommand.h"

namespace
{
constexpr uint32_t CMD_APPLY_LAYOUT = 90;
constexpr RenderCallFunction kTrampoline = &UICommandTrampoline<&UILayout::RunCommand>;
constexpr uint32_t kStackingMask = 0xF;
constexpr uint32_t kFlowVertical = UILAYOUT_FLOW | UILAYOUT_VERTICAL;
constexpr uint32_t kFlowHorizontal = UILAYOUT_FLOW | UILAYOUT_HORIZONTAL;

struct Cell
{
    float x, y, width, height;
};
} // namespace

UILayout::UILayout()
{
    m_scriptClassName = "UILayout";
}

void UILayout::OnCreated(uint32_t creationFlags)
{
    UIElement::OnCreated(creationFlags);
    if ((creationFlags & 3) != 0)
        QueueLayout();
}

void UILayout::QueueLayout()
{
    UICommand command(kTrampoline, &UILayout::RunCommand, CMD_APPLY_LAYOUT, this,
                      renderpayload::kU32 + 4 * renderpayload::kFloat);
    command.Put(m_flags).Put(m_spacers.left).Put(m_spacers.right).Put(m_spacers.top).Put(m_spacers.bottom);
}

void UILayout::RunCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    auto* const layout = ReadCommandValue<UILayout*>(reader);
    if (layout == nullptr || commandId != CMD_APPLY_LAYOUT)
        return;
    const uint32_t flags = ReadCommandValue<uint32_t>(reader);
    Spacers spacers;
    spacers.left = ReadCommandValue<float>(reader);
    spacers.right = ReadCommandValue<float>(reader);
    spacers.top = ReadCommandValue<float>(reader);
    spacers.bottom = ReadCommandValue<float>(reader);
    layout->ApplyLayout(flags, spacers);
}

void UILayout::ApplyLayout(uint32_t flags, const Spacers& spacers)
{
    UIElement* const first = GetRenderFirstChild();
    if (first == nullptr)
        return;
    const uint32_t alignment = flags & ~kStackingMask;
    Dynarray<Cell> cells;
    for (UIElement* child = first; child != nullptr; child = child->GetRenderNextSibling())
    {
        const float w = child->GetRenderSize().x, h = child->GetRenderSize().y;
        const float x = alignment == UILAYOUT_ALIGN_CENTER ? -w * 0.5f : alignment == UILAYOUT_ALIGN_RIGHT ? -w : 0.0f;
        cells.Add(Cell{x + spacers.left, spacers.top, w + spacers.right, h + spacers.bottom});
    }

    Vector min, max;
    ComputeChildrenBounds(min, max, 0);
    const float extentX = max.x - min.x;
    const float shift = flags == (kFlowVertical | UILAYOUT_ALIGN_RIGHT)    ? extentX
                        : flags == (kFlowVertical | UILAYOUT_ALIGN_CENTER) ? extentX * 0.5f
                                                                           : 0.0f;
    for (Cell& cell : cells)
        cell.x += shift;

    const Vector origin = first->GetRenderPosition();
    const uint32_t stacking = flags & kStackingMask;
    if (stacking == kFlowVertical)
    {
        first->SetRenderPosition(Vector(cells[0].x + spacers.left + origin.x, spacers.top + origin.y, origin.z, origin.w));
        const float base = spacers.left + origin.x;
        float run = origin.y + cells[0].height;
        int32_t i = 1;
        for (UIElement* child = first->GetRenderNextSibling(); child != nullptr; child = child->GetRenderNextSibling(), ++i)
        {
            const Vector& p = child->GetRenderPosition();
            child->SetRenderPosition(Vector(cells[i].x + base, spacers.top + run, p.z, p.w));
            run += cells[i].height;
        }
    }
    else if (stacking == kFlowHorizontal)
    {
        first->SetRenderPosition(Vector(origin.x + spacers.left, spacers.top + origin.y, origin.z, origin.w));
        const float rowY = spacers.top + origin.y;
        float run = origin.x + cells[0].width;
        int32_t i = 1;
        for (UIElement* child = first->GetRenderNextSibling(); child != nullptr; child = child->GetRenderNextSibling(), ++i)
        {
            const Vector& p = child->GetRenderPosition();
            child->SetRenderPosition(Vector(run + spacers.left, rowY, p.z, p.w));
            run += cells[i].width;
        }
    }

    // Grow to fit: every new row adds its height, every new column its width.
    float width = first->GetRenderSize().x * first->GetRenderScale().x;
    float height = first->GetRenderSize().y * first->GetRenderScale().y;
    float lastX = first->GetRenderPosition().x, lastY = first->GetRenderPosition().y;
    for (UIElement* child = first->GetRenderNextSibling(); child != nullptr; child = child->GetRenderNextSibling())
    {
        const Vector& p = child->GetRenderPosition();
        if (p.y != lastY)
        {
            height += child->GetRenderSize().y * child->GetRenderScale().y;
            lastY = p.y;
        }
        if (p.x != lastX)
        {
            width += child->GetRenderSize().x * child->GetRenderScale().x;
            lastX = p.x;
        }
    }
    const Vector size = GetRenderSize();
    if (width > size.x)
        SetRect(Vector(width, size.y, size.z, 1.0f));
    if (height > GetRenderSize().y)
        SetRect(Vector(GetRenderSize().x, height, size.z, 1.0f));
}
