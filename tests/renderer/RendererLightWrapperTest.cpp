// ctest-labels: thread
// Lights on a running renderer: what the game thread posts is what the render thread holds, the
// attenuation constants, the directional-ambient list and the mask references.
#include "renderer/RendererLightWrapper.h"

#include "renderer/jobs/TextureHolder.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <cmath>
#include <utility>

namespace
{
class RendererLightWrapperTest : public RendererTestBase
{
};

Matrix Scaled(float row0, float row2)
{
    Matrix m = Matrix::ONE;
    m.rows[0].x = row0;
    m.rows[2].z = row2;
    return m;
}

TEST(LightRenderDataTest, AttenuationMeetsOneInsideAndZeroOutside)
{
    struct Case
    {
        const char* name;
        uint32_t type;
        Matrix transform;
        float start, end, width, softness;
        float inner, outer; // expected radii after scaling and the 0.01 rule
        float c, d;
    };
    const float co60 = std::cos(60.0f * 3.14159265f / 180.0f);
    const float co45 = std::cos(45.0f * 3.14159265f / 180.0f);
    const Case cases[] = {
        {"point scaled by row 2", LightRenderData::TYPE_POINT, Scaled(1, 2), 1, 5, 0, 0, 2, 10, 0, 0},
        {"equal falloffs", LightRenderData::TYPE_POINT, Matrix::ONE, 3, 3, 0, 0, 2.99f, 3, 0, 0},
        {"start past end", LightRenderData::TYPE_POINT, Matrix::ONE, 4, 3, 0, 0, 2.99f, 3, 0, 0},
        {"tube scaled by row 0", LightRenderData::TYPE_TUBE, Scaled(3, 2), 1, 2, 0, 0, 3, 6, 0, 0},
        {"spot", LightRenderData::TYPE_SPOT, Matrix::ONE, 1, 4, 60, 0.25f, 1, 4, 1 / (co45 - co60),
         -co60 / (co45 - co60)},
        {"spot without width", LightRenderData::TYPE_SPOT, Matrix::ONE, 1, 4, 0, 0.5f, 1, 4, 0, 0},
        {"spot of infinite width", LightRenderData::TYPE_SPOT, Matrix::ONE, 1, 4, HUGE_VALF, 0.5f, 1, 4, 0, 0},
    };
    for (const Case& c : cases)
    {
        float k[4];
        LightRenderData::ComputeAttenuation(c.type, c.transform, c.start, c.end, c.width, c.softness, k);
        EXPECT_NEAR(k[0] * c.inner * c.inner + k[1], 1.0f, 2e-3f) << c.name;
        EXPECT_NEAR(k[0] * c.outer * c.outer + k[1], 0.0f, 2e-3f) << c.name;
        EXPECT_NEAR(k[2], c.c, 1e-3f) << c.name;
        EXPECT_NEAR(k[3], c.d, 1e-3f) << c.name;
        for (float v : k)
            EXPECT_TRUE(std::isfinite(v)) << c.name;
    }
    // Radii whose squares meet have no falloff rather than an infinite one.
    float k[4];
    LightRenderData::ComputeAttenuation(LightRenderData::TYPE_POINT, Matrix::ONE, 0, 0.005f, 0, 0, k);
    EXPECT_TRUE(std::isfinite(k[0]) && std::isfinite(k[1]));
}

TEST(LightRenderDataTest, DirectionalAmbientLightsJoinAndLeaveTheList)
{
    const Vector one(1, 1, 1, 1);
    LightRenderData a, b;
    auto* c = new LightRenderData;
    const uint32_t start = gDirectionalAmbientLights.changeCounter;
    a.SetDirectionalAmbient(one, one, one, 1, 2, 0.5f, nullptr, Vector(), one, 4);
    b.SetDirectionalAmbient(one, one, one, 1, 2, 0.5f, nullptr, Vector(), one, 4);
    c->SetDirectionalAmbient(one, one, one, 1, 2, 0.5f, nullptr, Vector(), one, 4);
    EXPECT_EQ(gDirectionalAmbientLights.head, &a);
    EXPECT_EQ(a.GetNext(), &b);
    EXPECT_EQ(gDirectionalAmbientLights.tail, c);
    EXPECT_EQ(gDirectionalAmbientLights.changeCounter, start + 6) << "a link and an update each";
    b.SetTransform(Matrix::ONE);
    EXPECT_EQ(gDirectionalAmbientLights.changeCounter, start + 7);
    // Becoming a point light leaves the list; a point light's transform changes nothing in it.
    b.SetPoint(one, 1, 1, 2, nullptr, Vector(), one);
    EXPECT_FALSE(b.IsLinked());
    EXPECT_EQ(a.GetNext(), c);
    const uint32_t afterUnlink = gDirectionalAmbientLights.changeCounter;
    EXPECT_EQ(afterUnlink, start + 8);
    b.SetTransform(Matrix::ONE);
    EXPECT_EQ(gDirectionalAmbientLights.changeCounter, afterUnlink);
    a.Release();
    delete c; // a destroyed light leaves the list too
    EXPECT_EQ(gDirectionalAmbientLights.head, nullptr);
    EXPECT_EQ(gDirectionalAmbientLights.tail, nullptr);
}

TEST(LightRenderDataTest, MirroredSpotsAndTubesAndTheMaskScaleReciprocal)
{
    LightRenderData spot(LightRenderData::TYPE_SPOT), point;
    spot.SetSpot(Vector(1, 1, 1, 1), 1, 1, 2, 30, 0.5f, nullptr, Vector(), Vector(2, -4, 0, 1));
    EXPECT_FLOAT_EQ(spot.GetMaskScaleReciprocal().x, 0.5f);
    EXPECT_FLOAT_EQ(spot.GetMaskScaleReciprocal().y, -0.25f) << "a negative scale mirrors the mask";
    EXPECT_FLOAT_EQ(spot.GetMaskScaleReciprocal().z, 0.0f);
    spot.SetTransform(Scaled(-1, 1));
    point.SetTransform(Scaled(-1, 1));
    EXPECT_TRUE(spot.IsMirrored());
    EXPECT_FALSE(point.IsMirrored());
    point.SetTube(Vector(1, 1, 1, 1), 1, 1, 2, 3, nullptr, Vector(), Vector(1, 1, 1, 1));
    EXPECT_TRUE(point.IsMirrored()) << "a tube set after its mirrored transform";
    point.SetPoint(Vector(1, 1, 1, 1), 1, 1, 2, nullptr, Vector(), Vector(1, 1, 1, 1));
    EXPECT_FALSE(point.IsMirrored());
    Matrix swapped = Matrix::ONE;
    std::swap(swapped.rows[0], swapped.rows[1]);
    spot.SetTransform(swapped);
    EXPECT_TRUE(spot.IsMirrored()) << "x and y swapped";
    spot.SetTransform(Matrix::ONE);
    EXPECT_FALSE(spot.IsMirrored());
}

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
        const LightRenderData& d = light->GetData();
        EXPECT_FLOAT_EQ(d.GetTransform().rows[3].z, 3.0f);
        EXPECT_EQ(d.GetType(), uint32_t(LightRenderData::TYPE_SPOT));
        EXPECT_FLOAT_EQ(d.GetColor().y, 0.25f);
        EXPECT_FLOAT_EQ(d.GetSpecular(), 2.0f);
        EXPECT_FLOAT_EQ(d.GetEndFalloff(), 9.0f);
        EXPECT_FLOAT_EQ(d.GetSpotWidth(), 40.0f);
        EXPECT_FLOAT_EQ(d.GetSpotSoftness(), 0.3f);
        EXPECT_FLOAT_EQ(d.GetMaskScaleReciprocal().w, 0.5f);
        EXPECT_FLOAT_EQ(d.GetMaskRotation().x, 1.0f);
        EXPECT_NE(d.GetAttenuation()[2], 0.0f);
    });
    light->PostDirectionalAmbient(Vector(1, 1, 1, 1), Vector(0.1f, 0.1f, 0.1f, 1), Vector(0.2f, 0.2f, 0.2f, 1), 0.5f,
                                  1, 0.7f, nullptr, Vector(), Vector(1, 1, 1, 1), 6);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        const LightRenderData& d = light->GetData();
        EXPECT_TRUE(d.IsLinked());
        EXPECT_FLOAT_EQ(d.GetSideColor().x, 0.2f);
        EXPECT_EQ(d.GetTwoSidedMode(), 1);
        EXPECT_FLOAT_EQ(d.GetWrapAround(), 0.7f);
        EXPECT_EQ(d.GetLightMask(), 6u);
    });
    light->PostTube(Vector(1, 0, 0, 1), 1.0f, 0.5f, 4.0f, 3.0f, nullptr, Vector(), Vector(1, 1, 1, 1));
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        EXPECT_EQ(light->GetData().GetType(), uint32_t(LightRenderData::TYPE_TUBE));
        EXPECT_FLOAT_EQ(light->GetData().GetTubeLength(), 3.0f);
        EXPECT_FALSE(light->GetData().IsLinked());
    });
    m_renderer.AddLight(light);
    NorvexRendererObject::PostDeletion(light, true, false);
    m_renderer.SubmitCommands(true);
}

