// The scene environment: what the game thread posts (the environment first, the start time of the
// clock the flags select), and on the render side the blend by clock and easing, the switches of a
// set, the precedence of the override and temporary sets, and the values derived every frame.
#include "renderer/SceneEnvironment.h"

#include "core/time/GameTimer.h"
#include "engine/EngineTimer.h"
#include "renderer/RendererObjectHandle.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/jobs/TextureHolder.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/SceneParametersTemplate.h"
#include "support/SceneEnvironmentCalls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace
{
constexpr uint64_t kSecond = 10000000; // ticks
constexpr uint64_t kStart = 50 * kSecond;

class SceneEnvironmentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSceneClasses();
        AcceptSceneEnvironmentCalls(m_capture);
        m_environment.CreateSets();
    }

    std::vector<uint32_t> Posted()
    {
        std::vector<uint32_t> subs;
        for (const SceneEnvironmentCall& call : TakeSceneEnvironmentCalls(m_capture))
        {
            EXPECT_EQ(call.environment, &m_environment);
            subs.push_back(call.sub);
        }
        return subs;
    }

    // A template's set with the given properties set from text.
    const SceneParametersWrapper& Set(SceneParametersTemplate& t,
                                      std::initializer_list<std::pair<const char*, const char*>> values)
    {
        for (const auto& [name, text] : values)
            EXPECT_TRUE(t.GetClassProperties()->FindPropertyInClassChain(name)->SetFromText(&t, text)) << name;
        t.RebuildWrapper(true);
        return *t.GetWrapper();
    }

    // Every clock at `ticks` but the one the flags select, which is at `selected`.
    void UpdateAt(uint32_t flags, uint64_t selected, uint64_t others, float firstDelta = 0.0f)
    {
        const uint32_t clock = flags & SceneEnvironment::kBlendClockMask;
        m_environment.Update(clock == SceneEnvironment::kBlendClockEngine ? selected : others, 0.0f,
                             clock != SceneEnvironment::kBlendClockEngine &&
                                     clock != SceneEnvironment::kBlendClockSecondGame
                                 ? selected
                                 : others,
                             firstDelta, clock == SceneEnvironment::kBlendClockSecondGame ? selected : others, 0.0f);
    }

    float CurrentFogEnd() const { return m_environment.GetCurrentSet()->GetShading().fogEnd; }

    RenderStreamCapture m_capture;
    SceneEnvironment m_environment;
};
} // namespace

TEST_F(SceneEnvironmentTest, CreatesOnceAndClosesOnlyWhatItCreated)
{
    m_environment.Close();
    EXPECT_TRUE(Posted().empty()) << "nothing to close before a creation";
    m_environment.Create();
    m_environment.Create();
    EXPECT_EQ(Posted(), std::vector<uint32_t>{SceneEnvironment::SUB_CREATE});
    EXPECT_TRUE(m_environment.IsCreated());
    m_environment.Close();
    m_environment.Close();
    EXPECT_EQ(Posted(), (std::vector<uint32_t>{SceneEnvironment::SUB_UNLOAD_LIGHTMAPS, SceneEnvironment::SUB_CLOSE}));
    EXPECT_FALSE(m_environment.IsCreated());
}

TEST_F(SceneEnvironmentTest, ABlendCarriesTheStartOfTheClockItsFlagsSelect)
{
    GameTimer first, second;
    first.ResetTime(111);
    second.ResetTime(222);
    m_environment.InstallClocks(&first, &second);
    SceneParametersWrapper set;
    const std::pair<uint32_t, uint64_t> cases[] = {
        {0, 111}, {4, 222}, {8, uint64_t(gEngineTimer.GetTicks())}, {12, 111}, {1 | 2 | 48, 111}};
    for (const auto& [flags, start] : cases)
    {
        m_environment.BlendToParameters(&set, flags, 1.5f);
        const std::vector<SceneEnvironmentCall> calls = TakeSceneEnvironmentCalls(m_capture);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].environment, &m_environment);
        EXPECT_EQ(calls[0].start, start) << flags;
        EXPECT_EQ(calls[0].set, &set);
        EXPECT_EQ(calls[0].flags, flags);
        EXPECT_FLOAT_EQ(calls[0].duration, 1.5f);
    }
    m_environment.InstallClocks(nullptr, nullptr);

    m_environment.SetOverrideParameters(&set);
    m_environment.EnableOverride();
    m_environment.DisableOverride();
    m_environment.SetColors(Vector(1, 2, 3, 4), Vector(5, 6, 7, 8), Vector(9, 10, 11, 12));
    const std::vector<SceneEnvironmentCall> calls = TakeSceneEnvironmentCalls(m_capture);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].sub, uint32_t(SceneEnvironment::SUB_SET_OVERRIDE));
    EXPECT_EQ(calls[0].set, &set);
    EXPECT_EQ(calls[1].sub, uint32_t(SceneEnvironment::SUB_ENABLE_OVERRIDE));
    EXPECT_EQ(calls[2].sub, uint32_t(SceneEnvironment::SUB_DISABLE_OVERRIDE));
    EXPECT_EQ(calls[3].sub, uint32_t(SceneEnvironment::SUB_SET_COLORS));
    EXPECT_TRUE(calls[3].colors[2].Equal(Vector(9, 10, 11, 12)));
}

