#include "scene/kinds/CompoundTemplate.h"

#include "core/reflection/RTTIObjectProperties.h"
#include "core/reflection/RTTITypedProperty.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/CompoundEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/templates/TemplateManager.h"

#include <cstring>
#include <utility>

namespace
{
Dynarray<const EntityTemplate*> gCompoundStack;

// Visits every element of the tree under `top`, breadth first.
template <class TElement, class TVisit>
void WalkBreadthFirst(TElement& top, TVisit visit)
{
    Dynarray<TElement*> work;
    work.Add(&top);
    for (int32_t i = 0; i < work.Count(); ++i)
    {
        TElement* const element = work[i];
        visit(*element);
        for (TElement& child : element->m_children)
            work.Add(&child);
    }
}

// Templates a tool or test made in memory have no pool and count as loaded.
bool IsReady(const EntityTemplate* entityTemplate)
{
    return entityTemplate->GetPool() == nullptr || entityTemplate->IsLoaded();
}
} // namespace

namespace CompoundStack
{
bool Contains(const EntityTemplate* entityTemplate)
{
    for (const EntityTemplate* held : gCompoundStack)
        if (held == entityTemplate)
            return true;
    return false;
}

void Push(const EntityTemplate* entityTemplate)
{
    gCompoundStack.Add(entityTemplate);
}

void Pop()
{
    if (!gCompoundStack.IsEmpty())
        gCompoundStack.RemoveAt(gCompoundStack.Count() - 1);
}
} // namespace CompoundStack

RTTI_DEFINE_CLASS(CompoundTemplateElement, RTTIPolyBaseClass)

void CompoundTemplateElement::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = CompoundTemplateElement;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Template name", &C::m_templateName));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Matrix>("Location matrix", &C::m_locationMatrix));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Shader preset", &C::m_shaderPreset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Animation", &C::m_animation));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, CompoundTemplateElement>("Children", &C::m_children));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Hidden", &C::m_hidden));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("HiddenInGame", &C::m_hiddenInGame));
}

CompoundTemplateElement::CompoundTemplateElement(const CompoundTemplateElement& other)
    : RTTIPolyBaseClass(other), m_name(other.m_name), m_templateName(other.m_templateName),
      m_shaderPreset(other.m_shaderPreset), m_animation(other.m_animation), m_locationMatrix(other.m_locationMatrix),
      m_children(other.m_children), m_hidden(other.m_hidden), m_hiddenInGame(other.m_hiddenInGame),
      m_template(other.m_template)
{
    if (m_template != nullptr)
        m_template->Resource::AddRef();
}

CompoundTemplateElement::CompoundTemplateElement(CompoundTemplateElement&& other) noexcept
    : RTTIPolyBaseClass(other), m_name(std::move(other.m_name)), m_templateName(std::move(other.m_templateName)),
      m_shaderPreset(std::move(other.m_shaderPreset)), m_animation(std::move(other.m_animation)),
      m_locationMatrix(other.m_locationMatrix), m_children(std::move(other.m_children)), m_hidden(other.m_hidden),
      m_hiddenInGame(other.m_hiddenInGame), m_template(std::exchange(other.m_template, nullptr))
{
}

CompoundTemplateElement& CompoundTemplateElement::operator=(const CompoundTemplateElement& other)
{
    if (this == &other)
        return *this;
    if (other.m_template != nullptr)
        other.m_template->Resource::AddRef();
    AdoptTemplate(other.m_template);
    m_name = other.m_name;
    m_templateName = other.m_templateName;
    m_shaderPreset = other.m_shaderPreset;
    m_animation = other.m_animation;
    m_locationMatrix = other.m_locationMatrix;
    m_children = other.m_children;
    m_hidden = other.m_hidden;
    m_hiddenInGame = other.m_hiddenInGame;
    return *this;
}

CompoundTemplateElement& CompoundTemplateElement::operator=(CompoundTemplateElement&& other) noexcept
{
    if (this == &other)
        return *this;
    AdoptTemplate(std::exchange(other.m_template, nullptr));
    m_name = std::move(other.m_name);
    m_templateName = std::move(other.m_templateName);
    m_shaderPreset = std::move(other.m_shaderPreset);
    m_animation = std::move(other.m_animation);
    m_locationMatrix = other.m_locationMatrix;
    m_children = std::move(other.m_children);
    m_hidden = other.m_hidden;
    m_hiddenInGame = other.m_hiddenInGame;
    return *this;
}

CompoundTemplateElement::~CompoundTemplateElement()
{
    AdoptTemplate(nullptr);
}

void CompoundTemplateElement::AdoptTemplate(EntityTemplate* entityTemplate)
{
    EntityTemplate* const old = m_template;
    m_template = entityTemplate;
    if (old != nullptr)
        old->Resource::Release();
}

RTTI_DEFINE_CLASS(CompoundTemplate, EntityTemplate)

void CompoundTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = CompoundTemplate;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Definition", &C::m_definition, 0x100));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, CompoundTemplateElement>("Elements", &C::m_elements));
}

CompoundTemplate::CompoundTemplate()
{
    SetTypeId(ENTITY_COMPOUND);
}

CompoundTemplate::~CompoundTemplate() = default;

Entity* CompoundTemplate::CreateEntity()
{
    return new CompoundEntity;
}

