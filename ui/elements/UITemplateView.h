// UITemplateView: a UI element that shows a mesh template or plays an effect template inside the
// UI, under its own local 3D matrix. The main thread holds the template (one reference) and the
// effect's context it made; the render side holds what drawing reads: the mesh's rendering data and
// box, the shader preset, a safe pointer to the effect's context, the restart flag and the local
// matrix, written only by the view's UI commands (ids 66 to 69).
//
// Threads: the main-side operations on the main thread; the executor, Render and the loop release
// on the render side.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/BoundingBox4.h"
#include "ui/elements/UIElement.h"

#include <cstdint>

class CommandRingBuffer;
class EntityTemplate;
class MeshTemplateRenderingData;
class SFXContext;
struct Quaternion;

// A mesh or effect template drawn inside the UI.
class UITemplateView : public UIElement
{
public:
    // Element flag: the template is drawn under an orthographic twin of the UI camera.
    static constexpr uint32_t kOrthoProjectionFlag = 0x8000000;
    // Stencil reference of the outline mask the mesh writes.
    static constexpr uint32_t kOutlineStencilReference = 255;

    // A template name sets that template at once.
    explicit UITemplateView(const char* templateName = nullptr);
    bool IsUITemplateView() const override { return true; }

    // ---- Main thread ----
    // Forgets the effect and the old template, takes the named one (a reference) and sends a mesh
    // template's rendering data and box (none and the default box for any other kind).
    void SetTemplate(const char* name);
    // A mesh template's named preset (0 when unknown); nothing for other kinds.
    void SetShaderPreset(const char* name);
    // Plays an effect template from its start in a new context; the old context is released.
    void Restart();
    void SetLocalMatrix(const Matrix& matrix);
    // Turns the local matrix to `rotation` while its translation moves to `offset` (flags as given).
    void LocalRotateWithOffset(float time, const Quaternion& rotation, const Vector& offset, uint32_t flags,
                               uint32_t channel);
    // ORs resource flags into the held template.
    void SetResourceFlags(uint32_t flags) override;
    EntityTemplate* GetTemplate() const { return m_template; }
    SFXContext* GetMainContext() const { return m_context; }
    void OnRemoved() override;

    // ---- Render side ----
    static void RunCommand(uint32_t commandId, CommandRingBuffer& reader);
    void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) override;
    Matrix* GetRenderLocal3DMatrix() override { return &m_local; }
    // The effect leaves its loops (every loop), as when a text blend-in it follows completes.
    void LeaveEffectLoops();
    const MeshTemplateRenderingData* GetRenderMeshData() const { return m_meshData; }
    const BoundingBox4& GetRenderBox() const { return m_box; }
    uint32_t GetRenderPresetIndex() const { return m_presetIndex; }
    SFXContext* GetRenderContext() const;
    bool IsRestartPending() const { return m_restart != 0; }
    const Matrix& GetRenderLocalMatrix() const { return m_local; }
    // The orthographic projection that draws the plane at the near distance of a left-handed
    // perspective projection as the perspective does; any other projection is returned unchanged.
    static Matrix OrthographicTwin(const Matrix& projection);

private:
    void ReleaseContext();
    void DrawMesh(NorvexRenderer& renderer, const Matrix& world, const Vector& color, bool mirrored) const;

    // Render side. The rendering data lives as long as the template the main side holds: a new
    // template is sent before the old one can go.
    const MeshTemplateRenderingData* m_meshData = nullptr;
    BoundingBox4 m_box;
    uint32_t m_presetIndex = 0;
    SafePointer<SFXContext> m_renderContext;
    uint8_t m_restart = 0;
    Matrix m_local = Matrix::ONE;

    // Main side.
    EntityTemplate* m_template = nullptr;
    SFXContext* m_context = nullptr;
};
