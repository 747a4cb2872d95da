// The taps of InputManager and their emulation by the left, right and middle mouse buttons.
#include "engine/input/InputManager.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{
// Squared distance over x, y and z.
float Distance2(const Vector& a, const Vector& b)
{
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    const float dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

bool IsTapButtonKind(uint32_t kind)
{
    switch (kind)
    {
    case INPUT_MOUSE_EVENT_LEFT_DOWN:
    case INPUT_MOUSE_EVENT_LEFT_UP:
    case INPUT_MOUSE_EVENT_RIGHT_DOWN:
    case INPUT_MOUSE_EVENT_RIGHT_UP:
    case INPUT_MOUSE_EVENT_MIDDLE_DOWN:
    case INPUT_MOUSE_EVENT_MIDDLE_UP: return true;
    default: return false;
    }
}
} // namespace

void InputManager::ApplyMoveThreshold(MouseTapEmulation& record, float x, float y)
{
    const float threshold = gTapMoveThreshold;
    if (record.withinThreshold)
    {
        const float dx = record.start.x - x;
        const float dy = record.start.y - y;
        const float length2 = dx * dx + dy * dy;
        if (length2 > threshold * threshold)
        {
            // The tap starts to move from where it was pressed, without a jump.
            const float length = std::sqrt(length2);
            record.withinThreshold = false;
            record.offset[0] = threshold * dx / length;
            record.offset[1] = threshold * dy / length;
        }
    }
    if (record.withinThreshold)
        record.current = record.start;
    else
        record.current.Set(x + record.offset[0], y + record.offset[1], 0.0f, 1.0f);
}

void InputManager::EmulateTapButton(uint32_t kind, float x, float y)
{
    if (!IsTapButtonKind(kind))
        return;
    const uint32_t button = kind / 3;
    const bool down = kind % 3 == 0;
    const uint32_t code = INPUT_MOUSE_LEFT + button;
    MouseTapEmulation& record = m_tapEmulationRecords[button];
    record.down = down;
    const bool wasMirrored = record.mirrored;
    int downCount = 0;
    for (const MouseTapEmulation& other : m_tapEmulationRecords)
        downCount += other.down ? 1 : 0;
    record.mirrored = down && downCount >= 2;
    if (down)
    {
        // A second button stands for a second finger mirrored through the centre of the screen.
        if (record.mirrored)
        {
            x = 1.0f - x;
            y = 1.0f - y;
        }
        record.start.Set(x, y, 0.0f, 1.0f);
        record.current = record.start;
        record.offset[0] = record.offset[1] = 0.0f;
        record.withinThreshold = true;
        BeginTap(code, x, y);
        return;
    }
    if (wasMirrored)
    {
        x = 1.0f - x;
        y = 1.0f - y;
    }
    ApplyMoveThreshold(record, x, y);
    EndTap(code, record.current.x, record.current.y);
}

void InputManager::OnMouseMove(float x, float y)
{
    x = std::clamp(x, 0.0f, 1.0f);
    y = std::clamp(y, 0.0f, 1.0f);
    QueueMouseEvent(INPUT_MOUSE_EVENT_MOVE, x, y);
    if (!m_tapEmulation)
        return;
    for (uint32_t button = 0; button < kMouseByteCount; ++button)
    {
        MouseTapEmulation& record = m_tapEmulationRecords[button];
        if (!record.down)
            continue;
        if (record.mirrored)
            ApplyMoveThreshold(record, 1.0f - x, 1.0f - y);
        else
            ApplyMoveThreshold(record, x, y);
        if (!record.withinThreshold)
            MoveTap(INPUT_MOUSE_LEFT + button, record.current.x, record.current.y);
    }
}

InputManager::Tap* InputManager::FindTap(uint32_t id)
{
    for (Tap& tap : m_taps)
        if (tap.id == id)
            return &tap;
    return nullptr;
}

const InputManager::Tap* InputManager::FindTap(uint32_t id) const
{
    for (const Tap& tap : m_taps)
        if (tap.id == id)
            return &tap;
    return nullptr;
}

bool InputManager::GetPointerPosition(uint32_t source, Vector& out) const
{
    for (const ActivePointer& pointer : m_activePointers)
        if (pointer.source == source)
        {
            out = pointer.position;
            return true;
        }
    return false;
}

