#include "ui/screens/UIScreenStack.h"

#include "ui/screens/UIScreen.h"

void UIScreenStack::PushScreen(UIScreen* screen)
{
    if (screen != nullptr)
        m_screens.Add(SafePointer<UIScreen>(screen));
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
        if (screen == nullptr || !screen->IsVisible())
            continue;
        if (screen->ProcessesInput() && screen->OnKey(key))
            return true;
        if (screen->CoversBelow())
            return false;
    }
    return false;
}

bool UIScreenStack::DispatchPointer(PointerKind kind, uint32_t id, float x, float y)
{
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        UIScreen* const screen = m_screens[i].Get();
        if (screen == nullptr || !screen->IsVisible())
            continue;
        if (screen->ProcessesInput())
        {
            const bool taken = kind == POINTER_BEGIN ? screen->OnPointerBegin(id, x, y)
                               : kind == POINTER_END ? screen->OnPointerEnd(id, x, y)
                                                     : screen->OnPointerMove(id, x, y);
            if (taken)
                return true;
        }
        if (screen->CoversBelow())
            return false;
    }
    return false;
}

bool UIScreenStack::DispatchPointerBegin(uint32_t id, float x, float y)
{
    return DispatchPointer(POINTER_BEGIN, id, x, y);
}

bool UIScreenStack::DispatchPointerEnd(uint32_t id, float x, float y)
{
    return DispatchPointer(POINTER_END, id, x, y);
}

bool UIScreenStack::DispatchPointerMove(uint32_t id, float x, float y)
{
    return DispatchPointer(POINTER_MOVE, id, x, y);
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

void UIScreenStack::OnResolutionChanged(uint32_t width, uint32_t height, bool refresh, bool relayout)
{
    for (SafePointer<UIScreen>& screen : m_screens)
        if (UIScreen* const live = screen.Get())
            live->OnResolutionChanged(width, height, refresh, relayout);
}

void UIScreenStack::UpdateMouseOver(const Vector& cursor)
{
    if (UIScreen* const top = GetTop())
        top->OnMouseOver(cursor);
}

void UIScreenStack::UpdateNavigation(const Vector& analog)
{
    if (UIScreen* const top = GetTop())
        top->OnNavigation(analog);
}

void UIScreenStack::Draw(uint32_t width, uint32_t height, const FrameClock& clockA, const FrameClock& clockB,
                         const Vector& cursor)
{
    int32_t first = 0;
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        const UIScreen* const screen = m_screens[i].Get();
        if (screen != nullptr && screen->IsVisible() && screen->CoversBelow())
        {
            first = i;
            break;
        }
    }
    for (int32_t i = first; i < m_screens.Count(); ++i)
    {
        UIScreen* const screen = m_screens[i].Get();
        if (screen != nullptr && screen->IsVisible())
            screen->Draw(width, height, clockA, clockB, cursor);
    }
}
