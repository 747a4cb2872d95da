// Template changes, delete requests, naming, replication marks, occupancy queueing and the scene
// bounds: the smaller roads of Entity and EntityManager.
#include "scene/entities/Entity.h"

#include "scene/entities/EntityGameplayDelegate.h"
#include "scene/entities/SceneEntity.h"
#include "scene/entities/TriggerOccupancyTracker.h"
#include "scene/templates/EntityTemplateStub.h"
#include "support/SceneTestSupport.h"

#include <cstring>
#include <string>

namespace
{
using EntityLifecycleTest = SceneTest;

class SceneParametersTestTemplate : public EntityTemplate
{
public:
    SceneParametersTestTemplate() { SetTypeId(ENTITY_SCENEPARAMBOX); }
    Entity* CreateEntity() override { return new SceneParametersEntity; }
};

class RecordingDelegate : public EntityGameplayDelegate
{
public:
    void OnDeleteRequest(Entity* entity, uint32_t code) override
    {
        lastEntity = entity;
        lastCode = code;
    }
    Entity* lastEntity = nullptr;
    uint32_t lastCode = 0;
};

TEST_F(EntityLifecycleTest, ChangingTheTemplateMovesTheReferenceAndTheBox)
{
    Entity* e = Create();
    EntityTemplate* bigger = MakeTemplate(CenteredBox(4.0f));
    e->ChangeTemplate(bigger);
    EXPECT_EQ(m_template->GetUserReferences(), 0u);
    EXPECT_EQ(bigger->GetUserReferences(), 1u);
    EXPECT_FLOAT_EQ(e->GetLocalBoundingBox().max.x, 4.0f);
    EXPECT_EQ(e->GetTemplate(), bigger);
}

TEST_F(EntityLifecycleTest, DeleteRequestsGoToTheDelegateUnlessTheCodeIsZero)
{
    Entity* e = Create();
    RecordingDelegate delegate;
    e->SetGameplayDelegate(&delegate, false);
    e->RequestDelete(3);
    EXPECT_EQ(delegate.lastEntity, e);
    EXPECT_EQ(delegate.lastCode, 3u);
    SafePointer<Entity> watch(e);
    e->RequestDelete(0);
    EXPECT_FALSE(watch);
    // An owned delegate dies with its entity.
    Entity* owner = Create();
    auto* owned = new RecordingDelegate;
    SafePointer<EntityGameplayDelegate> ownedWatch(owned);
    owner->SetGameplayDelegate(owned, true);
    owner->DeleteMe();
    EXPECT_FALSE(ownedWatch);
}

TEST_F(EntityLifecycleTest, UniqueNamesTakeTheFirstFreeSuffix)
{
    EntityTemplateStub stub;
    EntityTemplate* named = new EntityTemplate;
    stub.SetFileName("Crate");
    stub.SetTemplate(named);
    Entity* a = gEntityManager.CreateEntity(named, nullptr, Matrix::ONE, 0, nullptr);
    Entity* b = gEntityManager.CreateEntity(named, nullptr, Matrix::ONE, 0, nullptr);
    Entity* c = gEntityManager.CreateEntity(named, nullptr, Matrix::ONE, 0, nullptr);
    a->SetUniqueName();
    b->SetUniqueName();
    EXPECT_STREQ(a->GetName(), "Crate_000");
    EXPECT_STREQ(b->GetName(), "Crate_001");
    a->SetName("CRATE_001x");
    c->SetUniqueName();
    EXPECT_STREQ(c->GetName(), "Crate_000");
    EXPECT_STREQ(c->GetTemplateName(), "Crate");
    EXPECT_STREQ(c->GetTemplateFullName(), "Crate") << "a stub in no folder: the name alone";
    stub.SetFileName(std::string(300, 'x').c_str());
    EXPECT_EQ(std::strlen(c->GetTemplateFullName()), 259u);
    gEntityManager.NewScene();
}

TEST_F(EntityLifecycleTest, ReplicationMarksQueueAuthorityEntitiesOnceTheirStateWasCleared)
{
    Entity* local = Create();
    Entity* authority = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY);
    const int32_t changedBefore = gGame.GetEntityLists().GetChangedList().Count();
    // The queued mark starts set: nothing is queued before the state was first cleared.
    authority->MarkMPPropertyChanged(3);
    EXPECT_EQ(gGame.GetEntityLists().GetChangedList().Count(), changedBefore);
    EXPECT_EQ(authority->GetPendingChangeMask(), uint64_t(8));
    authority->ClearReplicationState();
    EXPECT_EQ(authority->GetPendingChangeMask(), 0u);
    EXPECT_EQ(authority->GetAccumulatedChangeMask(), uint64_t(8));
    authority->MarkMPPropertyChanged(64);
    EXPECT_EQ(gGame.GetEntityLists().GetChangedList().Count(), changedBefore);
    authority->MarkMPPropertyChanged(1);
    EXPECT_EQ(gGame.GetEntityLists().GetChangedList().Count(), changedBefore + 1);
    authority->MarkMPPropertyChanged(0);
    EXPECT_EQ(authority->GetPendingChangeMask(), uint64_t(3));
    EXPECT_EQ(authority->GetAccumulatedChangeMask(), uint64_t(11));
    local->ClearReplicationState();
    local->MarkMPPropertyChanged(1);
    EXPECT_EQ(gGame.GetEntityLists().GetChangedList().Count(), changedBefore + 1);