void CompoundTemplate::PrepareDependencies()
{
    for (CompoundTemplateElement& top : m_elements)
        WalkBreadthFirst(top, [](CompoundTemplateElement& element) {
            if (element.GetTemplate() != nullptr)
                element.GetTemplate()->PrepareDependencies();
        });
}

void CompoundTemplate::SetResourceFlags(uint32_t flags)
{
    EntityTemplate::SetResourceFlags(flags);
    for (CompoundTemplateElement& top : m_elements)
        WalkBreadthFirst(top, [flags](CompoundTemplateElement& element) {
            if (element.GetTemplate() != nullptr)
                element.GetTemplate()->SetResourceFlags(flags);
        });
}

bool CompoundTemplate::AddElementBox(const CompoundTemplateElement& element, BoundingBox4& box)
{
    const EntityTemplate* const source = element.GetTemplate();
    // A template still loading has no box yet, and an empty box would spread over everything.
    if (source == nullptr || !IsReady(source) || !source->GetStaticBoundingBox().IsValid3())
        return false;
    box.Expand3D(source->GetStaticBoundingBox(), element.m_locationMatrix);
    return true;
}

bool CompoundTemplate::DoLoad()
{
    if (!EntityTemplate::DoLoad())
        return false;
    ResolveElementsAfterLoad();
    return true;
}

void CompoundTemplate::ResolveElementsAfterLoad()
{
    BoundingBox4 box = BoundingBox4::INVALID;
    bool found = false;
    for (CompoundTemplateElement& top : m_elements)
        WalkBreadthFirst(top, [&](CompoundTemplateElement& element) {
            if (!element.m_templateName.IsEmpty())
                element.AdoptTemplate(gTemplateManager.GetTemplateLocked(element.m_templateName.CStr(), false));
            found = AddElementBox(element, box) || found;
        });
    if (found)
        SetStaticBoundingBox(box);
}

void CompoundTemplate::ReresolveElements()
{
    BoundingBox4 box = BoundingBox4::INVALID;
    bool found = false;
    for (CompoundTemplateElement& top : m_elements)
        WalkBreadthFirst(top, [&](CompoundTemplateElement& element) {
            EntityTemplate* const resolved = gTemplateManager.GetTemplate(element.m_templateName.CStr(), true);
            if (resolved != nullptr)
                resolved->Resource::AddRef();
            element.AdoptTemplate(resolved);
            found = AddElementBox(element, box) || found;
        });
    if (found)
        SetStaticBoundingBox(box);
}

void CompoundTemplate::RebuildLiveEntities()
{
    Dynarray<CompoundEntity*> compounds;
    for (Entity* entity : gEntityManager.GetGUIDIndex())
        if (entity->GetTemplate() == this && entity->IsKindOf(ENTITY_COMPOUND))
            if (CompoundEntity* const compound = dynamic_cast<CompoundEntity*>(entity))
                compounds.Add(compound);
    for (CompoundEntity* compound : compounds)
    {
        compound->DestroyElements();
        compound->BuildElements(0);
        compound->RefreshElements();
    }
}

void CompoundTemplate::OnPropertyChanged(const RTTIProperty* property)
{
    EntityTemplate::OnPropertyChanged(property);
    const char* const name = property != nullptr ? property->GetName().c_str() : "";
    if (std::strcmp(name, "Template name") == 0 && !m_elements.IsEmpty())
        m_elements[m_elements.Count() - 1].m_locationMatrix = Matrix::ONE;
    if (std::strcmp(name, "Definition") == 0)
        m_elements.FreeStorage();
    ReresolveElements();
    RebuildLiveEntities();
}

bool CompoundTemplate::DrawShapeWalk(const DynarraySafe<CompoundTemplateElement>& elements, const Matrix& matrix,
                                     const HDRColor& color, uint32_t flags)
{
    for (const CompoundTemplateElement& element : elements)
    {
        Matrix placed;
        placed.Mul(matrix, element.m_locationMatrix);
        EntityTemplate* const source = element.GetTemplate();
        if (source != nullptr && !element.m_hidden)
        {
            MeshTemplate* const mesh = dynamic_cast<MeshTemplate*>(source);
            const bool drawn = mesh != nullptr ? mesh->DrawDebugShape(placed, color, flags, element.m_shaderPreset.CStr())
                                               : source->DrawDebugShape(placed, color, flags, 0);
            if (drawn)
                return true;
        }
        if (DrawShapeWalk(element.m_children, placed, color, flags))
            return true;
    }
    return false;
}

void CompoundTemplate::DrawWalk(const DynarraySafe<CompoundTemplateElement>& elements, const Matrix& matrix,
                                uint32_t flags)
{
    for (const CompoundTemplateElement& element : elements)
    {
        Matrix placed;
        placed.Mul(matrix, element.m_locationMatrix);
        if (element.GetTemplate() != nullptr)
            element.GetTemplate()->DrawDebug(placed, flags);
        DrawWalk(element.m_children, placed, flags);
    }
}

bool CompoundTemplate::DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, uint32_t)
{
    if (CompoundStack::Contains(this))
        return true;
    CompoundStack::Push(this);
    const bool drawn = DrawShapeWalk(m_elements, matrix, color, flags);
    CompoundStack::Pop();
    return drawn;
}

bool CompoundTemplate::DrawDebug(const Matrix& matrix, uint32_t flags)
{
    if (CompoundStack::Contains(this))
        return true;
    CompoundStack::Push(this);
    DrawWalk(m_elements, matrix, flags);
    CompoundStack::Pop();
    return true;
}
