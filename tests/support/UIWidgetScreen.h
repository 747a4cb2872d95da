// A 320 x 240 screen built in code and drawn without a render thread (its commands run at once), for
// widget tests that drive elements through the screen's pointer input. The frame clock that render
// steps read is set by hand. Test thread.
#pragma once

#include "renderer/FrameClock.h"
#include "ui/screens/UIScreen.h"
#include "ui/widgets/UIAction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class UIWidgetScreen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UIScreen::SetUISizeOverride(320.0f, 240.0f);
        SetClock(0.0);
        m_screen = new UIScreen;
        m_screen->SetVisible(true);
    }
    void TearDown() override
    {
        m_screen->Release();
        UIScreen::SetUISizeOverride(0.0f, 0.0f);
        SetClock(0.0);
    }

    // Places an element of the given rectangle under `parent` (the screen when null).
    template <typename T>
    T* Place(T* element, const char* name, float x, float y, float w, float h, UIElement* parent = nullptr,
             bool focusable = true)
    {
        element->SetName(name);
        element->SetPositionXYZ(x, y, 0.0f);
        element->SetSizeXY(w, h);
        if (focusable)
            element->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
        (parent != nullptr ? parent : m_screen)->AddChild(element);
        return element;
    }

    // The frame clock render steps read, in seconds.
    static void SetClock(double seconds)
    {
        const Time t(int64_t(seconds * double(Time::GetFrequency())));
        SetUIActionClocks({t, t, t});
    }

    void Draw()
    {
        const FrameClock clock;
        m_screen->Draw(320, 240, clock, clock, Vector(0.0f, 0.0f, 0.0f, 0.0f));
        m_screen->UpdateAfterDraw(Vector(0.0f, 0.0f, 0.0f, 0.0f));
    }

    // Advances the clock to `seconds` and draws one frame there.
    void DrawAt(double seconds)
    {
        SetClock(seconds);
        Draw();
    }

    static Vector At(float x, float y) { return Vector(x / 320.0f, y / 240.0f, 0.0f, 1.0f); }

    void Tap(float x, float y)
    {
        m_screen->OnPointerBegin(At(x, y), 1);
        m_screen->OnPointerEnd(At(x, y), 1);
    }

    UIScreen* m_screen = nullptr;
};

// Records the events of the elements it listens to as "name:type".
class UIEventLog : public SafePointerRoot
{
public:
    void Listen(UIElement& element, std::initializer_list<uint32_t> types)
    {
        for (uint32_t type : types)
            element.AddEventListener(this, &UIEventLog::Record, type, 0, UIEVENTFLAG_ONALL | UIEVENTFLAG_NOCONSUME);
    }
    std::vector<std::string> events;

private:
    static void Record(SafePointerRoot* target, UIEventRecord* record)
    {
        static_cast<UIEventLog*>(target)->events.push_back(std::string(record->source->GetName()) + ":" +
                                                           std::to_string(record->type));
    }
};
