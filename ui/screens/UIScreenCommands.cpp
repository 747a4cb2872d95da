// The UI commands of the UIScreen family (ids 28 and 29): the writers Draw uses on the main thread
// and the render-side executor.
#include "core/threads/CommandRingBuffer.h"
#include "renderer/RenderCommands.h"
#include "ui/elements/UICommand.h"
#include "ui/screens/UIScreen.h"

namespace
{
namespace rp = renderpayload;

enum UIScreenCommand : uint32_t
{
    CMD_SET_RENDER_MATRICES = 28,
    CMD_RENDER_PASS = 29,
};

constexpr RenderCallFunction kTrampoline = &UICommandTrampoline<&UIScreen::RunCommand>;
} // namespace

void UIScreen::WriteScreenMatrices(const Matrix& view, const Matrix& projection, const uint32_t viewportWords0[2],
                                   const uint32_t viewportWords1[2], float width, float height, float scaleX,
                                   float scaleY, const Vector& pointer)
{
    UICommand command(kTrampoline, &UIScreen::RunCommand, CMD_SET_RENDER_MATRICES, this,
                      2 * sizeof(Matrix) + 4 * rp::kU32 + 4 * rp::kFloat + rp::kVector);
    command.Put(view).Put(projection);
    command.Put(viewportWords0[0]).Put(viewportWords0[1]).Put(viewportWords1[0]).Put(viewportWords1[1]);
    command.Put(width).Put(height).Put(scaleX).Put(scaleY).Put(pointer);
}

void UIScreen::WriteRenderPass()
{
    UICommand(kTrampoline, &UIScreen::RunCommand, CMD_RENDER_PASS, this, 0);
}

void UIScreen::RunCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    UIScreen* const screen = ReadCommandValue<UIScreen*>(reader);
    if (screen == nullptr)
        return;
    switch (commandId)
    {
    case CMD_SET_RENDER_MATRICES:
    {
        const Matrix view = ReadCommandValue<Matrix>(reader);
        const Matrix projection = ReadCommandValue<Matrix>(reader);
        uint32_t words0[2], words1[2];
        words0[0] = ReadCommandValue<uint32_t>(reader);
        words0[1] = ReadCommandValue<uint32_t>(reader);
        words1[0] = ReadCommandValue<uint32_t>(reader);
        words1[1] = ReadCommandValue<uint32_t>(reader);
        const float width = ReadCommandValue<float>(reader);
        const float height = ReadCommandValue<float>(reader);
        const float scaleX = ReadCommandValue<float>(reader);
        const float scaleY = ReadCommandValue<float>(reader);
        const Vector pointer = ReadCommandValue<Vector>(reader);
        SetRenderMatrices(view, projection, words0, words1, width, height, scaleX, scaleY, pointer);
        return;
    }
    case CMD_RENDER_PASS: screen->RenderPass(true); return;
    default: return;
    }
}
