// Every emitter option in one shared pool, run five frames with a fixed seed, against the stored run:
// per frame each emitter's count, parked count and smoothed bounds, then each particle's record, its
// quad's corners with their colour and UV words, and its mesh instance. The single-option tests pin
// what each option means; this pins everything else the update, spawners and kernels compute.
#include "effects/particles/ParticleVertexKernels.h"
#include "support/GoldenText.h"
#include "support/ParticleTestSupport.h"

#include <cstdio>
#include <memory>
#include <tuple>

namespace
{
using ParticleRunGoldenTest = ParticlePoolsFixture;
using Properties = std::vector<std::pair<const char*, const char*>>;
enum Kind { kStill, kMoving, kParking, kMultiplied };

TEST_F(ParticleRunGoldenTest, EveryEmitterOptionRunsAsStored)
{
    const Properties base = {
        {"Spawn rate", "12"}, {"Life time", "0.6"}, {"Emitter size", "0.5 0.25 1 0"}, {"Initial velocity", "1 2 0.5 0"},
        {"Initial velocity var", "0.5 0.25 1 0"}, {"Node 0 size", "0.25"}, {"Node 1 size", "0.5"},
        {"Node 2 size", "1.5"}, {"Node 3 size", "0.75"}, {"Node 0 color", "255 0 0 64 1"},
        {"Node 1 color", "0 255 0 255 1"}, {"Node 2 color", "0 0 255 128 1"}};
    const std::tuple<const char*, Kind, Properties> cases[] = {
        {"plain", kStill, {}},
        {"life variation, gravity and damping", kStill,
         {{"Life time variable", "0.3"}, {"Global gravity", "0 -9 0 0"}, {"Local gravity", "1 0 0 0"},
          {"Velocity damping", "0.5"}}},
        {"moving world space", kMoving, {{"Local gravity", "0 0 2 0"}}},
        {"moving local space", kMoving, {{"Local space", "1"}, {"Global gravity", "0 -4 0 0"}}},
        {"moving, circle velocity", kMoving,
         {{"Circle velocity enabled", "1"}, {"Circle velocity yaw range", "45"}, {"Circle velocity pitch range", "30"},
          {"Circle velocity const", "3"}}},
        {"circle velocity, local space", kStill, {{"Circle velocity enabled", "1"}, {"Local space", "1"}}},
        {"terrain bounce", kStill,
         {{"Global gravity", "0 -30 0 0"}, {"Fake terrain collision", "1"}, {"Bounce strength", "0.5"}}},
        {"face local x, anchor and shape", kStill,
         {{"Face camera mode", "0"}, {"Anchor", "0.25 0.75 0 0"}, {"Shape", "2 1 0.5 0.25"}}},
        {"face local y, random rotation", kStill, {{"Face camera mode", "1"}, {"Random rotation at start", "1"}}},
        {"face local z, rotation speeds", kStill,
         {{"Face camera mode", "2"}, {"Rotation speed", "90"}, {"Rotation speed var", "45"},
          {"Secondary rotation speed", "60"}, {"Secondary rotation speed var", "20"}}},
        {"moving, velocity align, cycled frames", kMoving,
         {{"Face camera mode", "4"}, {"Texture frames X", "4"}, {"Texture frames Y", "2"}, {"Animation mode", "1"}}},
        {"velocity normal, random frames, reversed", kStill,
         {{"Face camera mode", "5"}, {"Texture frames X", "3"}, {"Texture frames Y", "3"}, {"Animation mode", "0"},
          {"Sort mode", "1"}, {"Random rotation at start", "1"}}},
        {"blended frames and node times", kStill,
         {{"Texture frames X", "2"}, {"Node 1 time", "0.3"}, {"Node 2 time", "0.5"}, {"Desaturation factor", "0.5"},
          {"Softness", "1"}, {"Blending mode", "1"}, {"Fog", "0"}}},
        {"speed 1.5, life 0.5 and rate 2 times", kMultiplied, {{"No spawn rate reduction", "1"}}},
        {"parks while not drawn", kParking, {}},
        {"never emits", kStill, {{"Spawn rate", "0"}}},
    };
    // Turned, stretched and carried along frame by frame.
    const auto placed = [](uint32_t frame) {
        Matrix world;
        world.LoadYRotation(30.0f + 20.0f * float(frame));
        world.rows[1].Mul(frame == 0 ? 2.0f : 1.0f);
        world.rows[3].Set(float(frame), 2.0f, 3.0f - 0.5f * float(frame), 1.0f);
        return world;
    };
    const auto hex = [](uint32_t value) {
        char text[12];
        return std::string(text, size_t(std::snprintf(text, sizeof(text), " %08x", value)));
    };
    Init(110, 40, true);
    std::vector<std::unique_ptr<ParticleSystem>> systems;
    std::vector<ParticleSystemContext*> contexts;
    std::vector<std::string> texts;
    for (const auto& [name, kind, properties] : cases)
    {
        systems.push_back(std::make_unique<ParticleSystem>());
        for (const Properties& list : {base, properties})
            for (const auto& [property, value] : list)
                SetParticleProperty(*systems.back(), property, value);
        const uint32_t flags = kind == kParking ? ParticleSystemContext::kFlagMayPark : 0;
        ParticleSystemContext* const context = contexts.emplace_back(Play(*systems.back(), flags, true, placed(0)));
        context->SetSpeedMultiplier(kind == kMultiplied ? 1.5f : 1.0f);
        context->SetLifeMultiplier(kind == kMultiplied ? 0.5f : 1.0f);
        context->SetSpawnRateMultiplier(kind == kMultiplied ? 2.0f : 1.0f);
        texts.push_back(std::string(name) + ": kernel " + std::to_string(context->GetKernelIndex()) + ", options \"" +
                        systems.back()->BuildShaderOptions(2) + "\"\n");
    }
    const float seconds[] = {0.1f, 0.25f, 0.05f, 0.3f, 0.15f};
    for (uint32_t frame = 0; frame < std::size(seconds); ++frame)
    {
        for (size_t i = 0; i < contexts.size(); ++i)
        {
            if (std::get<Kind>(cases[i]) == kMoving)
                contexts[i]->SetMatrix(placed(frame + 1));
            if (std::get<Kind>(cases[i]) != kParking || frame == 4)
                contexts[i]->Draw(Matrix::ONE, Vector(1.0f, 1.0f, 1.0f, 1.0f), 0);
        }
        Frame(seconds[frame], frame == 2 ? 1u : 3u);
        for (size_t i = 0; i < contexts.size(); ++i)
        {
            const BoundingBox4& box = contexts[i]->GetSmoothedBounds();
            texts[i] += "  frame " + std::to_string(frame) + ": " + std::to_string(contexts[i]->GetCount()) +
                        " parked " + std::to_string(contexts[i]->GetParkCount()) + " |" +
                        QuantisedText(&box.min.x, 3) + QuantisedText(&box.max.x, 3) + "\n";
        }
    }
    const ParticleKernelAxes axes = {Vector(0.8f, 0.0f, 0.6f, 0.0f), Vector(0.0f, 1.0f, 0.0f, 0.0f),
                                     Vector(3.0f, 4.0f, -10.0f, 1.0f)};
    std::string text;
    for (size_t i = 0; i < contexts.size(); ++i)
    {
        const std::vector<ParticleRecord> records = Records(*contexts[i]);
        std::vector<ParticleVertex> vertices(records.size() * 4);
        std::vector<float> instances(records.size() * kParticleInstanceBytes / 4);
        ASSERT_EQ(contexts[i]->FillVertices(vertices.data(), axes), records.size());
        ASSERT_EQ(contexts[i]->FillInstances(reinterpret_cast<uint8_t*>(instances.data())), records.size());
        for (size_t p = 0; p < records.size(); ++p)
        {
            const ParticleRecord& r = records[p];
            texts[i] += "  particle" + QuantisedText(&r.death, 3) + hex(r.word) + QuantisedText(r.position, 6);
            texts[i] += "\n   quad";
            for (const ParticleVertex& v : std::vector(vertices.begin() + p * 4, vertices.begin() + p * 4 + 4))
                texts[i] += QuantisedText(v.position, 3) + hex(v.color) + hex(v.uv) + " |";
            uint32_t color;
            std::memcpy(&color, &instances[p * 16 + 12], 4);
            texts[i] += "\n   instance" + QuantisedText(&instances[p * 16], 12) + hex(color) + "\n";
        }
        text += texts[i];
    }
    ExpectTextMatchesStoredCopy(text, "tests/effects/particles/golden/ParticleRun.txt");
}
} // namespace
