// ctest-labels: thread
// A screen that shows its own scene in place of the game's puts the UI scene parameters in force
// while its elements draw on the render thread, and takes them out again after it.
#include "ui/screens/UIScreen.h"

#include "renderer/FrameClock.h"
#include "renderer/SceneEnvironment.h"
#include "support/RendererTestBase.h"

#include <vector>

namespace
{
// Records, as it draws, whether the override set is in force.
class OverrideProbe : public UIElement
{
public:
    void Render(const Matrix&, const Vector&, bool, const Vector*) override
    {
        seen.push_back(gSceneEnvironment.IsOverrideInForce());
    }
    std::vector<bool> seen;
};

class UIScreenSceneOverrideTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        UIScreen::SetUISizeOverride(320.0f, 240.0f);
        gSceneEnvironment.Create();
    }
    void TearDown() override
    {
        gSceneEnvironment.Close();
        m_renderer.SubmitCommands(true);
        UIScreen::SetUISizeOverride(0.0f, 0.0f);
        RendererTestBase::TearDown();
    }
};
} // namespace

TEST_F(UIScreenSceneOverrideTest, OnlyAScreenWithItsOwnSceneDrawsUnderTheOverride)
{
    for (const bool ownScene : {false, true})
    {
        auto* screen = new UIScreen;
        screen->SetVisible(true);
        screen->SetBlocksSceneRendering(ownScene);
        auto* probe = new OverrideProbe;
        probe->SetSizeXY(10.0f, 10.0f);
        screen->AddChild(probe);
        const FrameClock clock;
        screen->Draw(320, 240, clock, clock, Vector(0.0f, 0.0f, 0.0f, 0.0f));
        m_renderer.SubmitCommands(true);
        EXPECT_EQ(probe->seen, std::vector<bool>{ownScene}) << "own scene " << ownScene;
        EXPECT_FALSE(gSceneEnvironment.IsOverrideInForce()) << "off again after the screen";
        screen->Release();
        m_renderer.SubmitCommands(true);
    }
}