void InputManager::SetActivePointer(uint32_t source, float x, float y)
{
    for (ActivePointer& pointer : m_activePointers)
        if (pointer.source == source)
        {
            pointer.position.Set(x, y, 0.0f, 0.0f);
            return;
        }
    m_activePointers.Add(ActivePointer{source, Vector(x, y, 0.0f, 0.0f)});
}

void InputManager::RemoveActivePointer(uint32_t source)
{
    for (int32_t i = 0; i < m_activePointers.Count(); ++i)
        if (m_activePointers[i].source == source)
        {
            m_activePointers.RemoveAt(i);
            return;
        }
}

void InputManager::BeginTap(uint32_t source, float x, float y)
{
    if (m_taps.Capacity() == 0)
        m_taps.SetCapacity(kInitialQueueCapacity);
    Tap tap;
    tap.start.Set(x, y, 0.0f, 0.0f);
    tap.current = tap.start;
    tap.id = m_nextTapId++;
    tap.source = source;
    tap.state = TAP_NEW;
    tap.largestDistance2 = 0.0f;
    tap.startTicks = Time::Now().GetTicks();
    tap.endTicks = m_frameTicks;
    SetActivePointer(source, x, y);
    m_taps.Add(tap);
    if (m_owner != nullptr && m_owner->DispatchPointerBegin(source, x, y))
    {
        m_taps.RemoveAt(m_taps.Count() - 1);
        return;
    }
    QueueInputEvent(INPUT_EVENT_TAP_BEGAN, tap.id);
}

void InputManager::MoveTap(uint32_t source, float x, float y)
{
    for (ActivePointer& pointer : m_activePointers)
        if (pointer.source == source)
            pointer.position.Set(x, y, 0.0f, 0.0f);
    uint32_t matched = 0;
    for (Tap& tap : m_taps)
    {
        if (tap.source != source || (tap.state != TAP_NEW && tap.state != TAP_ACTIVE))
            continue;
        tap.current.Set(x, y, 0.0f, 0.0f);
        tap.largestDistance2 = std::max(tap.largestDistance2, Distance2(tap.start, tap.current));
        matched = tap.id;
    }
    const bool taken = m_owner != nullptr && m_owner->DispatchPointerMove(source, x, y);
    if (!taken && matched != 0)
        QueueInputEvent(INPUT_EVENT_TAP_MOVED, matched);
}

void InputManager::EndTapRecord(Tap& tap, float x, float y, int64_t now)
{
    tap.state = tap.state == TAP_NEW ? TAP_ENDED_UNRETRIEVED : TAP_ENDED;
    tap.current.Set(x, y, 0.0f, 0.0f);
    tap.largestDistance2 = std::max(tap.largestDistance2, Distance2(tap.start, tap.current));
    tap.endTicks = now;
}

void InputManager::EndTap(uint32_t source, float x, float y)
{
    RemoveActivePointer(source);
    const int64_t now = Time::Now().GetTicks();
    uint32_t matched = 0;
    for (Tap& tap : m_taps)
    {
        if (tap.source != source)
            continue;
        if (tap.state == TAP_NEW || tap.state == TAP_ACTIVE)
        {
            EndTapRecord(tap, x, y, now);
            matched = tap.id;
        }
        tap.source = kNoTapSource;
    }
    const bool taken = m_owner != nullptr && m_owner->DispatchPointerEnd(source, x, y);
    if (!taken && matched != 0)
        QueueInputEvent(INPUT_EVENT_TAP_ENDED, matched);
}

uint32_t InputManager::GetNewTap(uint32_t& source)
{
    return GetNewTapForUIElement(nullptr, 0, source);
}

uint32_t InputManager::GetNewTapForUIElement(const TapHitTestScreen* screen, uint32_t elementId, uint32_t& source)
{
    source = 0;
    int32_t candidate = -1;
    if (screen != nullptr)
    {
        candidate = screen->FindSelectionCandidate(elementId);
        if (candidate < 0)
            return 0;
    }
    for (Tap& tap : m_taps)
    {
        if (tap.state != TAP_NEW && tap.state != TAP_ENDED_UNRETRIEVED)
            continue;
        if (screen != nullptr && !screen->IsPointInSelectionCandidate(candidate, tap.current))
            continue;
        tap.state = tap.state == TAP_NEW ? TAP_ACTIVE : TAP_ENDED;
        source = tap.source;
        return tap.id;
    }
    return 0;
}

