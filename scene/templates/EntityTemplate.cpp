#include "scene/templates/EntityTemplate.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "engine/scripting/LuaWrapper.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/entities/Entity.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateBodyReader.h"

#include <lua.hpp>

namespace
{
const char* const kPassCountNames[] = {"0", "1", "2", "3", "4", "5", nullptr};
const char* const kFaceCameraNames[] = {"None",         "Screen-full",  "Camera-full",   "Fix-X",        "Fix-Y",
                                        "Screen fix-X", "Screen fix-Y", "Camera offset", "World-ground", nullptr};
const char* const kQualityNames[] = {"Ultra low", "Low", "Medium", "High", "Very high", nullptr};
const char* const kTacticalExtendedNames[] = {"Same as VR", "True", "False", nullptr};
} // namespace

RTTI_DEFINE_CLASS_TABLE(EntityTemplate, RTTIPolyBaseClass)

void EntityTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = EntityTemplate;
    table.AddProperty(new RTTIPropertyGroup("Game logic"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Lua class", &C::m_luaClass));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Initialization pass count",
                                                                     &C::m_initializationPassCount,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kPassCountNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Activates triggers", &C::m_activatesTriggers));
    table.AddProperty(new RTTIPropertyGroup("Rendering"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Face camera mode", &C::m_faceCameraMode,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kFaceCameraNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Face camera offset", &C::m_faceCameraOffset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Wireframe color", &C::m_wireframeColor));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, BoundingBox4>("Static bounding box", &C::m_staticBoundingBox));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Sort offset", &C::m_sortOffset));
    table.AddProperty(new RTTIPropertyGroup("Visibility"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Minimum quality level",
                                                                    &C::m_minimumQualityLevel,
                                                                    RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kQualityNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Visible in combat view", &C::m_visibleInCombatView));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Visible in tactical view", &C::m_visibleInTacticalView));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Visible in tactical extended",
                                                                    &C::m_visibleInTacticalExtended,
                                                                    RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kTacticalExtendedNames);
}

EntityTemplate::EntityTemplate() = default;

EntityTemplate::~EntityTemplate()
{
    if (m_stub != nullptr && m_stub->GetTemplate() == this)
        m_stub->SetTemplate(nullptr);
}

Entity* EntityTemplate::CreateEntity()
{
    return new Entity;
}

void EntityTemplate::SetResourceFlags(uint32_t flags)
{
    if (gResourceManager != nullptr)
        gResourceManager->SetResourceFlags(this, flags);
    else
        m_localFlags |= flags;
}

uint32_t EntityTemplate::GetResourceFlags() const
{
    return GetFlags() | m_localFlags;
}

bool EntityTemplate::DrawDebugShape(const Matrix&, const HDRColor&, uint32_t, uint32_t)
{
    return false;
}

bool EntityTemplate::DrawDebug(const Matrix&, uint32_t)
{
    return false;
}

bool EntityTemplate::ReadBodyBlocks(RecordInput&, uint32_t)
{
    return true;
}

void EntityTemplate::WriteBodyBlocks(RecordOutput&) const {}

void EntityTemplate::OnPropertyChanged(const RTTIProperty* property)
{
    const char* const name = property != nullptr ? property->GetName().c_str() : "";
    for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
        if (entity->GetTemplate() == this)
            entity->ResetBoundsFromTemplate(name);
}

bool EntityTemplate::IsLoadedClientSide() const
{
    lua_State* const state = gLua.GetState();
    if (state == nullptr)
        return false;
    const char* const className = m_luaClass.empty() ? GetEntityClassName() : m_luaClass.c_str();
    if (!gLua.ExecuteStaticFunction(className, "IsLoadedClientSide", 0, 1))
        return false;
    const bool result = lua_toboolean(state, -1) != 0;
    lua_pop(state, 1);
    return result;
}

bool EntityTemplate::DoLoad()
{
    return TemplateBodyReader::Load(*this);
}

void EntityTemplate::Prefetch()
{
    const char* name = GetName();
    if (name == nullptr || name[0] == 0 || name[0] == '#')
        return;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Preheating template: %s", name);
    gFileSystem.PreheatInputStream(TemplateBodyReader::FindBodyFile(name).c_str(), "BinaryTemplate", nullptr, 0);
}

void EntityTemplate::Release()
{
    if (m_userReferences == 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Template %s released more often than referenced", GetFileName());
        return;
    }
    --m_userReferences;
    if (m_userReferences == 0 && (GetResourceFlags() & kUnloadWhenUnused) != 0 && m_stub != nullptr)
        m_stub->UnloadTemplate();
}

const char* EntityTemplate::GetFileName() const
{
    if (m_stub != nullptr)
        return m_stub->GetFileName();
    return GetDisplayName();
}

bool EntityTemplate::DrawPreview(const Matrix& matrix, const HDRColor& color, EntityTemplatePreview*)
{
    return DrawDebugShape(matrix, color, 0, 0);
}
