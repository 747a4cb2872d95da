// Runs test code on a running renderer's render thread, in stream order, through the call command,
// and returns once it has run (a synchronous submit); or posts it to run while the test goes on.
#pragma once

#include "renderer/NorvexRenderer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

// Posts test code to run on the render thread in stream order once the stream is submitted; `body`
// must outlive that run.
inline void PostToRenderThread(NorvexRenderer& renderer, const std::function<void(NorvexRenderer&)>& body)
{
    const std::function<void(NorvexRenderer&)>* const pointer = &body;
    const RenderCallFunction call = [](NorvexRenderer& r, uint32_t, CommandRingBuffer& reader) {
        const std::function<void(NorvexRenderer&)>* function = nullptr;
        reader.Read(&function, sizeof(function));
        (*function)(r);
    };
    if (renderer.WriteCall(call, 0, sizeof(pointer)))
        renderer.GetWriter().Put(pointer);
}

// A call that never ran (its block was dropped) fails the test: its checks would pass unseen.
inline void RunOnRenderThread(NorvexRenderer& renderer, const std::function<void(NorvexRenderer&)>& body)
{
    bool ran = false;
    const std::function<void(NorvexRenderer&)> marked = [&](NorvexRenderer& r) { body(r); ran = true; };
    PostToRenderThread(renderer, marked);
    renderer.SubmitCommands(true);
    EXPECT_TRUE(ran) << "the render thread never ran the call";
}

// Runs `gameSide` on the test's thread while the render thread runs `renderSide` over and over: the
// render thread has started before `gameSide` runs and runs once more, with `last` true, after it
// returned. Nothing orders the earlier runs with `gameSide`, so a thread-sanitizer build reports a
// datum that both touch. `gameSide` must not wait on the render thread.
inline void OverlapWithRenderThread(NorvexRenderer& renderer, const std::function<void(bool last)>& renderSide,
                                    const std::function<void()>& gameSide)
{
    std::atomic<int> phase{0};
    const std::function<void(NorvexRenderer&)> loop = [&](NorvexRenderer&) {
        phase.store(1, std::memory_order_release);
        for (bool last = false; !last;)
        {
            last = phase.load(std::memory_order_acquire) == 2;
            renderSide(last);
        }
    };
    PostToRenderThread(renderer, loop);
    renderer.SubmitCommands(false);
    while (phase.load(std::memory_order_acquire) != 1)
        std::this_thread::yield();
    gameSide();
    phase.store(2, std::memory_order_release);
    renderer.SubmitCommands(true);
}
