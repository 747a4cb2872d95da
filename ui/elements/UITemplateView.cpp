// The template view's main-thread operations, the executor of its UI commands (ids 66 to 69) and
// its draw. Operations on the main thread, the executor and Render on the render side.
#include "ui/elements/UITemplateView.h"

#include "core/threads/CommandRingBuffer.h"
#include "effects/SFXContext.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/MeshEntityRenderingContext.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/OutlineRenderer.h"
#include "renderer/RenderDeviceManager.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "scene/templates/TemplateManager.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "ui/elements/UICommand.h"
#include "ui/widgets/UIActionKinds.h"

#include <algorithm>
#include <new>

namespace
{
namespace rp = renderpayload;

enum UITemplateViewCommand : uint32_t
{
    CMD_SET_TEMPLATE = 66,
    CMD_SET_SHADER_PRESET = 67,
    CMD_RESTART = 68,
    CMD_SET_LOCAL_MATRIX = 69,
};

constexpr RenderCallFunction kTrampoline = &UICommandTrampoline<&UITemplateView::RunCommand>;

bool IsKind(const EntityTemplate* entityTemplate, uint32_t typeId)
{
    return entityTemplate != nullptr &&
           TemplateTypeRegistry::GetInstance().IsKindOf(entityTemplate->GetTypeId(), typeId);
}
} // namespace

UITemplateView::UITemplateView(const char* templateName)
{
    m_scriptClassName = "UITemplateView";
    if (templateName != nullptr)
        SetTemplate(templateName);
}

// ---- Main thread ----

void UITemplateView::ReleaseContext()
{
    if (m_context != nullptr)
        m_context->Release();
    m_context = nullptr;
}

void UITemplateView::SetTemplate(const char* name)
{
    ReleaseContext();
    EntityTemplate* const old = m_template;
    m_template = gTemplateManager.GetTemplateLocked(name, true);
    const MeshTemplateRenderingData* data = nullptr;
    BoundingBox4 box = BoundingBox4::ZERO4;
    if (IsKind(m_template, MeshTemplate::kTypeId))
    {
        data = static_cast<const MeshTemplate*>(m_template)->GetRenderingData();
        box = m_template->GetStaticBoundingBox();
    }
    {
        UICommand command(kTrampoline, &UITemplateView::RunCommand, CMD_SET_TEMPLATE, this,
                          rp::kPointer + 2 * rp::kVector);
        command.Put(data).Put(box.min).Put(box.max);
    }
    // The old template goes only after the render side has stopped drawing its data.
    if (old != nullptr)
        old->Resource::Release();
}

void UITemplateView::SetShaderPreset(const char* name)
{
    if (!IsKind(m_template, MeshTemplate::kTypeId))
        return;
    const int32_t index = static_cast<const MeshTemplate*>(m_template)->GetShaderPresetIndexByName(name);
    UICommand command(kTrampoline, &UITemplateView::RunCommand, CMD_SET_SHADER_PRESET, this, rp::kU32);
    command.Put(uint32_t(std::max(index, 0)));
}

void UITemplateView::Restart()
{
    ReleaseContext();
    if (!IsKind(m_template, SFXTemplate::kTypeId) || gRenderer == nullptr)
        return;
    auto* const effect = static_cast<SFXTemplate*>(m_template);
    m_context = new SFXContext(*gRenderer, effect, GetUserFlags() | SFXContext::kFlagNoGrid, false);
    m_context->Init(effect->GetDefinition(), Matrix::ONE, false, 0);
    UICommand command(kTrampoline, &UITemplateView::RunCommand, CMD_RESTART, this, rp::kPointer);
    command.Put(m_context);
}

void UITemplateView::SetLocalMatrix(const Matrix& matrix)
{
    UICommand command(kTrampoline, &UITemplateView::RunCommand, CMD_SET_LOCAL_MATRIX, this, rp::kMatrix);
    command.Put(matrix);
}

void UITemplateView::LocalRotateWithOffset(float time, const Quaternion& rotation, const Vector& offset,
                                           uint32_t flags, uint32_t channel)
{
    AddAction(new (std::nothrow) UIActionLocalRotateWithOffset(time, rotation, offset, flags, channel));
}

void UITemplateView::SetResourceFlags(uint32_t flags)
{
    if (m_template != nullptr && gResourceManager != nullptr)
        gResourceManager->SetResourceFlags(m_template, flags);
}

void UITemplateView::OnRemoved()
{
    ReleaseContext();
    if (m_template != nullptr)
        m_template->Resource::Release();
    m_template = nullptr;
    UIElement::OnRemoved();
}

// ---- Render side ----

