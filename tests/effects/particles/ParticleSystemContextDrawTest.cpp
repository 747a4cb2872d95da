// ctest-labels: thread
// Particle drawing through the running renderer: a definition resolves its "Particle" variant and
// texture from a kit-made data root, its context plays on the render thread from the frame-times
// command and draws through the stand-in's particle program (probed pixel by pixel), a particle
// entity's context tints it by the scene's effect colour multiplier, fogged particles fade by the
// scene's fog (and not at all without one), soft ones near the scene's depth, and the shared vertex
// buffer discards when a fill does not fit in what is left of it.
#include "effects/particles/ParticleEntityRenderingContext.h"
#include "effects/particles/ParticlePools.h"
#include "effects/particles/ParticleSystem.h"
#include "effects/particles/ParticleSystemContext.h"
#include "platform/gpu/GpuBuffer.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuEnvironment.h"
#include "platform/gpu/GpuObject.h"
#include "platform/gpu/GpuSurface.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/ShaderManager.h"
#include "support/ConsoleCapture.h"
#include "support/ParticleTestSupport.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "support/SystemTextures.h"
#include "tools/datakit/TextureFileWriter.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
class ParticleSystemContextDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        const std::string white = AddSystemTextures(data);
        ASSERT_FALSE(white.empty());
        data.AddFile("textures", "SFX/dot.texture", white);
        data.AddFile("textures", "SFX/spark.texture", white);
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
        ASSERT_TRUE(gShaderManager.Init(true));
    }
    void TearDown() override { m_harness.Stop(); }

    // One frame-times command advancing every clock by `seconds`.
    void Tick(float seconds)
    {
        for (FrameClock* clock : {&m_clocks[0], &m_clocks[1], &m_clocks[2]})
        {
            clock->accumulatedCounter += uint64_t(double(seconds) * double(os::kCounterFrequency));
            clock->lastStepSeconds = seconds;
        }
        m_harness.GetRenderer().SetFrameTimes(m_clocks[0], m_clocks[1], m_clocks[2], 0);
    }

    // A long-lived red particle facing the camera as a unit quad, untextured blending off.
    static void RedQuadSystem(ParticleSystem& system)
    {
        SetParticleProperty(system, "Texture file name", "SFX/dot.dds");
        SetParticleProperty(system, "Fog", "0");
        SetParticleProperty(system, "Blending mode", "0");
        SetParticleProperty(system, "Alpha test mode", "0");
        SetParticleProperty(system, "Z buffer read", "0");
        SetParticleProperty(system, "Face camera mode", "2");
        SetParticleProperty(system, "Initial velocity", "0 0 0 0");
        SetParticleProperty(system, "Initial velocity var", "0 0 0 0");
        SetParticleProperty(system, "Life time", "100");
        for (const char* node : {"Node 0 color", "Node 1 color", "Node 2 color", "Node 3 color"})
            SetParticleProperty(system, node, "255 0 0 255 1");
        for (const char* node : {"Node 0 size", "Node 1 size", "Node 2 size", "Node 3 size"})
            SetParticleProperty(system, node, "1");
        system.BuildShader(true);
    }

    // Clears, runs the draw on the render thread and answers the centre pixel (with none, of the stream's).
    uint32_t DrawCentre(const std::function<void()>& draw)
    {
        uint32_t centre = 0;
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) {
            gpu::GpuDevice* device = r.GetDevice();
            if (draw)
            {
                device->BeginScene();
                device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
                draw();
            }
            device->EndScene();
            gpu::GpuSurface* target = nullptr;
            device->GetRenderTarget(0, &target);
            centre = target->ReadPixelArgb(target->Desc().width / 2, target->Desc().height / 2) | 0xFF000000u;
            target->Release();
        });
        return centre;
    }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    FrameClock m_clocks[3];
};

