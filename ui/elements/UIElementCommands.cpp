// The UI commands of the UIElement family (ids 0 to 27): the main-thread setters that write them and
// the render-side executor that carries them out. Setters on the main thread, executor on the render
// side.
#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/RenderCommands.h"
#include "ui/elements/UICommand.h"
#include "ui/elements/UIDeferredDeletion.h"
#include "ui/elements/UIElement.h"
#include "ui/elements/UIElementIdMap.h"
#include "ui/widgets/UIAction.h"

#include <cmath>
#include <cstring>

namespace
{
namespace rp = renderpayload;

enum UIElementCommand : uint32_t
{
    CMD_RELEASE = 0,
    CMD_ADD_CHILD = 1,
    CMD_REMOVE_CHILD = 2,
    CMD_DELETE_CHILDREN = 3,
    CMD_RAISE_FLAG = 4,
    CMD_CLEAR_FLAG = 5,
    CMD_SET_MODAL_RENDER_FLAG = 6,
    CMD_CLEAR_MODAL_RENDER_FLAG = 7,
    CMD_SET_WINDOW_ALIGNMENT = 8,
    CMD_SET_ASPECT_SCALING = 9,
    CMD_SET_POSITION = 10,
    CMD_SET_POSITION_WITH_MASK = 11,
    CMD_SET_ANCHOR = 12,
    CMD_SET_ROTATION = 13,
    CMD_SET_SCALE = 14,
    CMD_SET_SIZE = 15,
    CMD_SET_SELECTION_FRAME = 16,
    CMD_SET_COLOR = 17,
    CMD_SET_BLEND_MODE = 18,
    CMD_SET_COLOR_MODE = 19,
    CMD_SET_OUTLINE = 20,
    CMD_SET_TAG = 21,
    CMD_SET_EXTRA_PARAM = 22,
    CMD_REMOVE_ALL_ACTIONS = 24,
    CMD_ADD_ACTION = 25,
    CMD_SET_TRACKED_POSITION = 26,
    CMD_MORPH_INTO_CONNECTION = 27,
};

constexpr RenderCallFunction kElementCommandTrampoline = &UICommandTrampoline<&UIElement::RunCommand>;

Vector GammaToLinear(const Vector& color)
{
    return Vector(std::pow(color.x, 2.2f), std::pow(color.y, 2.2f), std::pow(color.z, 2.2f), color.w);
}
} // namespace

// ---- Main thread ----

void UIElement::SendDeletion()
{
    UICommand(kElementCommandTrampoline, &UIElement::RunCommand, CMD_RELEASE, this, 0);
}

void UIElement::SendVector(uint32_t commandId, const Vector& value)
{
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, commandId, this, rp::kVector);
    command.Put(value);
}

void UIElement::SendU32(uint32_t commandId, uint32_t value)
{
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, commandId, this, rp::kU32);
    command.Put(value);
}

void UIElement::AddChild(UIElement* child)
{
    if (child == nullptr)
        return;
    LinkMainChild(child);
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, CMD_ADD_CHILD, this, rp::kPointer);
    command.Put(child);
}

void UIElement::RemoveChild(UIElement* child)
{
    if (child == nullptr)
        return;
    if (child->m_parent == this)
        child->UnlinkFromMainParent();
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, CMD_REMOVE_CHILD, this, rp::kPointer);
    command.Put(child);
}

void UIElement::DeleteChildren()
{
    RemoveAllChildren();
    UICommand(kElementCommandTrampoline, &UIElement::RunCommand, CMD_DELETE_CHILDREN, this, 0);
}

void UIElement::RaiseFlag(uint32_t mask, bool recursive)
{
    m_userFlags |= mask;
    if (IsPointerSelectable())
        RegisterUIElementId(this);
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, CMD_RAISE_FLAG, this, rp::kU32 + rp::kU8);
    command.Put(mask).Put(uint8_t(recursive ? 1 : 0));
}

void UIElement::ClearFlag(uint32_t mask, bool recursive)
{
    m_userFlags &= ~mask;
    if (!IsPointerSelectable())
        UnregisterUIElementId(this);
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, CMD_CLEAR_FLAG, this, rp::kU32 + rp::kU8);
    command.Put(mask).Put(uint8_t(recursive ? 1 : 0));
}

void UIElement::SetModalRenderFlag(uint32_t mask)
{
    SendU32(CMD_SET_MODAL_RENDER_FLAG, mask);
}

void UIElement::ClearModalRenderFlag(uint32_t mask)
{
    SendU32(CMD_CLEAR_MODAL_RENDER_FLAG, mask);
}

void UIElement::SetWindowAlignment(uint32_t value)
{
    SendU32(CMD_SET_WINDOW_ALIGNMENT, value);
}

void UIElement::SetAspectScaling(uint32_t value)
{
    SendU32(CMD_SET_ASPECT_SCALING, value);
}

void UIElement::SetPosition(const Vector& position)
{
    SendVector(CMD_SET_POSITION, position);
}