// Halfway through a half-second blend on the selected clock (the others far past its end), the
// target's fog end of 1000 is reached by the eased factor; at half a second the blend ends on it.
TEST_F(SceneEnvironmentTest, BlendsFollowTheClockAndEasingOfTheirFlags)
{
    SceneParametersWrapper target;
    target.SetDefaults();
    target.GetShading().fogEnd = 1000.0f;
    const float quarter = std::sin(0.25f * 3.14159265f);
    const std::pair<uint32_t, float> cases[] = {{SceneEnvironment::kBlendLinear | 8, 500.0f},
                                                {SceneEnvironment::kBlendEaseOut | 4, 1000.0f * quarter},
                                                {SceneEnvironment::kBlendEaseIn, 1000.0f * (1.0f - quarter)},
                                                {SceneEnvironment::kBlendEaseInOut | 12, 500.0f}};
    for (const auto& [flags, halfway] : cases)
    {
        m_environment.StartBlend(nullptr, 0, 0, 0.0f);
        m_environment.StartBlend(&target, flags, kStart, 0.5f);
        EXPECT_TRUE(m_environment.IsBlending());
        m_environment.ClearDirty();
        UpdateAt(flags, kStart + kSecond / 4, kStart + 100 * kSecond);
        EXPECT_NEAR(CurrentFogEnd(), halfway, 0.05f) << flags;
        EXPECT_TRUE(m_environment.IsDirty()) << "each blended frame refills the lookup tables";
        EXPECT_TRUE(m_environment.IsBlending());
        UpdateAt(flags, kStart + kSecond / 2, kStart);
        EXPECT_FLOAT_EQ(CurrentFogEnd(), 1000.0f) << flags;
        EXPECT_FALSE(m_environment.IsBlending());
    }
    // A clock that restarted behind the start (a scene switch) holds the blend at its beginning.
    m_environment.StartBlend(nullptr, 0, 0, 0.0f);
    m_environment.StartBlend(&target, SceneEnvironment::kBlendLinear, kStart, 2.0f);
    UpdateAt(0, kSecond, kSecond);
    EXPECT_FLOAT_EQ(CurrentFogEnd(), 0.0f);
    EXPECT_TRUE(m_environment.IsBlending());
    // A set applied at once ends the running blend, which would otherwise pull it back.
    m_environment.StartBlend(&target, 0, 0, 0.0f);
    EXPECT_FALSE(m_environment.IsBlending());
}

TEST_F(SceneEnvironmentTest, ZeroAppliesAtOnceAndATinyDurationEndsOnTheFirstFrame)
{
    SceneParametersWrapper target;
    target.SetDefaults();
    target.GetShading().fogEnd = 300.0f;
    m_environment.ClearDirty();
    m_environment.StartBlend(&target, 0, kStart, 0.0f);
    EXPECT_FALSE(m_environment.IsBlending());
    EXPECT_FLOAT_EQ(CurrentFogEnd(), 300.0f);
    EXPECT_TRUE(m_environment.IsDirty());

    target.GetShading().fogEnd = 700.0f;
    m_environment.StartBlend(&target, SceneEnvironment::kBlendLinear, kStart, 0.0005f);
    EXPECT_TRUE(m_environment.IsBlending());
    EXPECT_FLOAT_EQ(CurrentFogEnd(), 300.0f);
    UpdateAt(0, kStart, kStart);
    EXPECT_FALSE(m_environment.IsBlending());
    EXPECT_FLOAT_EQ(CurrentFogEnd(), 700.0f);
}

