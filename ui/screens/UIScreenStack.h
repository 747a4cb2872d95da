// UIScreenStack: the Game's ordered screens, top last. Input walks it from the top, the draw from
// the first visible screen that blocks scene rendering up, and the frame asks it whether the scene
// is blocked or the game paused. It also keeps the mouse-over and pad-highlighted elements. Main
// thread only. Screens are held by safe pointers: a screen deleted elsewhere leaves a null entry
// that every walk skips until RemoveDeadScreens.
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
    // The squared stick length below which the pad points nowhere (0.45 of full range).
    static constexpr float kNavigationDeadZoneSquared = 0.2025f;

    UIScreenStack() = default;
    UIScreenStack(const UIScreenStack&) = delete;
    UIScreenStack& operator=(const UIScreenStack&) = delete;

    void PushScreen(UIScreen* screen);
    // Removes every entry of the screen, keeping the order of the others.
    void RemoveScreen(UIScreen* screen);
    void RemoveDeadScreens();
    // Empties the stack; with release every live screen is released first.
    void Clear(bool release);
    int32_t GetCount() const { return m_screens.Count(); }
    UIScreen* GetAt(int32_t index) const;
    // The top screen (null when empty).
    UIScreen* GetTop() const;

    // Offered from the top to each visible screen that processes input; a visible input screen that
    // blocks scene rendering ends the walk. True when a screen took it.
    bool DispatchKey(uint32_t key);
    bool DispatchPointerBegin(uint32_t pointer, float x, float y);
    bool DispatchPointerEnd(uint32_t pointer, float x, float y);
    bool DispatchPointerMove(uint32_t pointer, float x, float y);
    bool IsSceneRenderingBlocked() const;
    bool IsAnyVisibleScreenFlagged() const;
    // While the player sees a cursor (the Game's hardware or software one), the element under it
    // gets mouse-over begin and the one before it mouse-over end.
    void UpdateMouseOver(const Vector& cursor);
    // Pad navigation: a new stick sector moves the highlight to the nearest element that way.
    void UpdateNavigation(const Vector& stick);
    void SetHighlightedElement(UIElement* element);
    UIElement* GetMouseOverElement() const { return m_mouseOver.Get(); }
    UIElement* GetHighlightedElement() const { return m_highlighted.Get(); }
    // Draws the visible screens from the first one that blocks scene rendering (the bottom one
    // when none does) up to the top, each followed by its candidate hand-over.
    void Draw(uint32_t width, uint32_t height, const FrameClock& clockA, const FrameClock& clockB,
              const Vector& cursor);

private:
    enum PointerKind
    {
        POINTER_BEGIN,
        POINTER_END,
        POINTER_MOVE,
    };
    bool DispatchPointer(PointerKind kind, uint32_t pointer, float x, float y);

    SafePointerArray<UIScreen> m_screens;
    SafePointer<UIElement> m_mouseOver;
    SafePointer<UIElement> m_highlighted;
    int32_t m_lastDirection = -1;
};