void UIElement::SetPositionXYZ(float x, float y, float z)
{
    SendVector(CMD_SET_POSITION, Vector(x, y, z, 1.0f));
}

void UIElement::SetPositionWithMask(float x, float y, float z, bool maskX, bool maskY, bool maskZ)
{
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, CMD_SET_POSITION_WITH_MASK, this, 2 * rp::kVector);
    command.Put(Vector(x, y, z, 1.0f)).Put(Vector(maskX ? 1.0f : 0.0f, maskY ? 1.0f : 0.0f, maskZ ? 1.0f : 0.0f, 0.0f));
}

void UIElement::SetAnchor(const Vector& anchor)
{
    SendVector(CMD_SET_ANCHOR, anchor);
}

void UIElement::SetAnchorXYZ(float x, float y, float z)
{
    SendVector(CMD_SET_ANCHOR, Vector(x, y, z, 0.0f));
}

void UIElement::SetRotation(const Vector& rotation)
{
    SendVector(CMD_SET_ROTATION, rotation);
}

void UIElement::SetRotationXYZ(float x, float y, float z)
{
    SendVector(CMD_SET_ROTATION, Vector(x, y, z, 0.0f));
}

void UIElement::SetRotationZ(float degrees)
{
    SendVector(CMD_SET_ROTATION, Vector(0.0f, 0.0f, degrees, 0.0f));
}

void UIElement::SetScale(const Vector& scale)
{
    SendVector(CMD_SET_SCALE, scale);
}

void UIElement::SetScaleXYZ(float x, float y, float z)
{
    SendVector(CMD_SET_SCALE, Vector(x, y, z, 0.0f));
}

void UIElement::SetScaleUniform(float scale)
{
    SendVector(CMD_SET_SCALE, Vector(scale, scale, scale, 0.0f));
}

void UIElement::SetSize(const Vector& size)
{
    SendVector(CMD_SET_SIZE, size);
}

void UIElement::SetSizeXY(float width, float height)
{
    SendVector(CMD_SET_SIZE, Vector(width, height, 0.0f, 0.0f));
}

void UIElement::SetSelectionFrame(const Vector& frame)
{
    SendVector(CMD_SET_SELECTION_FRAME, frame);
}

void UIElement::SetColor(const Vector& color)
{
    SendVector(CMD_SET_COLOR, GammaToLinear(color));
}

void UIElement::SetColorRGBA(float r, float g, float b, float a)
{
    SendVector(CMD_SET_COLOR, GammaToLinear(Vector(r, g, b, a)));
}

void UIElement::SetLinearColor(const Vector& color)
{
    SendVector(CMD_SET_COLOR, color);
}

void UIElement::SetLinearColorRGBA(float r, float g, float b, float a)
{
    SendVector(CMD_SET_COLOR, Vector(r, g, b, a));
}

void UIElement::SetBlendMode(uint32_t mode)
{
    SendU32(CMD_SET_BLEND_MODE, mode);
}

void UIElement::SetColorMode(uint32_t mode)
{
    SendU32(CMD_SET_COLOR_MODE, mode);
}

void UIElement::SetOutline(uint32_t kind)
{
    SendU32(CMD_SET_OUTLINE, kind);
}

void UIElement::SetTag(const char* tag)
{
    const uint32_t length = tag != nullptr ? uint32_t(std::strlen(tag)) + 1 : 0;
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, CMD_SET_TAG, this, rp::kU32 + length);
    command.Put(length);
    command.Write(tag, length);
}

void UIElement::SetExtraParamVector(const Vector& value)
{
    SendVector(CMD_SET_EXTRA_PARAM, value);
}

void UIElement::RemoveAllActions(int32_t channel)
{
    SendU32(CMD_REMOVE_ALL_ACTIONS, uint32_t(channel));
}

void UIElement::AddAction(UIAction* action)
{
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, CMD_ADD_ACTION, this, rp::kPointer);
    command.Put(action);
}

void UIElement::SetTrackedPosition(const Vector& point, float value, uint32_t flags)
{
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, CMD_SET_TRACKED_POSITION, this,
                      rp::kVector + rp::kFloat + rp::kU32);
    command.Put(point).Put(value).Put(flags);
}

void UIElement::MorphIntoConnectionBetween(UIElement* a, UIElement* b)
{
    if (a == nullptr || b == nullptr)
        return;
    UICommand command(kElementCommandTrampoline, &UIElement::RunCommand, CMD_MORPH_INTO_CONNECTION, this, 2 * rp::kPointer);
    command.Put(a).Put(b);
}

// ---- Render side ----

void UIElement::RunCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    UIElement* const element = ReadCommandValue<UIElement*>(reader);
    if (element == nullptr)
        return;
    element->ExecuteCommand(commandId, reader);
}