// Override over temporary over current; flags 10 with no set end the temporary set and return the
// current set to the defaults.
TEST_F(SceneEnvironmentTest, OverrideWinsOverTemporaryWhichWinsOverTheBlend)
{
    SceneParametersWrapper blended, temporary;
    blended.SetDefaults();
    blended.GetShading().fogEnd = 100.0f;
    temporary.SetDefaults();
    temporary.GetShading().fogEnd = 200.0f;
    m_environment.StartBlend(&blended, 0, kStart, 0.0f);
    EXPECT_EQ(m_environment.GetActiveParameters(), m_environment.GetCurrentSet());

    m_environment.StartBlend(&temporary, SceneEnvironment::kBlendTemporary, kStart, 5.0f);
    EXPECT_TRUE(m_environment.IsTemporaryInForce());
    EXPECT_FALSE(m_environment.IsBlending()) << "a temporary set starts no blend";
    EXPECT_FLOAT_EQ(m_environment.GetActiveParameters()->GetShading().fogEnd, 200.0f);
    EXPECT_FLOAT_EQ(CurrentFogEnd(), 100.0f);

    m_environment.SetOverrideInForce(true);
    EXPECT_EQ(m_environment.GetActiveParameters(), m_environment.GetOverrideSet());
    m_environment.SetOverrideInForce(false);
    EXPECT_EQ(m_environment.GetActiveParameters(), m_environment.GetTemporarySet());

    m_environment.StartBlend(nullptr, SceneEnvironment::kBlendClockEngine | SceneEnvironment::kBlendEndTemporary, 0, 0.0f);
    EXPECT_FALSE(m_environment.IsTemporaryInForce());
    EXPECT_FLOAT_EQ(CurrentFogEnd(), 0.0f) << "the defaults";
    m_environment.StartBlend(&temporary, SceneEnvironment::kBlendTemporary, 0, 0.0f);
    m_environment.StartBlend(nullptr, SceneEnvironment::kBlendTemporary, 0, 0.0f);
    EXPECT_FALSE(m_environment.IsTemporaryInForce()) << "a temporary blend without a set ends it";
}

// The shading group always follows; the sun and the cloud projection only with their switches.
TEST_F(SceneEnvironmentTest, TheSwitchesChooseWhichGroupsChange)
{
    SceneParametersTemplate off, on;
    const SceneParametersWrapper& plain =
        Set(off, {{"Fog end", "40"}, {"Light yaw", "30"}, {"Cloud projection scale", "2"}});
    m_environment.StartBlend(&plain, 0, 0, 0.0f);
    EXPECT_FLOAT_EQ(CurrentFogEnd(), 40.0f);
    EXPECT_FLOAT_EQ(m_environment.GetCurrentSet()->GetSun().lightYaw, 0.0f);
    EXPECT_FLOAT_EQ(m_environment.GetCurrentSet()->GetSky().cloudScale, 5.0f);

    const SceneParametersWrapper& affecting =
        Set(on, {{"Light yaw", "30"}, {"Cloud projection scale", "2"}, {"Layer cloud heigh", "7"}, {"Affects sun", "1"},
                 {"Affects projection", "1"}, {"Affects layer projection", "1"}});
    m_environment.StartBlend(&affecting, 0, 0, 0.0f);
    EXPECT_FLOAT_EQ(m_environment.GetCurrentSet()->GetSun().lightYaw, 30.0f);
    EXPECT_FLOAT_EQ(m_environment.GetCurrentSet()->GetSky().cloudScale, 2.0f);
    EXPECT_FLOAT_EQ(m_environment.GetCurrentSet()->GetSky().layerHeight, 7.0f);
    EXPECT_EQ(&m_environment.GetLayerProjectionMatrix(), &m_environment.GetCurrentSet()->GetSky().layerProjection);
    EXPECT_EQ(&SceneEnvironment().GetLayerProjectionMatrix(), &Matrix::ONE) << "no sets yet";

    // The cloud look, the layer texture and the environment map: colours and textures by their switches.
    TextureHolder* textures[3] = {new TextureHolder, new TextureHolder, new TextureHolder};
    SceneParametersTemplate looks[2];
    for (const int on : {0, 1})
    {
        const char* flag = on != 0 ? "1" : "0";
        auto& set = const_cast<SceneParametersWrapper&>(
            Set(looks[on], {{"Affects texture and color", flag}, {"Affects layer texture", flag},
                            {"Affects environment map", flag}}));
        set.GetSky().cloudColor = Vector(0.25f, 0.0f, 0.0f, 1.0f); // a set without textures keeps no colours
        set.GetSky().layerColor = Vector(0.0f, 0.25f, 0.0f, 1.0f);
        set.SetCloudTexture(textures[0]);
        set.SetLayerTexture(textures[1]);
        set.SetEnvironmentMap(textures[2]);
        m_environment.StartBlend(&set, 0, 0, 0.0f);
        const SceneParametersWrapper& now = *m_environment.GetCurrentSet();
        EXPECT_EQ(now.GetSky().cloudColor.x == set.GetSky().cloudColor.x, on != 0);
        EXPECT_EQ(now.GetSky().layerColor.y == set.GetSky().layerColor.y, on != 0);
        EXPECT_EQ(now.GetCloudTexture() == textures[0], on != 0);
        EXPECT_EQ(now.GetLayerTexture() == textures[1], on != 0);
        EXPECT_EQ(now.GetEnvironmentMap() == textures[2], on != 0);
    }
    for (TextureHolder* texture : textures)
        RendererObjectHandle::Release(texture); // the wrappers and the environment hold their own
}

