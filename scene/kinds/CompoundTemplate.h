// CompoundTemplate: a template assembled from other templates. Its elements form a tree; each names
// a template, a place relative to its parent, an optional shader preset and start animation and two
// hide switches, and holds one resource reference to the template it resolved. The entity made from
// it (CompoundEntity) creates one child entity per element. "Definition" belongs to the editing
// tools: it is stored and serialized, never parsed here.
// Main thread; the resource thread runs the load-time resolution inside DoLoad.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/Matrix.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"
#include "scene/templates/EntityTemplate.h"

#include <cstdint>
#include <string>

// One element of a compound: the template it names, where it sits and how it starts.
class CompoundTemplateElement : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(CompoundTemplateElement, RTTIPolyBaseClass)

public:
    CompoundTemplateElement() = default;
    // Copies hold their own reference to the resolved template; moves carry it over.
    CompoundTemplateElement(const CompoundTemplateElement& other);
    CompoundTemplateElement(CompoundTemplateElement&& other) noexcept;
    CompoundTemplateElement& operator=(const CompoundTemplateElement& other);
    CompoundTemplateElement& operator=(CompoundTemplateElement&& other) noexcept;
    ~CompoundTemplateElement() override;

    EntityTemplate* GetTemplate() const { return m_template; }
    // Takes over one resource reference the caller holds and releases the old one (null drops it).
    void AdoptTemplate(EntityTemplate* entityTemplate);

    NameString m_name;
    NameString m_templateName;
    NameString m_shaderPreset;
    NameString m_animation;
    Matrix m_locationMatrix = Matrix::ZERO;
    DynarraySafe<CompoundTemplateElement> m_children;
    bool m_hidden = false;
    bool m_hiddenInGame = false;

private:
    EntityTemplate* m_template = nullptr;
};

// The templates whose compounds are being drawn or built, innermost last; a template met again is
// a cycle. Shared by CompoundTemplate and CompoundEntity; main thread.
namespace CompoundStack
{
bool Contains(const EntityTemplate* entityTemplate);
void Push(const EntityTemplate* entityTemplate);
void Pop();
} // namespace CompoundStack

// Template kind 5: an entity assembled from the templates of its elements.
class CompoundTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(CompoundTemplate, EntityTemplate)

public:
    static constexpr const char* kDefaultDefinition =
        "<Component Name=\"Test\" Template=\"test/test\" Position=\"0 0 0\" Rotation=\"0 0 0\" Scale=\"1 1 1\" />\n";

    CompoundTemplate();
    ~CompoundTemplate() override;

    const char* GetTemplateClassName() const override { return "CompoundTemplate"; }
    const char* GetEntityClassName() const override { return "CompoundEntity"; }
    Entity* CreateEntity() override;
    void PrepareDependencies() override;
    void SetResourceFlags(uint32_t flags) override;
    bool DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, uint32_t extra) override;
    bool DrawDebug(const Matrix& matrix, uint32_t flags) override;
    void OnPropertyChanged(const RTTIProperty* property) override;
    bool DoLoad() override;

    // The load-time resolution: every element takes the template it names without loading it, and
    // the templates already loaded give the static bounding box.
    void ResolveElementsAfterLoad();

    const std::string& GetDefinition() const { return m_definition; }
    const DynarraySafe<CompoundTemplateElement>& GetElements() const { return m_elements; }
    // For tools and tests; an edit is announced through OnPropertyChanged.
    DynarraySafe<CompoundTemplateElement>& EditElements() { return m_elements; }

private:
    // Grows `box` by the element's template box placed by the element's own matrix; true when the
    // template gave one.
    static bool AddElementBox(const CompoundTemplateElement& element, BoundingBox4& box);
    void ReresolveElements();
    void RebuildLiveEntities();
    bool DrawShapeWalk(const DynarraySafe<CompoundTemplateElement>& elements, const Matrix& matrix,
                       const HDRColor& color, uint32_t flags);
    void DrawWalk(const DynarraySafe<CompoundTemplateElement>& elements, const Matrix& matrix, uint32_t flags);

    std::string m_definition = kDefaultDefinition;
    DynarraySafe<CompoundTemplateElement> m_elements;
};