TEST_F(ParticleSystemContextDrawTest, AContextDrawsItsNodeColourThroughTheParticleProgram)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    ParticleSystem system;
    RedQuadSystem(system);
    SetParticleProperty(system, "Z buffer write", "1"); // the depth test still stays off
    renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    auto* context = new ParticleSystemContext(system, Matrix::ONE, 0);
    context->PostRestart();
    Tick(0.05f);
    Tick(0.05f);
    renderer.SubmitCommands(true);

    uint32_t count = 0, centre = 0, corner = 0, drawsWithout = 0, triangles = 0, depthFunc = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        gpu::GpuDevice* device = r.GetDevice();
        device->BeginScene();
        device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
        count = context->GetCount();
        const gpu::FrameStatistics before = device->GetFrameStatistics();
        context->Draw(Matrix::ONE, Vector(1.0f, 1.0f, 1.0f, 1.0f), 0);
        device->GetRenderState(gpu::kRsZFunc, &depthFunc);
        drawsWithout = device->GetFrameStatistics().drawsWithoutProgram - before.drawsWithoutProgram;
        triangles = device->GetFrameStatistics().primitives - before.primitives;
        device->EndScene();
        gpu::GpuSurface* target = nullptr;
        device->GetRenderTarget(0, &target);
        const uint32_t width = target->Desc().width, height = target->Desc().height;
        centre = target->ReadPixelArgb(width / 2, height / 2) | 0xFF000000u;
        corner = target->ReadPixelArgb(2, 2) | 0xFF000000u;
        target->Release();
    });
    EXPECT_GE(count, 1u);
    EXPECT_EQ(drawsWithout, 0u) << "the particle shader has a program";
    EXPECT_EQ(depthFunc, uint32_t(gpu::kCmpAlways));
    EXPECT_EQ(triangles, 2 * count) << "two triangles a particle";
    EXPECT_EQ(centre, 0xFFFF0000u) << "the unit quad covers the middle in the node colour";
    EXPECT_EQ(corner, 0xFF000000u);

    // Drawn by the command, in stream order between a clear and the read, the command's colour tints it.
    RunOnRenderThread(renderer, [](NorvexRenderer& r) {
        r.GetDevice()->BeginScene();
        r.GetDevice()->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
    });
    renderer.DrawParticleSystem(context, Matrix::ONE, BoundingBox4(), Vector(0.5f, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(DrawCentre(nullptr), 0xFF800000u);

    // Moved, slowed and stopped by commands: the emitter follows the matrix and stops emitting.
    Matrix moved = Matrix::ONE;
    moved.rows[3] = Vector(5.0f, 0.0f, 0.0f, 1.0f);
    context->PostSetMatrix(moved);
    context->PostSetSpeedMultiplier(0.25f);
    context->PostStop();
    RunOnRenderThread(renderer, [&](NorvexRenderer&) {
        EXPECT_EQ(context->GetMatrix().rows[3].x, 5.0f);
        EXPECT_EQ(context->GetSpeedMultiplier(), 0.25f);
        EXPECT_FALSE(context->IsEmitting());
    });
    context->PostDestroy();
    renderer.SubmitCommands(true);
    system.ReleaseShader();

    // An edit on the game thread queues its texture rather than loading it there.
    ParticleSystem edited;
    SetParticleProperty(edited, "Texture file name", "SFX/spark.dds");
    edited.BuildShader(false);
    ASSERT_NE(edited.GetTextureResource(), nullptr);
    EXPECT_NE(edited.GetTextureResource()->GetState(), uint32_t(RESOURCE_STATE_NOT_LOADED));
    edited.ReleaseShader();
}

// The identity camera looks along z: a quad shows only when its face axes span x and y. The fixed
// modes take them from the draw matrix's rows (local x: rows 1 and 2, local y: rows 0 and 2); a
// camera-facing quad in local space faces the camera through its turned emitter, the identity
// camera or one turned another way.
TEST_F(ParticleSystemContextDrawTest, FaceModesTakeTheirAxesFromTheDrawMatrixOrTheCameraInTheEmittersSpace)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    const Vector x(1, 0, 0, 0), y(0, 1, 0, 0), z(0, 0, 1, 0);
    // Turned a quarter about y and moved into the depth range, clear of the near plane.
    Matrix turned;
    turned.LoadYRotation(90.0f);
    turned.rows[3].z = 0.5f;
    // A camera looking along x at an emitter turned about x in front of it.
    Matrix lookingAlongX;
    lookingAlongX.LoadYRotation(90.0f);
    Matrix viewAlongX;
    viewAlongX.InverseOf(lookingAlongX);
    Matrix tilted;
    tilted.LoadXRotation(90.0f);
    tilted.rows[3].x = 0.5f;
    // Up is the camera's -y, so textures show upright: anchored at its top, a quad hangs below its particle.
    Matrix raised = Matrix::ONE;
    raised.rows[3].y = 0.3f;
    const struct
    {
        const char* mode;
        const char* localSpace;
        Vector rows[3];
        Matrix emitter;
        uint32_t centre;
        Matrix view = Matrix::ONE;
        const char* anchor = "0.5 0.5 0 0";
    } cases[] = {
        {"0", "0", {z, x, y}, Matrix::ONE, 0xFFFF0000u}, {"0", "0", {x, y, z}, Matrix::ONE, 0xFF000000u},
        {"1", "0", {x, z, y}, Matrix::ONE, 0xFFFF0000u}, {"1", "0", {z, x, y}, Matrix::ONE, 0xFF000000u},
        {"3", "1", {x, y, z}, turned, 0xFFFF0000u}, {"3", "1", {x, y, z}, tilted, 0xFFFF0000u, viewAlongX},
        {"3", "0", {x, y, z}, raised, 0xFFFF0000u, Matrix::ONE, "0.5 0 0 0"},
    };
    for (const auto& c : cases)
    {
        ParticleSystem system;
        RedQuadSystem(system);
        SetParticleProperty(system, "Face camera mode", c.mode);
        SetParticleProperty(system, "Local space", c.localSpace);
        SetParticleProperty(system, "Anchor", c.anchor);
        system.BuildShader(true);
        renderer.SetCamera(c.view, Matrix::ONE, Matrix::ONE);
        auto* context = new ParticleSystemContext(system, c.emitter, 0);
        context->PostRestart();
        Tick(0.05f);
        Tick(0.05f);
        Matrix world = Matrix::ONE;
        for (int r = 0; r < 3; ++r)
            world.rows[r] = c.rows[r];
        EXPECT_EQ(DrawCentre([&] { context->Draw(world, Vector(1, 1, 1, 1), 0); }), c.centre)
            << "mode " << c.mode << ", local space " << c.localSpace;
        context->PostDestroy();
        renderer.SubmitCommands(true);
        system.ReleaseShader();
    }
}

