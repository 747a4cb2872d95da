#include "scene/kinds/CompoundEntity.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIObjectProperties.h"
#include "core/reflection/RTTITypedProperty.h"
#include "core/strings/StringUtils.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/CompoundTemplate.h"
#include "scene/kinds/MeshEntity.h"

#include <cstdio>
#include <cstring>

namespace
{
// Multiplayer creation flags stay with the compound; its elements are local parts of it.
constexpr uint32_t kElementCreationMask =
    ~uint32_t(ENTITYCREATION_MULTIPLAYER_AUTHORITY | ENTITYCREATION_MULTIPLAYER_PROXY |
              ENTITYCREATION_MULTIPLAYER_STATIC);
// Animation flags every element start animation carries.
constexpr uint32_t kElementAnimationFlags = 0x21;

bool IsElement(const Entity* entity)
{
    return entity->HasFlag(ENTITYFLAG_COMPOUND_ELEMENT);
}
} // namespace

RTTI_DEFINE_CLASS(ShaderPresetElement, RTTIPolyBaseClass)

void ShaderPresetElement::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = ShaderPresetElement;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Mesh Name", &C::m_meshName));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Shader Preset", &C::m_shaderPreset));
}

RTTI_DEFINE_CLASS_TABLE(CompoundEntity, Entity)

void CompoundEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = CompoundEntity;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Local color", &C::m_localColor));
    table.AddProperty(new RTTISGProperty<C, BoundingBox4>("Local bounding box", &C::SetLocalBoxValue,
                                                          &C::GetLocalBoxValue, 2));
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, LightmapMapping>("ElemLmMappingArr", &C::m_lightmapMappings));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, ShaderPresetElement>("ShaderPresetMapping",
                                                                                        &C::m_shaderPresetMappings));
}

CompoundEntity::CompoundEntity() = default;

CompoundEntity::~CompoundEntity() = default;

const CompoundTemplate* CompoundEntity::GetCompoundTemplate() const
{
    return dynamic_cast<const CompoundTemplate*>(GetTemplate());
}

template <class TVisit>
void CompoundEntity::ForEachElement(TVisit visit) const
{
    Dynarray<Entity*> work;
    for (Entity* child : GetChildren())
    {
        work.Clear();
        work.Add(child);
        for (int32_t i = 0; i < work.Count(); ++i)
        {
            Entity* const entity = work[i];
            if (IsElement(entity))
                visit(entity);
            for (Entity* grandchild : entity->GetChildren())
                work.Add(grandchild);
        }
    }
}

void CompoundEntity::InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags)
{
    Entity::InitFromTemplate(entityTemplate, creationFlags);
    BuildElements(creationFlags & kElementCreationMask);
}

void CompoundEntity::BuildElements(uint32_t creationFlags)
{
    if (m_elementsBuilt)
        return;
    m_elementsBuilt = true;
    const CompoundTemplate* const source = GetCompoundTemplate();
    if (HasFlag(ENTITYFLAG_NO_COMPOUND_ELEMENTS) || source == nullptr)
        return;
    if (CompoundStack::Contains(source))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot create compound %s because it's definition leads to a cycle",
                       source->GetFileName());
        return;
    }
    CompoundStack::Push(source);
    BuildLevel(source->GetElements(), this, creationFlags);
    BoundingBox4 box;
    if (ComputeElementsBox(box))
        SetLocalBoundingBox(box);
    CompoundStack::Pop();
}