void UITemplateView::RunCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    auto* const view = ReadCommandValue<UITemplateView*>(reader);
    if (view == nullptr)
        return;
    switch (commandId)
    {
    case CMD_SET_TEMPLATE:
        view->m_meshData = ReadCommandValue<const MeshTemplateRenderingData*>(reader);
        view->m_box.min = ReadCommandValue<Vector>(reader);
        view->m_box.max = ReadCommandValue<Vector>(reader);
        break;
    case CMD_SET_SHADER_PRESET:
        view->m_presetIndex = ReadCommandValue<uint32_t>(reader);
        break;
    case CMD_RESTART:
        view->m_renderContext = ReadCommandValue<SFXContext*>(reader);
        view->m_restart = 1;
        break;
    case CMD_SET_LOCAL_MATRIX:
        view->m_local = ReadCommandValue<Matrix>(reader);
        break;
    default:
        break;
    }
}

SFXContext* UITemplateView::GetRenderContext() const
{
    return m_renderContext.Get();
}

void UITemplateView::LeaveEffectLoops()
{
    if (SFXContext* const context = m_renderContext.Get())
        context->LeaveLoops(nullptr);
}

Matrix UITemplateView::OrthographicTwin(const Matrix& projection)
{
    // A left-handed perspective sends view z to w; its z column is (0, 0, a, b) with a = f / (f - n)
    // and b = -n a. Anything else has no near plane to match.
    const float a = projection.rows[2].z;
    const float b = projection.rows[3].z;
    if (projection.rows[2].w != 1.0f || projection.rows[3].w != 0.0f || a == 0.0f || a == 1.0f)
        return projection;
    const float n = -b / a;
    const float f = a * n / (a - 1.0f);
    // Dividing by the constant w = n keeps x and y as the perspective draws them at z = n; depth
    // runs linearly from 0 at the near plane to 1 at the far one.
    Matrix ortho = projection;
    for (int column = 0; column < 2; ++column)
    {
        (&ortho.rows[3].x)[column] += (&projection.rows[2].x)[column] * n;
        (&ortho.rows[2].x)[column] = 0.0f;
    }
    ortho.rows[2].z = n / (f - n);
    ortho.rows[3].z = -n * n / (f - n);
    ortho.rows[2].w = 0.0f;
    ortho.rows[3].w = n;
    return ortho;
}

void UITemplateView::DrawMesh(NorvexRenderer& renderer, const Matrix& world, const Vector& color,
                              bool mirrored) const
{
    const uint32_t outlineMask = GetOutlineMask();
    const bool outlined = outlineMask != 0 && renderer.GetDeviceParams().outlinesEnabled != 0;
    if (outlined)
    {
        // The outline passes only draw over the tiles gathered, so the view marks its own box.
        const RenderDeviceManager& device = renderer.GetDeviceManager();
        gOutlineRenderer.MarkTiles(m_box, world, outlineMask, renderer.GetCamera().viewProjection,
                                   float(device.GetRenderWidth()), float(device.GetRenderHeight()));
        renderer.SetStencilOps(gpu::kStencilReplace, gpu::kStencilReplace, gpu::kStencilReplace);
        renderer.SetStencilFunc(gpu::kCmpAlways, kOutlineStencilReference, 0xFFFFFFFFu, outlineMask | 1u);
    }
    m_meshData->Draw(world, Matrix::ONE, m_box, color, 1.0f, mirrored ? 1 : 0, 0, m_presetIndex, nullptr, nullptr,
                     nullptr, int32_t(MeshEntityRenderingContext::kForwardPass), 0, 0, 0.0f);
    if (outlined)
    {
        renderer.SetStencilWriteMask(0);
        renderer.DisableStencil();
    }
}

void UITemplateView::Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector*)
{
    NorvexRenderer* const renderer = gRenderer;
    if (renderer == nullptr || renderer->GetDevice() == nullptr)
        return;
    const bool ortho = (GetRenderFlags() & kOrthoProjectionFlag) != 0;
    const CameraState camera = renderer->GetCamera();
    if (ortho)
        renderer->GetStateCache().UpdateCamera(camera.view, OrthographicTwin(camera.projection), camera.third);
    Matrix world;
    world.Mul(matrix, m_local);
    if (m_meshData != nullptr)
        DrawMesh(*renderer, world, color, mirrored);
    if (SFXContext* const context = m_renderContext.Get())
    {
        context->SetTransform(world, mirrored);
        // The view restarts the effect it was handed: the context was made stopped.
        if (m_restart != 0)
        {
            context->Start(0);
            m_restart = 0;
        }
        context->Draw(world, 0, color);
    }
    if (ortho)
        renderer->GetStateCache().UpdateCamera(camera.view, camera.projection, camera.third);
}