bool InputManager::IsTapWithinUIElement(uint32_t id, const TapHitTestScreen* screen, uint32_t elementId) const
{
    if (screen == nullptr)
        return false;
    const int32_t candidate = screen->FindSelectionCandidate(elementId);
    if (candidate < 0)
        return false;
    const Tap* const tap = FindTap(id);
    return screen->IsPointInSelectionCandidate(candidate, tap != nullptr ? tap->current : Vector::ZERO4);
}

uint32_t InputManager::GetNextReleasedTap()
{
    for (Tap& tap : m_taps)
    {
        if (tap.state == TAP_ENDED_UNRETRIEVED || tap.state == TAP_ENDED)
        {
            tap.state = TAP_RELEASE_REPORTED;
            return tap.id;
        }
    }
    return 0;
}

uint32_t InputManager::GetNextTapId(uint32_t id) const
{
    if (id == 0)
        return m_taps.IsEmpty() ? 0 : m_taps[0].id;
    for (int32_t i = 0; i + 1 < m_taps.Count(); ++i)
        if (m_taps[i].id == id)
            return m_taps[i + 1].id;
    return 0;
}

bool InputManager::IsTapStillActive(uint32_t id) const
{
    const Tap* const tap = FindTap(id);
    return tap != nullptr && tap->state == TAP_ACTIVE;
}

void InputManager::CancelTapAsClick(uint32_t id)
{
    if (Tap* const tap = FindTap(id))
        tap->largestDistance2 = FLT_MAX;
}

void InputManager::MarkTapRetrieved(uint32_t id)
{
    Tap* const tap = FindTap(id);
    if (tap == nullptr)
        return;
    if (tap->state == TAP_NEW)
        tap->state = TAP_ACTIVE;
    else if (tap->state == TAP_ENDED_UNRETRIEVED)
        tap->state = TAP_ENDED;
}

Vector InputManager::GetTapPosition(uint32_t id, uint32_t& source, Vector& start, float& distance,
                                    float& duration) const
{
    const Tap* const tap = FindTap(id);
    if (tap == nullptr)
    {
        source = 0;
        start = Vector::ZERO4;
        distance = 0.0f;
        duration = 0.0f;
        return Vector::ZERO4;
    }
    source = tap->source;
    start = tap->start;
    distance = std::sqrt(tap->largestDistance2);
    const bool ended = tap->state == TAP_ENDED_UNRETRIEVED || tap->state == TAP_ENDED;
    const int64_t end = ended ? tap->endTicks : Time::Now().GetTicks();
    duration = float(Time(end - tap->startTicks).ToSeconds());
    return tap->current;
}

void InputManager::EndFrame()
{
    for (int32_t i = 0; i < m_taps.Count();)
    {
        if (m_taps[i].state >= TAP_ENDED_UNRETRIEVED)
        {
            // The last record takes the removed one's place; order is not kept.
            m_taps[i] = m_taps[m_taps.Count() - 1];
            m_taps.RemoveAt(m_taps.Count() - 1);
        }
        else
        {
            ++i;
        }
    }
}

void InputManager::EndAllTaps()
{
    const int64_t now = Time::Now().GetTicks();
    for (Tap& tap : m_taps)
    {
        if (tap.state == TAP_NEW || tap.state == TAP_ACTIVE)
        {
            EndTapRecord(tap, 0.0f, 0.0f, now);
            if (m_owner != nullptr)
                m_owner->DispatchPointerEnd(tap.source, 0.0f, 0.0f);
            QueueInputEvent(INPUT_EVENT_TAP_ENDED, tap.id);
        }
        tap.source = kNoTapSource;
    }
    m_activePointers.Clear();
    VibrateXController(0.0f, 0.0f, INPUT_ANY_PAD);
}

void InputManager::UpdateTouchState()
{
    m_touchesAcrossReset.Clear();
    m_touchesAcrossResetDue = false;
    for (const ActivePointer& pointer : m_activePointers)
        if (pointer.source < INPUT_MOUSE_LEFT)
            m_touchesAcrossReset.Add(pointer.source);
}

void InputManager::FlushTouchState()
{
    m_touchesAcrossResetDue = !m_touchesAcrossReset.IsEmpty();
}

void InputManager::EndTouchesHeldAcrossReset()
{
    if (!m_touchesAcrossResetDue)
        return;
    m_touchesAcrossResetDue = false;
    for (const uint32_t source : m_touchesAcrossReset)
    {
        Vector position;
        if (GetPointerPosition(source, position))
            EndTap(source, position.x, position.y);
    }
    m_touchesAcrossReset.Clear();
}
