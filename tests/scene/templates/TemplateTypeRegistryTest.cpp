#include "scene/templates/TemplateTypeRegistry.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityConstants.h"
#include "scene/templates/EntityTemplate.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
TEST(TemplateTypeRegistryTest, KindsFollowTheParentChain)
{
    RegisterSceneClasses();
    const TemplateTypeRegistry& types = TemplateTypeRegistry::GetInstance();
    EXPECT_TRUE(types.IsKindOf(17, 5));
    EXPECT_TRUE(types.IsKindOf(17, 0));
    EXPECT_FALSE(types.IsKindOf(5, 17));
    EXPECT_TRUE(types.IsKindOf(4, 4));
    EXPECT_FALSE(types.IsKindOf(4, 1));
    EXPECT_TRUE(types.IsKindOf(4096, 4096));
    EXPECT_FALSE(types.IsKindOf(5000, 0));
    EXPECT_FALSE(types.IsKindOf(273, 0));
    // Only the ambient sound derives from another engine kind: a wrong parent would let a kind be
    // taken for, and cast to, a compound.
    for (uint32_t id = 1; id <= 17; ++id)
        for (uint32_t base = 0; base <= 17; ++base)
            EXPECT_EQ(types.IsKindOf(id, base), base == 0 || base == id || (id == 17 && base == 5))
                << id << ' ' << base;
    EXPECT_STREQ(types.GetClassName(17), "AmbientSoundTemplate");
    // Scripts tell an entity's kind by these constants.
    const std::pair<uint32_t, const char*> kinds[] = {
        {ENTITY_MESH, "MeshTemplate"}, {ENTITY_TRIGGER, "TriggerTemplate"}, {ENTITY_SFX, "SFXTemplate"},
        {ENTITY_SCENEPARAMBOX, "SceneParametersTemplate"}, {ENTITY_UIRECIPE, "UIRecipeTemplate"},
        {ENTITY_INGAMEUI, "InGameUITemplate"}, {ENTITY_VECTOR_ENVELOPE, "VectorEnvelopeTemplate"},
        {ENTITY_ANIMATIONGRAPH, "MeshAnimationGraphTemplate"}};
    for (const auto& [kind, name] : kinds)
        EXPECT_STREQ(types.GetClassName(kind), name) << kind;
    EXPECT_EQ(types.GetClassName(4096), nullptr);
}

TEST(TemplateTypeRegistryTest, GameTypesRegisterAboveTheEngineAndBadIdsAreRefused)
{
    RegisterSceneClasses();
    TemplateTypeRegistry& types = TemplateTypeRegistry::GetInstance();
    EXPECT_TRUE(types.RegisterType(300, 4, "MarkerTriggerTemplate"));
    EXPECT_TRUE(types.IsKindOf(300, 4));
    EXPECT_TRUE(types.IsKindOf(300, 0));
    EXPECT_FALSE(types.RegisterType(4096, 0, "Outside"));
    EXPECT_FALSE(types.RegisterType(301, 5000, "BadParent"));
    // A cycle in the table cannot hang a query.
    EXPECT_TRUE(types.RegisterType(302, 303, "A"));
    EXPECT_TRUE(types.RegisterType(303, 302, "B"));
    EXPECT_FALSE(types.IsKindOf(302, 0));
    types.RegisterType(302, TemplateTypeRegistry::kNoParent, nullptr);
    types.RegisterType(303, TemplateTypeRegistry::kNoParent, nullptr);
    types.RegisterType(300, TemplateTypeRegistry::kNoParent, nullptr);
}
} // namespace

// Every engine kind made by its registered name answers with that name and names an entity class
// that is registered too: a kind answering another name would load and save as that kind.
TEST(TemplateTypeRegistryTest, EachEngineKindAnswersWithItsOwnNames)
{
    RegisterSceneClasses();
    const TemplateTypeRegistry& types = TemplateTypeRegistry::GetInstance();
    int made = 0;
    for (uint32_t id = 0; id <= 17; ++id)
    {
        const char* const name = types.GetClassName(id);
        ASSERT_NE(name, nullptr) << id;
        std::unique_ptr<RTTIPolyBaseClass> object(RTTIClassRegistry::CreateObject(name));
        auto* const kind = dynamic_cast<EntityTemplate*>(object.get());
        if (kind == nullptr)
            continue; // a kind of a higher subsystem, registered by that subsystem
        ++made;
        EXPECT_STREQ(kind->GetTemplateClassName(), name);
        // The interface registers the entities of its recipes itself.
        EXPECT_TRUE(id == 10 || RTTIClassRegistry::FindClassId(kind->GetEntityClassName()) >= 0) << name;
    }
    EXPECT_GE(made, 16);
}
