// The frustum the controller sends is what the visible-entity gather tests entities against, as
// the game's render uses it.
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "scene/cameras/CameraTestSupport.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/cameras/NXBaseCameraSubcontroller.h"
#include "support/SceneTestSupport.h"

#include <algorithm>

namespace
{
class GameCameraControllerGatherTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        gpu::Faults().Clear();
        gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
        config.desktopWidth = 320;
        config.desktopHeight = 240;
        gpu::SetDisplayConfig(config);
        ASSERT_TRUE(m_renderer.Init(&m_window, false));
        m_clocks.Install();
    }
    void TearDown() override
    {
        m_clocks.Remove();
        m_renderer.Close();
        gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
        SceneTest::TearDown();
    }
    bool IsVisible(const Entity* entity) const
    {
        const Dynarray<Entity*>& visible = gEntityManager.GetVisibleList();
        return std::find(visible.begin(), visible.end(), entity) != visible.end();
    }

    int m_window = 0;
    NorvexRenderer m_renderer;
    CameraClockRig m_clocks;
};

TEST_F(GameCameraControllerGatherTest, OnlyEntitiesInsideTheSentFrustumAreGathered)
{
    GameCameraController controller(320, 240);
    NXBaseCameraSubcontroller* sub = controller.AddNewSubcontroller(GameCameraController::SUBCONTROLLER_BASE);
    sub->SetPosition(Vector(500.0f, 40.0f, 100.0f, 1.0f)); // looking along +z
    controller.SetCurrentSubcontroller(sub, 0.0f, 0);
    controller.SetClipPlanes(10.0f, 500.0f);
    controller.Update();
    ASSERT_TRUE(controller.ApplyToRenderer(false, 0, nullptr));

    Entity* ahead = Create(nullptr, Translation(500, 40, 300));
    Entity* behind = Create(nullptr, Translation(500, 40, 20));
    Entity* aside = Create(nullptr, Translation(900, 40, 200));
    Entity* beyondFar = Create(nullptr, Translation(500, 40, 700));
    uint8_t layers[32];
    std::fill(std::begin(layers), std::end(layers), uint8_t(0xFF));
    VisibleEntityGatherOptions options;
    options.frustumPlanes = controller.GetFrustumPlanes();
    options.frustumBox = controller.GetFrustumBox();
    options.layerMask = layers;
    gEntityManager.ClearVisibleLists();
    gEntityManager.GatherVisibleEntities(options);
    EXPECT_TRUE(IsVisible(ahead));
    EXPECT_FALSE(IsVisible(behind));
    EXPECT_FALSE(IsVisible(aside));
    EXPECT_FALSE(IsVisible(beyondFar)) << "past the far plane";
    gEntityManager.ClearVisibleLists();
}
} // namespace