TEST_F(ParticleSystemContextDrawTest, AParticleEntityIsTintedByTheScenesEffectColourMultiplier)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    ParticleSystem system;
    RedQuadSystem(system);
    // White particles, so that every channel shows its own product.
    for (const char* node : {"Node 0 color", "Node 1 color", "Node 2 color", "Node 3 color"})
        SetParticleProperty(system, node, "255 255 255 255 1");
    ASSERT_NE(system.GetVertexShaderResource(), nullptr);
    renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    auto* context = new ParticleEntityRenderingContext(renderer, false);
    context->RebuildSystem(system, Matrix::ONE, 0);
    context->PostRestart();
    Tick(0.05f);
    Tick(0.05f);
    renderer.SubmitCommands(true);

    const uint32_t plain = DrawCentre([&] { context->Draw(Matrix::ONE, 0, Vector(1, 1, 1, 1)); });
    SceneParametersWrapper scene;
    scene.SetDefaults();
    scene.GetShading().sfxColorMultiplier = Vector(0.5f, 1.0f, 1.0f, 1.0f);
    RunOnRenderThread(renderer, [&](NorvexRenderer&) {
        gSceneEnvironment.CreateSets();
        gSceneEnvironment.StartBlend(&scene, SceneEnvironment::kBlendTemporary, 0, 0.0f);
    });
    context->SetColorMultiplier(Vector(1, 1, 0.5f, 1));
    const uint32_t tinted = DrawCentre([&] { context->Draw(Matrix::ONE, 0, Vector(1, 0.5f, 0.25f, 1)); });
    RunOnRenderThread(renderer, [&](NorvexRenderer&) { gSceneEnvironment.DeleteSets(); });
    EXPECT_EQ(plain, 0xFFFFFFFFu) << "the defaults multiply by one";
    EXPECT_EQ(tinted, 0xFF808020u) << "red times the scene's 0.5, green the draw's, blue the draw's and the entity's";
    for (const uint32_t skipped : {0x01u, 0x10u})
        EXPECT_EQ(DrawCentre([&] { context->Draw(Matrix::ONE, skipped, Vector(1, 1, 1, 1)); }), 0xFF000000u) << skipped;

    context->Release();
    renderer.SubmitCommands(true);
    system.ReleaseShader();
}