    Entity* child = Create(local);
    local->RaiseReplicationFlag(6, true);
    EXPECT_EQ(child->GetReplicationFlags(), 6);
    local->ClearReplicationFlag(2, true);
    EXPECT_EQ(child->GetReplicationFlags(), 4);
    gGame.GetEntityLists().SendChangedEntities(0, 0, 0, 0);
}

TEST_F(EntityLifecycleTest, ClearingReplicationMarksDropsEveryRole)
{
    Entity* parent = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY);
    Entity* child = Create(parent, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_PROXY);
    EXPECT_EQ(child->GetReplicationRole(), ENTITYROLE_PROXY);
    gEntityManager.ClearReplicationMarks();
    EXPECT_EQ(parent->GetReplicationRole(), ENTITYROLE_LOCAL);
    EXPECT_EQ(child->GetReplicationRole(), ENTITYROLE_LOCAL);
}

TEST_F(EntityLifecycleTest, OccupancyTrackersQueueTheirEntityOncePerUpdate)
{
    ASSERT_TRUE(m_template->GetClassProperties()->FindProperty("Activates triggers")->SetFromText(m_template, "1"));
    TriggerOccupancyTracker::ClearPendingList();
    Entity* e = Create();
    EXPECT_EQ(e->GetOccupancyTracker(), nullptr);
    e->SetLocalPosition(Vector(4, 0, 5, 1));
    EXPECT_TRUE(TriggerOccupancyTracker::GetPendingList().IsEmpty()) << "no tracker, nothing to queue";
    e->PostCreateInit();
    const TriggerOccupancyTracker* const tracker = e->GetOccupancyTracker();
    ASSERT_NE(tracker, nullptr);
    e->PostCreateInit();
    EXPECT_EQ(e->GetOccupancyTracker(), tracker) << "a second call keeps the tracker";
    e->SetLocalPosition(Vector(5, 0, 5, 1));
    e->SetLocalPosition(Vector(6, 0, 5, 1));
    EXPECT_EQ(TriggerOccupancyTracker::GetPendingList().Count(), 1);
    EXPECT_TRUE(e->GetExtraFlags() & ENTITYEXTRA_OCCUPANCY_QUEUED);
    TriggerOccupancyTracker::ClearPendingList();
    EXPECT_FALSE(e->GetExtraFlags() & ENTITYEXTRA_OCCUPANCY_QUEUED);
    TriggerOccupancyTracker::SetQueueingEnabled(false);
    e->SetLocalPosition(Vector(7, 0, 5, 1));
    TriggerOccupancyTracker::SetQueueingEnabled(true);
    EXPECT_TRUE(TriggerOccupancyTracker::GetPendingList().IsEmpty());
    e->DeleteMe();
}

TEST_F(EntityLifecycleTest, SceneBoundsKeepTheirHeightLimitAndReachTheGrid)
{
    EXPECT_FLOAT_EQ(gEntityManager.GetSceneBounds().max.y, 500.0f);
    EXPECT_FLOAT_EQ(gEntityManager.GetCurrentBounds().max.y, 200.0f);
    gEntityManager.SetSceneHeightRange(-10.0f, 150.0f);
    EXPECT_FLOAT_EQ(gEntityManager.GetCurrentBounds().max.y, 150.0f);
    EXPECT_FLOAT_EQ(gEntityManager.GetPathGrid().GetCell(4, 7).box.min.y, -10.0f);
    gEntityManager.SetSceneHeightRange(-10.0f, 900.0f);
    EXPECT_FLOAT_EQ(gEntityManager.GetSceneBounds().max.y, 900.0f);
    EXPECT_FLOAT_EQ(gEntityManager.GetCurrentBounds().max.y, 200.0f);
}

TEST_F(EntityLifecycleTest, TheActiveSceneParametersMustBeOfTheirKind)
{
    Entity* plain = Create();
    auto* root = static_cast<SceneEntity*>(Root());
    root->SetActiveSceneParamsGUID(plain->GetGUID());
    EXPECT_EQ(gEntityManager.GetActiveSceneParamsEntity(), nullptr);
    // A plain entity of the kind (its template class made the wrong entity) is not taken either.
    Entity* impostor = gEntityManager.CreateEntity(MakeTemplate(CenteredBox(1.0f), ENTITY_SCENEPARAMBOX), nullptr,
                                                   Matrix::ONE, 0, nullptr);
    root->SetActiveSceneParamsGUID(impostor->GetGUID());
    EXPECT_EQ(gEntityManager.GetActiveSceneParamsEntity(), nullptr);
    SceneParametersTestTemplate parametersTemplate;
    Entity* parameters = gEntityManager.CreateEntity(&parametersTemplate, nullptr, Matrix::ONE, 0, nullptr);
    root->SetActiveSceneParamsGUID(parameters->GetGUID());
    EXPECT_EQ(static_cast<Entity*>(gEntityManager.GetActiveSceneParamsEntity()), parameters);
    parameters->DeleteMe();
}
} // namespace
