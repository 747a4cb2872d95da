// Scene parameters entities: activation names the active entity and blends the scene environment
// to the template's set, as read back from the render command stream.
#include "renderer/RenderCommands.h"
#include "renderer/SceneEnvironment.h"
#include "scene/kinds/SceneParametersTemplate.h"
#include "support/RenderStreamCapture.h"
#include "support/SceneEnvironmentCalls.h"
#include "support/SceneTestSupport.h"

namespace
{
class SceneParametersEntityTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_capture = std::make_unique<RenderStreamCapture>();
        AcceptSceneEnvironmentCalls(*m_capture);
        m_parameters.OnPostLoad(0);
        m_other.OnPostLoad(0);
    }
    void TearDown() override
    {
        SceneTest::TearDown();
        m_capture.reset();
    }
    SceneParametersEntity* Make(SceneParametersTemplate& t)
    {
        return static_cast<SceneParametersEntity*>(gEntityManager.CreateEntity(&t, nullptr, Matrix::ONE, 0, nullptr));
    }
    // The next blend written, after a Take; sub kNone when there is none.
    SceneEnvironmentCall Next()
    {
        if (m_next >= m_calls.size())
            return SceneEnvironmentCall();
        return m_calls[m_next++];
    }
    void Take()
    {
        m_calls = TakeSceneEnvironmentBlends(*m_capture);
        m_next = 0;
    }

    std::vector<SceneEnvironmentCall> m_calls;
    size_t m_next = 0;
    std::unique_ptr<RenderStreamCapture> m_capture;
    SceneParametersTemplate m_parameters;
    SceneParametersTemplate m_other;
};
} // namespace

TEST_F(SceneParametersEntityTest, ActivationNamesTheEntityAndBlendsToItsSet)
{
    SceneParametersEntity* first = Make(m_parameters);
    SceneParametersEntity* second = Make(m_other);
    first->Activate(64, -1.0f);
    EXPECT_EQ(gEntityManager.GetActiveSceneParamsEntity(), first);
    second->Activate(SceneParametersEntity::kKeepActiveEntity, 0.5f);
    EXPECT_EQ(gEntityManager.GetActiveSceneParamsEntity(), first) << "flag 1 keeps the active entity";
    second->DeactivateOverrideParams();
    Take();
    SceneEnvironmentCall blend = Next();
    EXPECT_EQ(blend.set, nullptr) << "flag 64 returns to the defaults first";
    EXPECT_EQ(blend.flags, 0u);
    blend = Next();
    EXPECT_EQ(blend.set, m_parameters.GetWrapper());
    EXPECT_FLOAT_EQ(blend.duration, 1.0f) << "a negative time blends over the attack time";
    blend = Next();
    EXPECT_EQ(blend.set, m_other.GetWrapper());
    EXPECT_FLOAT_EQ(blend.duration, 0.5f);
    blend = Next();
    EXPECT_EQ(blend.set, nullptr);
    EXPECT_EQ(blend.flags, uint32_t(SceneEnvironment::kBlendTemporary));
}

TEST_F(SceneParametersEntityTest, TheDefaultIsTheRootsActiveEntityElseAReset)
{
    SceneParametersEntity* first = Make(m_parameters);
    first->ActivateDefaultSceneParams(64, 2.0f);
    Take();
    SceneEnvironmentCall blend = Next();
    EXPECT_EQ(blend.set, nullptr) << "no active entity yet: only the reset";
    EXPECT_EQ(Next().sub, 0xFFFFFFFFu);
    gEntityManager.GetSceneRoot()->SetActiveSceneParamsGUID(first->GetGUID());
    first->ActivateDefaultSceneParams(0, 2.0f);
    first->ChangeTemplate(&m_other);
    Take();
    blend = Next();
    EXPECT_EQ(blend.set, m_parameters.GetWrapper());
    EXPECT_FLOAT_EQ(blend.duration, 2.0f);
    blend = Next();
    EXPECT_EQ(blend.set, m_other.GetWrapper()) << "the active entity shows its new template at once";
    EXPECT_FLOAT_EQ(blend.duration, 0.0f);
}