void CompoundEntity::BuildLevel(const DynarraySafe<CompoundTemplateElement>& elements, Entity* parent,
                                uint32_t creationFlags)
{
    for (int32_t i = 0; i < elements.Count(); ++i)
    {
        const CompoundTemplateElement& element = elements[i];
        Entity* const entity = gEntityManager.CreateEntity(element.m_templateName.CStr(), parent,
                                                           element.m_locationMatrix, creationFlags, nullptr);
        if (entity == nullptr)
            continue;
        entity->RaiseFlag(ENTITYFLAG_COMPOUND_ELEMENT, false);
        entity->SetLayer(GetLayer());
        // Remembered by element, not by position: a skipped element must not shift the others.
        if (parent == this)
            m_elementChildren.Add(ElementChild{entity, i});
        if (!element.m_name.IsEmpty())
        {
            char name[1024];
            std::snprintf(name, sizeof(name), "~%s", element.m_name.CStr());
            entity->SetName(name);
        }
        if (entity->IsKindOf(ENTITY_MESH))
            SetUpMeshElement(entity, element);
        if (element.m_hidden)
            entity->Hide(false);
        BuildLevel(element.m_children, entity, creationFlags);
    }
}

void CompoundEntity::SetUpMeshElement(Entity* entity, const CompoundTemplateElement& element)
{
    MeshEntity* const mesh = dynamic_cast<MeshEntity*>(entity);
    if (mesh == nullptr)
        return;
    NameString preset;
    const int32_t found = FindShaderPresetMapping(element.m_name);
    if (found < 0)
    {
        preset = element.m_shaderPreset;
        ShaderPresetElement& added = m_shaderPresetMappings[m_shaderPresetMappings.Add(ShaderPresetElement())];
        added.m_meshName = element.m_name;
        added.m_shaderPreset = preset;
    }
    else
    {
        // The record that matched the name holds this mesh's preset, wherever it sits.
        preset = m_shaderPresetMappings[found].m_shaderPreset;
    }
    mesh->SetShaderPreset(preset);
    mesh->SetLocalColor(m_localColor);
    if (!element.m_animation.IsEmpty())
    {
        AnimationParams params;
        params.Flags |= kElementAnimationFlags;
        static const NameString root("root");
        mesh->StartAnimation(root, element.m_animation, &params);
    }
}

int32_t CompoundEntity::FindShaderPresetMapping(const NameString& name) const
{
    for (int32_t i = 0; i < m_shaderPresetMappings.Count(); ++i)
        if (StrICmp(m_shaderPresetMappings[i].m_meshName.CStr(), name.CStr()) == 0)
            return i;
    return -1;
}

const CompoundTemplateElement* CompoundEntity::FindTopLevelElement(const Entity* child) const
{
    const CompoundTemplate* const source = GetCompoundTemplate();
    if (source == nullptr)
        return nullptr;
    for (const ElementChild& made : m_elementChildren)
        if (made.entity == child && made.element < source->GetElements().Count())
            return &source->GetElements()[made.element];
    return nullptr;
}

bool CompoundEntity::FindPresetForChild(const Entity* child, NameString& preset) const
{
    const CompoundTemplateElement* const element = FindTopLevelElement(child);
    const int32_t found = element != nullptr ? FindShaderPresetMapping(element->m_name) : -1;
    if (found < 0)
        return false;
    preset = m_shaderPresetMappings[found].m_shaderPreset;
    return true;
}

bool CompoundEntity::ComputeElementsBox(BoundingBox4& box) const
{
    box = BoundingBox4::INVALID;
    bool found = false;
    for (const Entity* child : GetChildren())
        if (IsElement(child) && child->GetLocalBoundingBox().IsValid3())
        {
            box.Expand3D(child->GetLocalBoundingBox(), child->GetLocalLocationMatrix());
            found = true;
        }
    return found;
}

void CompoundEntity::DestroyElements()
{
    if (!m_elementsBuilt)
        return;
    for (int32_t i = GetChildren().Count() - 1; i >= 0; --i)
    {
        if (i >= GetChildren().Count())
            continue;
        Entity* const child = GetChildren()[i];
        if (IsElement(child))
            gEntityManager.DestroyEntity(child);
    }
    m_elementChildren.Clear();
    m_elementsBuilt = false;
}

void CompoundEntity::RefreshRendering()
{
    ForEachElement([](Entity* element) { element->RefreshRendering(); });
}

