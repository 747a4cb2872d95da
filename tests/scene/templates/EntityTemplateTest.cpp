#include "scene/templates/EntityTemplate.h"

#include "scene/templates/EntityTemplateStub.h"
#include "support/SceneTestSupport.h"

namespace
{
using EntityTemplateTest = SceneTest;

TEST_F(EntityTemplateTest, TheLastUserOfAnUnloadWhenUnusedTemplateUnloadsIt)
{
    EntityTemplateStub stub;
    EntityTemplate* flagged = new EntityTemplate;
    stub.SetTemplate(flagged);
    flagged->SetResourceFlags(EntityTemplate::kUnloadWhenUnused);
    Entity* a = gEntityManager.CreateEntity(flagged, nullptr, Matrix::ONE, 0, nullptr);
    Entity* b = gEntityManager.CreateEntity(flagged, nullptr, Matrix::ONE, 0, nullptr);
    EXPECT_EQ(flagged->GetUserReferences(), 2u);
    a->DeleteMe();
    EXPECT_FALSE(stub.UnloadTemplate());
    EXPECT_EQ(stub.GetTemplate(), flagged);
    b->DeleteMe();
    EXPECT_EQ(stub.GetTemplate(), nullptr);
}

TEST_F(EntityTemplateTest, WithoutTheFlagTheTemplateStaysUntilTheSweep)
{
    EntityTemplateStub stub;
    EntityTemplate* kept = new EntityTemplate;
    stub.SetTemplate(kept);
    Entity* a = gEntityManager.CreateEntity(kept, nullptr, Matrix::ONE, 0, nullptr);
    a->DeleteMe();
    kept->Release(); // one release too many: refused, the count does not wrap
    EXPECT_EQ(kept->GetUserReferences(), 0u);
    EXPECT_TRUE(m_log.Contains("released more often than referenced", CONSOLE_ERROR));
    EXPECT_EQ(stub.GetTemplate(), kept);
    EXPECT_EQ(kept->GetStub(), &stub);
    EXPECT_STREQ(kept->GetTemplateClassName(), "EntityTemplate");
    EXPECT_TRUE(stub.UnloadTemplate());
    EXPECT_EQ(stub.GetTemplate(), nullptr);
    EXPECT_TRUE(stub.UnloadTemplate());
    EntityTemplate* deleted = new EntityTemplate;
    stub.SetTemplate(deleted);
    delete deleted;
    EXPECT_EQ(stub.GetTemplate(), nullptr) << "a deleted template leaves its stub";
}

TEST_F(EntityTemplateTest, TheTemplateTableHasTheDocumentedDefaults)
{
    EntityTemplate fresh;
    EXPECT_FALSE(fresh.GetStaticBoundingBox().IsValid3());
    EXPECT_TRUE(fresh.IsVisibleInCombatView());
    EXPECT_FALSE(fresh.IsVisibleInTacticalView());
    EXPECT_FALSE(fresh.ActivatesTriggers());
    EXPECT_EQ(fresh.GetInitializationPassCount(), 0u);
    fresh.SetResourceFlags(1);
    fresh.SetResourceFlags(2);
    EXPECT_EQ(fresh.GetResourceFlags() & 3u, 3u) << "flags set without a resource manager add up";
    const RTTIProperty* passes = fresh.GetClassProperties()->FindProperty("Initialization pass count");
    ASSERT_NE(passes, nullptr);
    EXPECT_STREQ(passes->GetEnumerationNames()[5], "5");
    EXPECT_STREQ(fresh.GetClassProperties()->FindProperty("Face camera mode")->GetEnumerationNames()[8], "World-ground");
    // The base kind has no preview and no shape: a tool draws nothing for it, not a stray box.
    EXPECT_EQ(fresh.CreatePreviewInstance(), nullptr);
    EXPECT_FALSE(fresh.DrawDebug(Matrix::ONE, 0));
    EXPECT_FALSE(fresh.DrawPreview(Matrix::ONE, HDRColor(), nullptr));
    // Reading an unknown body fails honestly until template files are read.
    m_log.Clear();
    EXPECT_FALSE(fresh.DoLoad());
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 1u);
}
} // namespace
