#include "ui/screens/UIScreenStack.h"

#include "engine/Game.h"

#include <cmath>

namespace
{
constexpr float kPi = 3.14159265358979f;
constexpr uint32_t kNavigableFlag = 0x400;
} // namespace

void UIScreenStack::PushScreen(UIScreen* screen)
{
    if (screen != nullptr)
        m_screens.Add(SafePointer<UIScreen>(screen));
}

void UIScreenStack::RemoveScreen(UIScreen* screen)
{
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
        if (m_screens[i].Get() == screen)
            m_screens.RemoveAt(i);
}

void UIScreenStack::RemoveDeadScreens()
{
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
        if (m_screens[i].Get() == nullptr)
            m_screens.RemoveAt(i);
}

void UIScreenStack::Clear(bool release)
{
    // Taken first: a released screen must not find itself still listed.
    SafePointerArray<UIScreen> screens(std::move(m_screens));
    m_screens.Clear();
    if (release)
        for (SafePointer<UIScreen>& screen : screens)
            if (UIScreen* const live = screen.Get())
                live->Release();
}

UIScreen* UIScreenStack::GetAt(int32_t index) const
{
    return index >= 0 && index < m_screens.Count() ? m_screens[index].Get() : nullptr;
}

UIScreen* UIScreenStack::GetTop() const
{
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
        if (UIScreen* const screen = m_screens[i].Get())
            return screen;
    return nullptr;
}

bool UIScreenStack::DispatchKey(uint32_t key)
{
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        UIScreen* const screen = m_screens[i].Get();
        if (screen == nullptr || !screen->IsVisible() || !screen->ProcessesInput())
            continue;
        if (screen->OnKey(key))
            return true;
        if (screen->BlocksSceneRendering())
            return false;
    }
    return false;
}

bool UIScreenStack::DispatchPointer(PointerKind kind, uint32_t pointer, float x, float y)
{
    const Vector point(x, y, 0.0f, 1.0f);
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        UIScreen* const screen = m_screens[i].Get();
        if (screen == nullptr || !screen->IsVisible() || !screen->ProcessesInput())
            continue;
        const bool taken = kind == POINTER_BEGIN ? screen->OnPointerBegin(point, pointer)
                           : kind == POINTER_END ? screen->OnPointerEnd(point, pointer)
                                                 : screen->OnPointerMove(point, pointer);
        if (taken)
            return true;
        if (screen->BlocksSceneRendering())
            return false;
    }
    return false;
}

bool UIScreenStack::DispatchPointerBegin(uint32_t pointer, float x, float y)
{
    return DispatchPointer(POINTER_BEGIN, pointer, x, y);
}

bool UIScreenStack::DispatchPointerEnd(uint32_t pointer, float x, float y)
{
    return DispatchPointer(POINTER_END, pointer, x, y);
}

bool UIScreenStack::DispatchPointerMove(uint32_t pointer, float x, float y)
{
    return DispatchPointer(POINTER_MOVE, pointer, x, y);
}

bool UIScreenStack::IsSceneRenderingBlocked() const
{
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        const UIScreen* const screen = m_screens[i].Get();
        if (screen != nullptr && screen->IsVisible() && screen->BlocksSceneRendering())
            return true;
    }
    return false;
}

bool UIScreenStack::IsAnyVisibleScreenFlagged() const
{
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        const UIScreen* const screen = m_screens[i].Get();
        if (screen != nullptr && screen->IsVisible() && screen->PausesGame())
            return true;
    }
    return false;
}

void UIScreenStack::UpdateMouseOver(const Vector& cursor)
{
    // A hidden cursor points at nothing the player could see: the last mouse-over stays as it was.
    if (!gGame.IsCursorShown())
        return;
    UIElement* found = nullptr;
    for (int32_t i = m_screens.Count() - 1; i >= 0 && found == nullptr; --i)
    {
        UIScreen* const screen = m_screens[i].Get();
        if (screen == nullptr || !screen->IsVisible())
            continue;
        found = screen->GetElementAtScreenPosition(cursor);
        if (screen->BlocksSceneRendering())
            break;
    }
    UIElement* const old = m_mouseOver.Get();
    if (found == old)
        return;
    m_mouseOver = found;
    if (old != nullptr)
        old->ConsumeMouseOverEnd();
    if (found != nullptr)
        found->ConsumeMouseOverBegin();
}

void UIScreenStack::SetHighlightedElement(UIElement* element)
{
    UIElement* const old = m_highlighted.Get();
    if (old == element)
        return;
    if (old != nullptr)
        old->SetHighlight(false, false, 0);
    m_highlighted = element;
    if (element == nullptr)
        return;
    if (element->IsTriState())
        element->SetSelect(true, false, 0);
    else
        element->SetHighlight(true, false, 0);
}

void UIScreenStack::UpdateNavigation(const Vector& stick)
{
    int32_t sector = -1;
    if (stick.x * stick.x + stick.y * stick.y >= kNavigationDeadZoneSquared)
    {
        const float turns = std::atan2(stick.y, stick.x) / (2.0f * kPi);
        sector = int32_t(std::lround(turns * 8.0f)) & 7;
    }
    if (sector == m_lastDirection)
        return;
    m_lastDirection = sector;
    if (sector < 0)
        return;
    Vector start;
    bool hasStart = false;
    if (UIElement* const highlighted = m_highlighted.Get())
    {
        UIElement* const top = highlighted->GetTopParent();
        if (top->IsUIScreen())
            hasStart = static_cast<UIScreen*>(top)->GetCandidateCentre(highlighted->GetId(), start);
    }
    const float angle = float(sector) * kPi / 4.0f;
    // Candidates are kept with y up, the window point with y down.
    const Vector direction(std::cos(angle), std::sin(angle), 0.0f, 0.0f);
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        UIScreen* const screen = m_screens[i].Get();
        if (screen == nullptr || !screen->IsVisible())
            continue;
        UIElement* found = nullptr;
        if (hasStart)
        {
            found = screen->FindNearestCandidateInDirection(start, direction, 0.92f, true, kNavigableFlag,
                                                            kNavigableFlag);
            if (found == nullptr)
                found = screen->FindNearestCandidateInDirection(start, direction, 0.7f, true, kNavigableFlag,
                                                                kNavigableFlag);
        }
        else
        {
            found = screen->GetNearestElement(Vector(0.5f, 0.5f, 0.0f, 1.0f), nullptr, kNavigableFlag, kNavigableFlag);
        }
        if (found != nullptr)
        {
            SetHighlightedElement(found);
            return;
        }
        if (screen->BlocksSceneRendering())
            return;
    }
}

void UIScreenStack::Draw(uint32_t width, uint32_t height, const FrameClock& clockA, const FrameClock& clockB,
                         const Vector& cursor)
{
    int32_t first = 0;
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        const UIScreen* const screen = m_screens[i].Get();
        if (screen != nullptr && screen->IsVisible() && screen->BlocksSceneRendering())
        {
            first = i;
            break;
        }
    }
    for (int32_t i = first; i < m_screens.Count(); ++i)
    {
        UIScreen* const screen = m_screens[i].Get();
        if (screen == nullptr || !screen->IsVisible())
            continue;
        screen->Draw(width, height, clockA, clockB, cursor);
        screen->UpdateAfterDraw(cursor);
    }
}
