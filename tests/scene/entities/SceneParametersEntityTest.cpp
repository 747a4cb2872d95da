// Scene parameters entities: activation names the active entity and blends the scene environment
// to the template's set, as read back from the render command stream.
#include "renderer/RenderCommands.h"
#include "renderer/SceneEnvironment.h"
#include "scene/kinds/SceneParametersTemplate.h"
#include "support/RenderStreamCapture.h"
#include "support/SceneTestSupport.h"

namespace
{
struct Blend
{
    uint32_t sub = 0xFFFFFFFFu;
    const SceneParametersWrapper* wrapper = nullptr;
    uint32_t flags = 0;
    float seconds = 0.0f;
};

class SceneParametersEntityTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_capture = std::make_unique<RenderStreamCapture>();
        m_capture->SetCallSizes([](uintptr_t function, uint32_t sub, uint32_t& bytes) {
            return function == reinterpret_cast<uintptr_t>(&SceneEnvironment::Execute) &&
                   SceneEnvironment::GetArgumentBytes(sub, bytes);
        });
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
    Blend Next()
    {
        Blend blend;
        if (!m_capture->SkipTo(RENDER_OP_CALL))
            return blend;
        m_capture->Read<uintptr_t>();
        blend.sub = m_capture->Read<uint32_t>();
        if (blend.sub == SceneEnvironment::SUB_BLEND)
        {
            blend.wrapper = m_capture->Read<const SceneParametersWrapper*>();
            blend.flags = m_capture->Read<uint32_t>();
            blend.seconds = m_capture->Read<float>();
            m_capture->Skip(8);
        }
        return blend;
    }

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
    m_capture->Take();
    Blend blend = Next();
    EXPECT_EQ(blend.wrapper, nullptr) << "flag 64 returns to the defaults first";
    EXPECT_EQ(blend.flags, 0u);
    blend = Next();
    EXPECT_EQ(blend.wrapper, m_parameters.GetWrapper());
    EXPECT_FLOAT_EQ(blend.seconds, 1.0f) << "a negative time blends over the attack time";
    blend = Next();
    EXPECT_EQ(blend.wrapper, m_other.GetWrapper());
    EXPECT_FLOAT_EQ(blend.seconds, 0.5f);
    blend = Next();
    EXPECT_EQ(blend.wrapper, nullptr);
    EXPECT_EQ(blend.flags, uint32_t(SceneEnvironment::kBlendDropOverride));
}

TEST_F(SceneParametersEntityTest, TheDefaultIsTheRootsActiveEntityElseAReset)
{
    SceneParametersEntity* first = Make(m_parameters);
    first->ActivateDefaultSceneParams(64, 2.0f);
    m_capture->Take();
    Blend blend = Next();
    EXPECT_EQ(blend.wrapper, nullptr) << "no active entity yet: only the reset";
    EXPECT_EQ(Next().sub, 0xFFFFFFFFu);
    gEntityManager.GetSceneRoot()->SetActiveSceneParamsGUID(first->GetGUID());
    first->ActivateDefaultSceneParams(0, 2.0f);
    first->ChangeTemplate(&m_other);
    m_capture->Take();
    blend = Next();
    EXPECT_EQ(blend.wrapper, m_parameters.GetWrapper());
    EXPECT_FLOAT_EQ(blend.seconds, 2.0f);
    blend = Next();
    EXPECT_EQ(blend.wrapper, m_other.GetWrapper()) << "the active entity shows its new template at once";
    EXPECT_FLOAT_EQ(blend.seconds, 0.0f);
}
