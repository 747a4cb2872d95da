#include "scene/templates/TemplateTypeRegistry.h"

#include "scene/SceneClassRegistration.h"

#include <gtest/gtest.h>

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
    EXPECT_STREQ(types.GetClassName(17), "AmbientSoundTemplate");
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
