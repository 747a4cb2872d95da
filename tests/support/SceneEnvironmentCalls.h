// Reads the scene environment's sub-commands back from a render stream capture, argument by
// argument, as the render thread would. Test thread only.
#pragma once

#include "renderer/RenderCommands.h"
#include "renderer/SceneEnvironment.h"
#include "support/RenderStreamCapture.h"

#include <vector>

// One posted sub-command with the arguments it carries (the others stay zero).
struct SceneEnvironmentCall
{
    uint32_t sub = RenderStreamCapture::kNone;
    const SceneEnvironment* environment = nullptr;
    uint64_t start = 0;
    const SceneParametersWrapper* set = nullptr;
    uint32_t flags = 0;
    float duration = 0.0f;
    Vector colors[3];
};

// Lets the capture step over the environment's calls.
inline void AcceptSceneEnvironmentCalls(RenderStreamCapture& capture)
{
    capture.SetCallSizes([](uintptr_t function, uint32_t sub, uint32_t& bytes) {
        return function == reinterpret_cast<uintptr_t>(&SceneEnvironment::Execute) &&
               SceneEnvironment::GetArgumentBytes(sub, bytes);
    });
}

// The environment's calls written since the last Take; other commands are skipped.
inline std::vector<SceneEnvironmentCall> TakeSceneEnvironmentCalls(RenderStreamCapture& capture)
{
    std::vector<SceneEnvironmentCall> calls;
    capture.Take();
    while (capture.SkipTo(RENDER_OP_CALL))
    {
        EXPECT_EQ(capture.Read<uintptr_t>(), reinterpret_cast<uintptr_t>(&SceneEnvironment::Execute));
        SceneEnvironmentCall call;
        call.sub = capture.Read<uint32_t>();
        call.environment = capture.Read<const SceneEnvironment*>();
        switch (call.sub)
        {
        case SceneEnvironment::SUB_BLEND:
            call.start = capture.Read<uint64_t>();
            call.set = capture.Read<const SceneParametersWrapper*>();
            call.flags = capture.Read<uint32_t>();
            call.duration = capture.Read<float>();
            break;
        case SceneEnvironment::SUB_SET_OVERRIDE: call.set = capture.Read<const SceneParametersWrapper*>(); break;
        case SceneEnvironment::SUB_SET_COLORS:
            for (Vector& color : call.colors)
                color = capture.Read<Vector>();
            break;
        case SceneEnvironment::SUB_LOAD_LIGHTMAPS: ADD_FAILURE() << "a capture cannot free the name"; break;
        default: break;
        }
        calls.push_back(call);
    }
    return calls;
}

// Only the blends among them.
inline std::vector<SceneEnvironmentCall> TakeSceneEnvironmentBlends(RenderStreamCapture& capture)
{
    std::vector<SceneEnvironmentCall> blends;
    for (const SceneEnvironmentCall& call : TakeSceneEnvironmentCalls(capture))
        if (call.sub == SceneEnvironment::SUB_BLEND)
            blends.push_back(call);
    return blends;
}
