// Light objects on a running renderer: what the game thread posts is what the render thread holds.
#include "renderer/RendererLightWrapper.h"

#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

namespace
{
class RendererLightWrapperTest : public RendererTestBase
{
};
} // namespace

TEST_F(RendererLightWrapperTest, EachSubOperationLandsInTheRenderData)
{
    RendererLightWrapper* light = new RendererLightWrapper;
    EXPECT_EQ(light->GetId(), -1);
    EXPECT_TRUE(light->IsReady());
    Matrix world = Matrix::ONE;
    world.rows[3].Set(1, 2, 3, 1);
    light->PostMatrix(world);
    light->PostSpot(Vector(0.5f, 0.25f, 1, 1), 2.0f, 1.0f, 9.0f, 40.0f, 0.3f, nullptr, Vector(1, 0, 0, 0),
                    Vector(2, 2, 2, 2));
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        const RendererLightData& d = light->GetData();
        EXPECT_FLOAT_EQ(d.world.rows[3].z, 3.0f);
        EXPECT_EQ(d.kind, uint32_t(RendererLightData::KIND_SPOT));
        EXPECT_FLOAT_EQ(d.color.y, 0.25f);
        EXPECT_FLOAT_EQ(d.specular, 2.0f);
        EXPECT_FLOAT_EQ(d.farRange, 9.0f);
        EXPECT_FLOAT_EQ(d.spotWidth, 40.0f);
        EXPECT_FLOAT_EQ(d.spotSoftness, 0.3f);
        EXPECT_FLOAT_EQ(d.maskScale.w, 2.0f);
    });
    light->PostDirectionalAmbient(Vector(1, 1, 1, 1), Vector(0.1f, 0.1f, 0.1f, 1), Vector(0.2f, 0.2f, 0.2f, 1), 0.5f,
                                  1, 0.7f, nullptr, Vector(), Vector(1, 1, 1, 1), 6);
    light->PostTube(Vector(1, 0, 0, 1), 1.0f, 0.5f, 4.0f, 3.0f, nullptr, Vector(), Vector(1, 1, 1, 1));
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        const RendererLightData& d = light->GetData();
        EXPECT_EQ(d.kind, uint32_t(RendererLightData::KIND_TUBE));
        EXPECT_FLOAT_EQ(d.tubeLength, 3.0f);
        EXPECT_FLOAT_EQ(d.sideColor.x, 0.2f) << "kept from the ambient call";
        EXPECT_EQ(d.twoSidedMode, 1u);
        EXPECT_FLOAT_EQ(d.wrapAround, 0.7f);
        EXPECT_EQ(d.viewVisibility, 6u);
    });
    light->PostPoint(Vector(0, 0, 1, 1), 3.0f, 2.0f, 5.0f, nullptr, Vector(), Vector(1, 1, 1, 1));
    m_renderer.AddLight(light);
    NorvexRendererObject::PostDeletion(light, true, false);
    m_renderer.SubmitCommands(true);
}
