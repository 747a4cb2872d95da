// A window class whose procedure records every message it gets, for the window stand-in's tests.
#pragma once

#include "platform/window/Cursor.h"
#include "platform/window/Window.h"
#include "platform/window/WindowMessages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <functional>
#include <vector>

struct RecordedMessage
{
    win::WindowHandle window;
    uint32_t id;
    uintptr_t wParam;
    intptr_t lParam;
    uint32_t extraInfo;
    win::Point position;
};

inline std::vector<RecordedMessage>& Recorded()
{
    static std::vector<RecordedMessage> messages;
    return messages;
}

// Runs before the default handling; answering true stops there with `result`.
inline std::function<bool(const RecordedMessage&, intptr_t& result)>& MessageHook()
{
    static std::function<bool(const RecordedMessage&, intptr_t&)> hook;
    return hook;
}

inline intptr_t RecordingProc(win::WindowHandle window, uint32_t id, uintptr_t wParam, intptr_t lParam)
{
    Recorded().push_back({window, id, wParam, lParam, win::GetMessageExtraInfo(), win::GetMessagePos()});
    intptr_t result = 0;
    if (MessageHook() && MessageHook()(Recorded().back(), result))
        return result;
    return win::DefWindowProc(window, id, wParam, lParam);
}

inline std::vector<uint32_t> RecordedIds()
{
    std::vector<uint32_t> ids;
    for (const RecordedMessage& message : Recorded())
        ids.push_back(message.id);
    return ids;
}

inline void PumpMessages()
{
    win::Message message;
    while (win::PeekMessage(message, true))
    {
        win::TranslateMessage(message);
        win::DispatchMessage(message);
    }
}

class WindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Test processes run side by side: each keeps its single-instance locks to itself.
        std::string folder = (std::filesystem::temp_directory_path() / "norvex-window-XXXXXX").string();
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        m_runtimeFolder = folder;
        setenv("NORVEX_RUNTIME_DIR", m_runtimeFolder.c_str(), 1);
        win::ResetWindowSystem();
        Recorded().clear();
        MessageHook() = nullptr;
        ASSERT_TRUE(win::RegisterWindowClass("TestClass", win::kClassStyleHRedraw | win::kClassStyleVRedraw,
                                             &RecordingProc, win::LoadArrowCursor()));
    }
    void TearDown() override
    {
        MessageHook() = nullptr;
        win::ResetWindowSystem();
        unsetenv("NORVEX_RUNTIME_DIR");
        std::error_code error;
        std::filesystem::remove_all(m_runtimeFolder, error);
    }

    win::WindowHandle MakeWindow(uint32_t style = win::kStylePopup)
    {
        return win::CreateWindow("TestClass", "title", style, 100, 100, 800, 480);
    }

    std::string m_runtimeFolder;
};