void CompoundEntity::RemoveChild(Entity* child)
{
    for (int32_t i = m_elementChildren.Count() - 1; i >= 0; --i)
        if (m_elementChildren[i].entity == child)
            m_elementChildren.RemoveAt(i);
    Entity::RemoveChild(child);
}

void CompoundEntity::OnPropertyChanged(const RTTIProperty* property)
{
    Entity::OnPropertyChanged(property);
    // A changed "Shader Preset" needs no pass of its own: the rebuild maps every mesh element anew.
    DestroyElements();
    BuildElements(0);
    RefreshRendering();
    UpdateTransform();
}

void CompoundEntity::OnPostLoad(uint32_t flags)
{
    const int32_t childCount = GetChildren().Count();
    if (m_lightmapMappings.Count() > childCount)
        m_lightmapMappings.RemoveRange(childCount, m_lightmapMappings.Count() - 1);
    m_lightmapMappings.Resize(childCount);
    for (int32_t i = 0; i < childCount; ++i)
    {
        Entity* const child = GetChildren()[i];
        MeshEntity* const mesh = dynamic_cast<MeshEntity*>(child);
        if (mesh == nullptr || !child->IsKindOf(ENTITY_MESH))
            continue;
        mesh->SetLightmapMapping(m_lightmapMappings[i]);
        NameString preset;
        // Paired by element name, as the build recorded them: child i may be no element at all.
        if (FindPresetForChild(child, preset))
            mesh->SetShaderPreset(preset);
    }
    Entity::OnPostLoad(flags);
    UpdateTransform();
}

void CompoundEntity::OnPreSave(uint32_t flags)
{
    Entity::OnPreSave(flags);
    BoundingBox4 box;
    if (ComputeElementsBox(box))
        SetLocalBoundingBox(box);
    UpdateTransform();
}

void CompoundEntity::OnPostSceneLoad()
{
    Entity::OnPostSceneLoad();
    ForEachElement([this](Entity* element) {
        if (element->GetGUID().IsNull())
        {
            element->GenerateGUID();
            element->RecreateRenderingContext(false);
        }
        if (MeshEntity* const mesh = dynamic_cast<MeshEntity*>(element); mesh != nullptr && element->IsKindOf(ENTITY_MESH))
            mesh->SetLocalColor(m_localColor);
    });
}

void CompoundEntity::SetLayer(uint8_t layer)
{
    Entity::SetLayer(layer);
    ForEachElement([layer](Entity* element) { element->SetLayer(layer); });
}

void CompoundEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    const CompoundTemplate* const source = GetCompoundTemplate();
    for (const ElementChild& made : m_elementChildren)
        if (source != nullptr && made.element < source->GetElements().Count() &&
            source->GetElements()[made.element].m_hiddenInGame)
            made.entity->Hide(true);
    ForEachElement([](Entity* element) { element->PostCreateInit(); });
    if (source != nullptr && source->GetInitializationPassCount() > 0)
        ExecuteScript("InitCompoundEntity");
}

void CompoundEntity::DrawDebug(uint32_t flags)
{
    Entity::DrawDebug(flags);
    for (const Entity* child : GetChildren())
        if (IsElement(child))
            return;
    if (gRenderer == nullptr || GetTemplate() == nullptr)
        return;
    Vector color;
    GetTemplate()->GetWireframeColor().ToVector(color);
    gRenderer->DebugDrawBox(GetLocalBoundingBox(), GetGlobalLocationMatrix(), color);
}

void CompoundEntity::DebugDrawBoundingBox(const BoundingBox4& box, const Vector& color)
{
    Entity::DebugDrawBoundingBox(box, color);
    BoundingBox4 elements;
    if (gRenderer != nullptr && ComputeElementsBox(elements))
        gRenderer->DebugDrawBox(elements, GetGlobalLocationMatrix(), color);
}
