// Runs test code on a running renderer's render thread, in stream order, through the call command,
// and returns once it has run (a synchronous submit).
#pragma once

#include "renderer/NorvexRenderer.h"

#include <functional>

inline void RunOnRenderThread(NorvexRenderer& renderer, const std::function<void(NorvexRenderer&)>& body)
{
    const std::function<void(NorvexRenderer&)>* const pointer = &body;
    const RenderCallFunction call = [](NorvexRenderer& r, uint32_t, CommandRingBuffer& reader) {
        const std::function<void(NorvexRenderer&)>* function = nullptr;
        reader.Read(&function, sizeof(function));
        (*function)(r);
    };
    if (renderer.WriteCall(call, 0, sizeof(pointer)))
        renderer.GetWriter().Put(pointer);
    renderer.SubmitCommands(true);
}