TEST_F(SceneEnvironmentTest, EachFrameDerivesFogTintsAndScrolls)
{
    // Lighting uploaded before the first frame is untinted.
    const SceneEnvironment fresh;
    EXPECT_TRUE(fresh.GetTopTint().Equal(Vector(1.0f, 1.0f, 1.0f, 1.0f)));
    EXPECT_TRUE(fresh.GetBottomTint().Equal(fresh.GetTopTint()));
    // The drifts come with the projection switches; the shading of a later set without switches
    // leaves them in place.
    SceneParametersTemplate drifting;
    m_environment.StartBlend(&Set(drifting, {{"Cloud drift", "0.75 -0.25 -0.0000000005 0"},
                                             {"Layer cloud drift", "0.5 0 0 0"},
                                             {"Affects projection", "1"},
                                             {"Affects layer projection", "1"}}),
                             0, 0, 0.0f);
    SceneParametersWrapper target;
    target.SetDefaults();
    SceneShadingParameters& shading = target.GetShading();
    shading.fogStart = 100.0f;
    shading.fogEnd = 300.0f;
    shading.topColor = Vector(0.5f, 0.2f, 0.0f, 0.5f);
    shading.bottomColor = Vector(0.1f, 0.2f, 0.3f, 0.0f);
    m_environment.StartBlend(&target, 0, 0, 0.0f);
    m_environment.Update(0, 0.0f, 0, 2.0f, 0, 7.0f);
    EXPECT_TRUE(m_environment.GetFogFactors().Equal(Vector(1.0f / 200.0f, -0.5f, 0.0f, 0.0f)));
    EXPECT_TRUE(m_environment.GetTopTint().Equal(Vector(0.75f, 0.6f, 0.5f, 1.0f)));
    EXPECT_TRUE(m_environment.GetBottomTint().Equal(Vector(1.0f, 1.0f, 1.0f, 1.0f)));
    EXPECT_TRUE(m_environment.GetCloudOffset().Equal(Vector(0.5f, 0.5f, 0.0f, 0.0f))) << "1.5, -0.5 and -1e-9 wrap";
    EXPECT_TRUE(m_environment.GetLayerOffset().Equal(Vector(0.0f, 0.0f, 0.0f, 0.0f)));
    // Translation first: the scroll moves the texture coordinates before the projection.
    Matrix translation, expected = m_environment.GetCurrentSet()->GetSky().cloudProjection;
    translation.LoadTranslation(m_environment.GetCloudOffset());
    expected.MulInPlace(translation);
    for (int r = 0; r < 4; ++r)
        EXPECT_TRUE(m_environment.GetCloudTextureMatrix().rows[r].Equal(expected.rows[r])) << r;

    // A fog range within 0.001 is no fog at all (not everything fully fogged).
    target.GetShading().fogEnd = 100.0005f;
    m_environment.StartBlend(&target, 0, 0, 0.0f);
    m_environment.Update(0, 0.0f, 0, 0.0f, 0, 0.0f);
    EXPECT_TRUE(m_environment.GetFogFactors().Equal(Vector(0.0f, 0.0f, 0.0f, 0.0f)));
}