TEST_F(RendererLightWrapperTest, APostedMaskOutlivesTheGameSideReference)
{
    RendererLightWrapper* light = new RendererLightWrapper;
    auto* mask = new TextureHolder; // the texture resource's reference
    light->PostPoint(Vector(1, 1, 1, 1), 1, 1, 2, mask, Vector(), Vector(1, 1, 1, 1));
    // The resource unloads before the render thread ran the command: the travelling reference keeps
    // the handle alive.
    EXPECT_EQ(mask->DropReference(), 1u);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        EXPECT_EQ(light->GetData().GetMask(), mask);
        EXPECT_EQ(mask->GetReferenceCount(), 1u) << "the light's own reference only";
    });
    // Replacing the mask drops the light's reference, which frees the handle (ASan sees a leak or a
    // double free otherwise).
    light->PostPoint(Vector(1, 1, 1, 1), 1, 1, 2, nullptr, Vector(), Vector(1, 1, 1, 1));
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { EXPECT_EQ(light->GetData().GetMask(), nullptr); });
    NorvexRendererObject::PostDeletion(light, true, false);
    m_renderer.SubmitCommands(true);
}

TEST_F(RendererLightWrapperTest, DeclarationsAreSharedAndFailuresAreNotCached)
{
    const gpu::VertexElement position = {0, 0, 2, 0, 0, 0}; // three floats
    const gpu::VertexElement uv = {0, 12, 1, 0, 5, 0};
    const gpu::VertexElement shortList[] = {position, gpu::kDeclEnd};
    const gpu::VertexElement longList[] = {position, uv, gpu::kDeclEnd};
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        gpu::GpuVertexDeclaration* first = r.GetVertexDeclaration(longList, 3);
        gpu::GpuVertexDeclaration* again = r.GetVertexDeclaration(longList, 3);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first, again);
        EXPECT_EQ(first->GetRefCount(), 3u) << "the cache's and two callers'";
        gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::VertexDeclaration);
        EXPECT_EQ(r.GetVertexDeclaration(shortList, 2), nullptr);
        gpu::GpuVertexDeclaration* retried = r.GetVertexDeclaration(shortList, 2);
        ASSERT_NE(retried, nullptr) << "the failure was not cached";
        EXPECT_NE(retried, first);
        EXPECT_EQ(r.GetVertexDeclaration(shortList, 2), retried);
        // Lists past 65 elements, or without their end marker, are refused.
        std::vector<gpu::VertexElement> tooLong(66, position);
        tooLong.back() = gpu::kDeclEnd;
        EXPECT_EQ(r.GetVertexDeclaration(tooLong.data(), 66), nullptr);
        EXPECT_EQ(r.GetVertexDeclaration(longList, 2), nullptr);
        EXPECT_EQ(r.GetDeviceManager().GetVertexDeclarations().GetCount(), 2u);
        first->Release();
        again->Release();
        retried->Release();
        retried->Release();
        // Cleared as the device closes: nothing may be created on the device that goes next.
        r.GetDeviceManager().GetVertexDeclarations().Clear();
        EXPECT_EQ(r.GetVertexDeclaration(longList, 3), nullptr);
    });
}

TEST_F(RendererLightWrapperTest, BuffersComeFilledOrNotAtAll)
{
    const uint16_t indices[] = {0, 1, 2, 2, 1, 3};
    const float vertices[] = {1, 2, 3, 4, 5, 6};
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        gpu::GpuIndexBuffer* ib = r.CreateIndexBuffer(sizeof(indices), gpu::kUsageWriteOnly, gpu::kPoolManaged, indices);
        gpu::GpuVertexBuffer* vb = r.CreateVertexBuffer(sizeof(vertices), 0, gpu::kPoolManaged, vertices);
        ASSERT_NE(ib, nullptr);
        ASSERT_NE(vb, nullptr);
        EXPECT_EQ(std::memcmp(ib->Bytes(), indices, sizeof(indices)), 0);
        EXPECT_EQ(std::memcmp(vb->Bytes(), vertices, sizeof(vertices)), 0);
        gpu::SafeRelease(ib);
        gpu::SafeRelease(vb);
        gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::VertexBuffer);
        EXPECT_EQ(r.CreateVertexBuffer(sizeof(vertices), 0, gpu::kPoolManaged, vertices), nullptr);
    });
}
} // namespace
