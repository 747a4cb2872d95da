#include "ui/UIScreenStack.h"

#include "ui/UIScreen.h"

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
        if (screen == nullptr || !screen->m_visible)
            continue;
        if (screen->m_processesInput && screen->OnKey(key))
            return true;
        if (screen->m_coversBelow)
            return false;
    }
    return false;
}

bool UIScreenStack::DispatchPointer(PointerKind kind, uint32_t id, float x, float y)
{
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        UIScreen* const screen = m_screens[i].Get();
        if (screen == nullptr || !screen->m_visible)
            continue;
        if (screen->m_processesInput)
        {
            const bool taken = kind == POINTER_BEGIN ? screen->OnPointerBegin(id, x, y)
                               : kind == POINTER_END ? screen->OnPointerEnd(id, x, y)
                                                     : screen->OnPointerMove(id, x, y);
            if (taken)
                return true;
        }
        if (screen->m_coversBelow)
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
        if (screen != nullptr && screen->m_visible && screen->m_blocksSceneRendering)
            return true;
    }
    return false;
}

bool UIScreenStack::IsAnyVisibleScreenFlagged() const
{
    for (int32_t i = m_screens.Count() - 1; i >= 0; --i)
    {
        const UIScreen* const screen = m_screens[i].Get();
        if (screen != nullptr && screen->m_visible && screen->m_pausesGame)
            return true;
    }
    return false;
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
        if (screen != nullptr && screen->m_visible && screen->m_coversBelow)
        {
            first = i;
            break;
        }
    }
    for (int32_t i = first; i < m_screens.Count(); ++i)
    {
        UIScreen* const screen = m_screens[i].Get();
        if (screen != nullptr && screen->m_visible)
            screen->Draw(width, height, clockA, clockB, cursor);
    }
}