TEST_F(ParticleSystemContextDrawTest, FoggedParticlesFadeByTheScenesFogAndNotWithoutOne)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    ParticleSystem system;
    RedQuadSystem(system);
    SetParticleProperty(system, "Fog", "1");
    SetParticleProperty(system, "Blending mode", "2"); // adding: the colour carries the fade
    system.BuildShader(true);
    renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    auto* context = new ParticleSystemContext(system, Matrix::ONE, 0);
    context->PostRestart();
    Tick(0.05f);
    Tick(0.05f);
    RunOnRenderThread(renderer, [&](NorvexRenderer&) { gSceneEnvironment.CreateSets(); });
    // The identity camera puts the particle at view distance 1.
    const struct
    {
        float start, end;
        int red;
    } rows[] = {{0.0f, 0.0f, 255}, {0.0f, 2.0f, 128}, {-2.0f, -1.0f, 0}};
    for (const auto& row : rows)
    {
        SceneParametersWrapper scene;
        scene.SetDefaults();
        scene.GetShading().fogStart = row.start;
        scene.GetShading().fogEnd = row.end;
        RunOnRenderThread(renderer, [&](NorvexRenderer&) {
            gSceneEnvironment.StartBlend(&scene, SceneEnvironment::kBlendTemporary, 0, 0.0f);
        });
        Tick(0.0f);
        renderer.SubmitCommands(true);
        const uint32_t centre = DrawCentre([&] { context->Draw(Matrix::ONE, Vector(1, 1, 1, 1), 0); });
        EXPECT_NEAR(int((centre >> 16) & 0xFF), row.red, 1) << "fog from " << row.start << " to " << row.end;
    }
    RunOnRenderThread(renderer, [&](NorvexRenderer&) { gSceneEnvironment.DeleteSets(); });
    context->PostDestroy();
    renderer.SubmitCommands(true);
    system.ReleaseShader();
}

// A particle 10 ahead over a scene 1.25 behind it keeps half its colour (softness distance 2.5).
TEST_F(ParticleSystemContextDrawTest, SoftParticlesFadeNearTheScenesDepth)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    ParticleSystem system;
    RedQuadSystem(system);
    SetParticleProperty(system, "Softness", "1");
    SetParticleProperty(system, "Blending mode", "2");
    SetParticleProperty(system, "Emitter size", "0 0 0 0");
    system.BuildShader(true);
    Matrix projection;
    ASSERT_TRUE(projection.LoadPerspectiveFovLH(90.0f, 4.0f / 3.0f, 1.0f, 100.0f));
    renderer.SetCamera(Matrix::ONE, projection, Matrix::ONE);
    Matrix ahead = Matrix::ONE;
    ahead.rows[3] = Vector(0.0f, 0.0f, 10.0f, 1.0f);
    auto* context = new ParticleSystemContext(system, ahead, 0);
    context->PostRestart();
    Tick(0.05f);
    Tick(0.05f);
    renderer.SubmitCommands(true);
    for (const auto& [scene, red] : {std::pair{11.25f, 128}, {20.0f, 255}})
    {
        Vector behind(0.0f, 0.0f, scene, 1.0f);
        behind.Transform(projection);
        const uint32_t centre = DrawCentre([&] {
            gpu::GpuDevice* const device = renderer.GetDevice();
            gpu::GpuSurface* depth = nullptr;
            device->GetDepthStencilSurface(&depth);
            device->SetDepthStencilSurface(renderer.GetDeviceManager().GetRenderTargets().sceneDepth.GetSurface());
            device->Clear(0, nullptr, gpu::kClearDepth, 0, behind.z / behind.w, 0);
            device->SetDepthStencilSurface(depth);
            gpu::SafeRelease(depth);
            context->Draw(ahead, Vector(1, 1, 1, 1), 0);
        });
        EXPECT_NEAR(int((centre >> 16) & 0xFF), red, 1) << "scene at " << scene;
    }
    context->PostDestroy();
    renderer.SubmitCommands(true);
    system.ReleaseShader();
}

