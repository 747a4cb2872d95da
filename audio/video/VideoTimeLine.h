// One continuous time line for the frame or sound times of a video that may loop: times of a new
// pass of the file continue after the last pass instead of starting again at 0. Plain data:
// the thread that owns the player.
#pragma once

// Places stream times (seconds) on a line that keeps increasing across loops.
class VideoTimeLine
{
public:
    // A time that falls behind the previous one by more than `slack` means the file started over:
    // the offset then grows by the largest time seen.
    float Place(float time, float slack)
    {
        if (time + m_offset < m_previous - slack)
            m_offset += m_largest;
        if (time > m_largest)
            m_largest = time;
        m_previous = time + m_offset;
        return m_previous;
    }
    void Reset() { *this = VideoTimeLine(); }
    float GetOffset() const { return m_offset; }
    float GetLargest() const { return m_largest; }

private:
    float m_largest = 0.0f;
    float m_offset = 0.0f;
    float m_previous = 0.0f;
};
