// UIScreenStack: the Game's ordered screens, top last. Input walks it from the top, the draw from
// the first covering screen up, and the frame asks it whether the scene is blocked or the game
// paused. Main thread only. Screens are held by safe pointers: a screen deleted elsewhere leaves
// a null entry that every walk skips.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"
#include "ui/screens/UIScreen.h"

#include <cstdint>

struct FrameClock;

// The screen stack of the Game.
class UIScreenStack
{
public:
    UIScreenStack() = default;
    UIScreenStack(const UIScreenStack&) = delete;
    UIScreenStack& operator=(const UIScreenStack&) = delete;

    void PushScreen(UIScreen* screen);
    // Empties the stack; with release every live screen is released first.
    void Clear(bool release);
    int32_t GetCount() const { return m_screens.Count(); }
    UIScreen* GetAt(int32_t index) const;
    // The top screen (null when empty).
    UIScreen* GetTop() const;

    bool DispatchKey(uint32_t key);
    bool DispatchPointerBegin(uint32_t id, float x, float y);
    bool DispatchPointerEnd(uint32_t id, float x, float y);
    bool DispatchPointerMove(uint32_t id, float x, float y);
    bool IsSceneRenderingBlocked() const;
    bool IsAnyVisibleScreenFlagged() const;
    // Every live screen takes the new size.
    void OnResolutionChanged(uint32_t width, uint32_t height, bool refresh, bool relayout);
    void UpdateMouseOver(const Vector& cursor);
    void UpdateNavigation(const Vector& analog);
    void Draw(uint32_t width, uint32_t height, const FrameClock& clockA, const FrameClock& clockB,
              const Vector& cursor);

private:
    enum PointerKind
    {
        POINTER_BEGIN,
        POINTER_END,
        POINTER_MOVE,
    };
    bool DispatchPointer(PointerKind kind, uint32_t id, float x, float y);

    SafePointerArray<UIScreen> m_screens;
};
