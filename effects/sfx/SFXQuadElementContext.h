// SFXQuadElementContext: the run-time state of a quad element: which atlas frame shows, which comes
// next and how far the blend between them has gone. Initialised on the game thread, updated on the
// render thread.
#pragma once

#include "effects/sfx/SFXElementContext.h"

#include <cstdint>

class SFXQuadElementDefinition;

// A playing quad.
class SFXQuadElementContext : public SFXElementContext
{
public:
    // Base, then the local box from the UV centre and, for random frames, the first next frame.
    void Init(const SFXElementDefinition& definition, const Matrix& parent, uint32_t renderingFlags,
              uint32_t initFlags) override;
    // Base, then the frames: along the frame curve, or a random frame every timeout.
    void Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                const Matrix& parent) override;

    // The frame and blend a frame-curve value gives: the integer part picks the frame (wrapping,
    // negative values too, into 0 to count - 1), the fraction is the blend towards the next one.
    static void SelectCurveFrame(float position, uint32_t count, uint32_t& frame, uint32_t& next, float& blend);
    // A random frame other than `frame`, from a random number (count of at least 2).
    static uint32_t PickOtherFrame(uint32_t random, uint32_t frame, uint32_t count);

    uint32_t GetFrame() const { return m_frame; }
    uint32_t GetNextFrame() const { return m_nextFrame; }
    float GetBlend() const { return m_blend; }
    float GetFrameTimer() const { return m_frameTimer; }

private:
    uint32_t m_frame = 0;
    uint32_t m_nextFrame = 0;
    float m_blend = 0.0f;
    float m_frameTimer = 0.0f; // seconds left on the current random frame
};
