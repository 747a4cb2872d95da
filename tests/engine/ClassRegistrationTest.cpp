#include "core/reflection/RTTIClassRegistry.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "engine/ClassRegistration.h"
#include "engine/config/GameConfig.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Every class a data file may name is made by name once the areas are registered, whatever the
// linker kept; registering again adds no row.
TEST(ClassRegistrationTest, EveryAreasClassesAreMadeByNameAndRegisteringAgainAddsNothing)
{
    RegisterAllClasses();
    const int count = RTTIClassRegistry::GetClassCount();
    RegisterAllClasses();
    EXPECT_EQ(RTTIClassRegistry::GetClassCount(), count);

    for (const char* name : {"CoreConfig", "GUIDReplacementEntry", "GUIDReplacementTable", "EngineConfig", "GameConfig",
                             "RendererConfigContainer", "KeyBindDef", "ControlEntry", "ProjectConfig",
                             "FontReplacement", "MobileDeviceEntry", "MobileTextureQualityEntry", "OutlineParams",
                             "VertexShaderObject", "PixelShaderObject", "ShaderParameterDefinition", "ShaderOption",
                             "ShaderFamily", "ResourceEntry", "ResourceList", "StringHistoryContainer",
                             "EntityTemplate", "EntityTemplateStub", "EntitySet", "EntityLayer", "EntityLayerGroup",
                             "EntityLayerSystem", "CompoundTemplate", "CompoundTemplateElement", "ShaderPresetElement",
                             "LightmapMapping", "SoundEntrySoundList", "SoundEntry", "SoundEntriesContainer",
                             "GameString", "GameStringGroup", "CompiledGameStringCollectionEntry",
                             "CompiledGameStringCollection", "StringManager", "UIFontDefinition", "UIFontTable"})
    {
        std::unique_ptr<RTTIPolyBaseClass> object(RTTIClassRegistry::CreateObject(name));
        ASSERT_NE(object, nullptr) << name;
        EXPECT_EQ(object->GetClassProperties()->GetClassName(), std::string(name));
    }
    std::unique_ptr<RTTIPolyBaseClass> config(RTTIClassRegistry::CreateObject("GameConfig"));
    EXPECT_NE(dynamic_cast<GameConfig*>(config.get()), nullptr);
    EXPECT_STREQ(RTTIClassRegistry::GetBaseClassName(RTTIClassRegistry::FindClassId("GameConfig")), "EngineConfig");
    EXPECT_STREQ(RTTIClassRegistry::GetBaseClassName(RTTIClassRegistry::FindClassId("OutlineParams")),
                 "RTTIPropertiesBase");
    // Entities are known by name for records, but only the entity manager makes them.
    EXPECT_STREQ(RTTIClassRegistry::GetBaseClassName(RTTIClassRegistry::FindClassId("SceneEntity")), "Entity");
    EXPECT_EQ(RTTIClassRegistry::CreateObject("Entity"), nullptr);
}