void UIElement::ExecuteCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    switch (commandId)
    {
    case CMD_RELEASE:
        // The main thread takes an element in the hand-over slot and sends its deletion again.
        if (!IsUIElementPublishedForDeletion(this))
            delete this;
        return;
    case CMD_ADD_CHILD: AddRenderChild(ReadCommandValue<UIElement*>(reader)); return;
    case CMD_REMOVE_CHILD:
    {
        UIElement* const child = ReadCommandValue<UIElement*>(reader);
        if (child != nullptr && child->m_renderParent == this)
            child->DetachFromRenderParent();
        return;
    }
    case CMD_DELETE_CHILDREN: DeleteAllChildren(); return;
    case CMD_RAISE_FLAG:
    case CMD_CLEAR_FLAG:
    {
        const uint32_t mask = ReadCommandValue<uint32_t>(reader);
        const bool recursive = ReadCommandValue<uint8_t>(reader) != 0;
        if (commandId == CMD_RAISE_FLAG)
            SetRenderFlags(mask, recursive);
        else
            ClearRenderFlags(mask, recursive);
        return;
    }
    case CMD_SET_MODAL_RENDER_FLAG: m_renderState |= ReadCommandValue<uint32_t>(reader); return;
    case CMD_CLEAR_MODAL_RENDER_FLAG: m_renderState &= ~ReadCommandValue<uint32_t>(reader); return;
    case CMD_SET_WINDOW_ALIGNMENT: m_windowAlignment = ReadCommandValue<uint32_t>(reader); return;
    case CMD_SET_ASPECT_SCALING: m_aspectScaling = ReadCommandValue<uint32_t>(reader); return;
    case CMD_SET_POSITION: SetRenderPosition(ReadCommandValue<Vector>(reader)); return;
    case CMD_SET_POSITION_WITH_MASK:
    {
        const Vector value = ReadCommandValue<Vector>(reader);
        const Vector mask = ReadCommandValue<Vector>(reader);
        Vector position;
        position.Set(m_position.x + (value.x - m_position.x) * mask.x, m_position.y + (value.y - m_position.y) * mask.y,
                     m_position.z + (value.z - m_position.z) * mask.z, m_position.w + (value.w - m_position.w) * mask.w);
        SetRenderPosition(position);
        return;
    }
    case CMD_SET_ANCHOR:
    {
        const Vector anchor = ReadCommandValue<Vector>(reader);
        m_anchor.Set(-anchor.x, -anchor.y, -anchor.z, anchor.w);
        return;
    }
    case CMD_SET_ROTATION: SetRenderRotation(ReadCommandValue<Vector>(reader)); return;
    case CMD_SET_SCALE: SetRenderScale(ReadCommandValue<Vector>(reader)); return;
    case CMD_SET_SIZE: SetRect(ReadCommandValue<Vector>(reader)); return;
    case CMD_SET_SELECTION_FRAME: m_selectionFrame = ReadCommandValue<Vector>(reader); return;
    case CMD_SET_COLOR: m_color = ReadCommandValue<Vector>(reader); return;
    case CMD_SET_BLEND_MODE: m_blendMode = ReadCommandValue<uint32_t>(reader); return;
    case CMD_SET_COLOR_MODE: m_colorMode = ReadCommandValue<uint32_t>(reader); return;
    case CMD_SET_OUTLINE:
    {
        const uint32_t kind = ReadCommandValue<uint32_t>(reader);
        m_outlineMask = kind == 0 ? 0 : 1u << (kind & 31);
        return;
    }
    case CMD_SET_TAG:
    {
        const uint32_t length = ReadCommandValue<uint32_t>(reader);
        const char* const text = reinterpret_cast<const char*>(reader.GetReadCursor());
        // A tag that does not end inside the record is never read past it.
        if (length == 0 || length > reader.GetReadLeft() || text[length - 1] != '\0')
            m_tag.Set(nullptr);
        else
            m_tag.Set(text);
        reader.SkipRead(std::min(length, reader.GetReadLeft()));
        return;
    }
    case CMD_SET_EXTRA_PARAM: m_extraParam = ReadCommandValue<Vector>(reader); return;
    case CMD_REMOVE_ALL_ACTIONS: RemoveActionsOnChannel(int32_t(ReadCommandValue<uint32_t>(reader))); return;
    case CMD_ADD_ACTION: AddActionToChannel(ReadCommandValue<UIAction*>(reader)); return;
    case CMD_SET_TRACKED_POSITION:
    {
        const Vector point = ReadCommandValue<Vector>(reader);
        const float value = ReadCommandValue<float>(reader);
        TrackWorldPoint(point, value, ReadCommandValue<uint32_t>(reader));
        return;
    }
    case CMD_MORPH_INTO_CONNECTION:
    {
        const UIElement* const a = ReadCommandValue<UIElement*>(reader);
        const UIElement* const b = ReadCommandValue<UIElement*>(reader);
        if (a != nullptr && b != nullptr)
            MorphIntoConnection(a, b);
        return;
    }
    default: return;
    }
}
