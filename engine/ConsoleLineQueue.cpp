#include "engine/ConsoleLineQueue.h"

void ConsoleLineQueue::ColourForKind(uint32_t kind, float colour[4])
{
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const float yellow[4] = {1.0f, 1.0f, 0.0f, 1.0f};
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    const float* chosen = kind >= 4 ? red : kind == 3 ? yellow : grey;
    for (int i = 0; i < 4; ++i)
        colour[i] = chosen[i];
}

void ConsoleLineQueue::Push(uint32_t kind, const char* text)
{
    Line line;
    line.kind = kind;
    line.text = text != nullptr ? text : "";
    os::ScopedLock lock(m_lock);
    if (m_lines.size() >= kMaxLines)
        m_lines.erase(m_lines.begin());
    m_lines.push_back(std::move(line));
}

void ConsoleLineQueue::TakeAll(std::vector<Line>& lines)
{
    os::ScopedLock lock(m_lock);
    for (Line& line : m_lines)
        lines.push_back(std::move(line));
    m_lines.clear();
}

void ConsoleLineQueue::Clear()
{
    os::ScopedLock lock(m_lock);
    m_lines.clear();
}

size_t ConsoleLineQueue::GetCount()
{
    os::ScopedLock lock(m_lock);
    return m_lines.size();
}