TEST_F(ParticleSystemContextDrawTest, AFillThatDoesNotFitDiscardsAndWritesAtZero)
{
    uint32_t firstOffset = 99, secondOffset = 99, thirdOffset = 99, fourthOffset = 99, generations[3] = {};
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) {
        const uint32_t big = ParticlePools::kVertexBufferBytes - 100;
        generations[0] = gParticlePools.GetGeneration();
        ASSERT_NE(gParticlePools.LockVertices(big, &firstOffset), nullptr);
        gParticlePools.UnlockVertices(big);
        generations[1] = gParticlePools.GetGeneration();
        ASSERT_NE(gParticlePools.LockVertices(64, &secondOffset), nullptr);
        gParticlePools.UnlockVertices(64);
        ASSERT_NE(gParticlePools.LockVertices(32, &thirdOffset), nullptr);
        gParticlePools.UnlockVertices(32);
        ASSERT_NE(gParticlePools.LockVertices(80, &fourthOffset), nullptr);
        gParticlePools.UnlockVertices(80);
        generations[2] = gParticlePools.GetGeneration();
    });
    // The cursor starts each frame at the end, so the first lock discards too.
    EXPECT_EQ(firstOffset, 0u);
    EXPECT_EQ(generations[1], generations[0] + 1);
    // 64 bytes fit after the 32-byte aligned end of the big block, 32 more end the buffer exactly,
    // and 80 more do not fit.
    EXPECT_EQ(secondOffset, ParticlePools::kVertexBufferBytes - 96);
    EXPECT_EQ(thirdOffset, ParticlePools::kVertexBufferBytes - 32);
    EXPECT_EQ(fourthOffset, 0u);
    EXPECT_EQ(generations[2], generations[1] + 1);

    // A vertex buffer the device refuses leaves no buffer behind; the next try makes both again.
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) {
        const uint32_t indexBuffers = gpu::LiveObjectCount(gpu::ObjectKind::IndexBuffer);
        gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::VertexBuffer);
        EXPECT_FALSE(gParticlePools.CreateBuffers(r.GetDevice()));
        EXPECT_EQ(gParticlePools.GetVertexBuffer(), nullptr);
        EXPECT_EQ(gParticlePools.GetIndexBuffer(), nullptr);
        EXPECT_EQ(gpu::LiveObjectCount(gpu::ObjectKind::IndexBuffer), indexBuffers - 1);
        EXPECT_TRUE(gParticlePools.CreateBuffers(r.GetDevice()));
        EXPECT_FALSE(gParticlePools.GetIndexBuffer()->IsLocked());
    });
    EXPECT_TRUE(m_log.Contains("The particle buffers could not be created", CONSOLE_ERROR));
}

TEST_F(ParticleSystemContextDrawTest, BlendsThatIgnoreAlphaGetItInTheColour)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    // Half-transparent red over black: "Add" shows it at half, "Alpha" blends it to half too,
    // "None" writes the colour as it is, fully desaturated as its luminance 0.2126; an alpha test
    // passing only above 0.6 drops it.
    const struct
    {
        const char* mode;
        uint32_t red;
        const char* desaturation = "0";
        const char* alphaTest = "0";
    } rows[] = {{"2", 0x80}, {"1", 0x80}, {"0", 0xFF}, {"0", 0x36, "1"}, {"0", 0x00, "0", "1"}};
    for (const auto& row : rows)
    {
        ParticleSystem system;
        RedQuadSystem(system);
        for (const char* node : {"Node 0 color", "Node 1 color", "Node 2 color", "Node 3 color"})
            SetParticleProperty(system, node, "255 0 0 128 1");
        SetParticleProperty(system, "Blending mode", row.mode);
        SetParticleProperty(system, "Desaturation factor", row.desaturation);
        SetParticleProperty(system, "Alpha test mode", row.alphaTest);
        SetParticleProperty(system, "Alpha reference value", "0.6");
        SetParticleProperty(system, "Emitter size", "0 0 0 0");
        system.BuildShader(true);
        renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
        auto* context = new ParticleSystemContext(system, Matrix::ONE, 0);
        context->PostRestart();
        Tick(0.05f);
        Tick(0.05f);
        const uint32_t centre = DrawCentre([&] { context->Draw(Matrix::ONE, Vector(1, 1, 1, 1), 0); });
        EXPECT_NEAR(int((centre >> 16) & 0xFF), int(row.red), 1) << "blending mode " << row.mode;
        context->PostDestroy();
        renderer.SubmitCommands(true);
        system.ReleaseShader();
    }
}
} // namespace
