// The UI frame globals: what the screen command of a UI pass (or the in-game UI draw) sets before a
// tree is walked, and what the walk reads while it draws: the UI view and projection, the reference
// size W x H and the screen factors X and Y with their ratios, the pointer, the pixel and alignment
// margins, the four alignment matrices and the screen whose pass runs.
//
// Render thread only (any thread while no render thread runs).
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

class UIScreen;

// Indices of the alignment matrices.
enum UIAlignmentMatrix : uint32_t
{
    UI_ALIGN_LEFT,
    UI_ALIGN_RIGHT,
    UI_ALIGN_TOP,
    UI_ALIGN_BOTTOM,
    kUIAlignmentMatrixCount
};

// The globals of the frame being drawn.
struct UIRenderFrame
{
    Matrix view = Matrix::ONE;
    Matrix projection = Matrix::ONE;
    Matrix viewProjection = Matrix::ONE; // view, then projection
    uint32_t viewportWords0[2] = {};
    uint32_t viewportWords1[2] = {};
    float width = 1.0f;  // W
    float height = 1.0f; // H
    float inverseWidth = 1.0f;
    float inverseHeight = 1.0f;
    float widthPerX = 1.0f;  // W / X
    float heightPerY = 1.0f; // H / Y
    float xPerWidth = 1.0f;  // X / W
    float yPerHeight = 1.0f; // Y / H
    Vector pointerScreen{0.0f, 0.0f, 0.0f, 0.0f};
    Vector pointerUI{0.0f, 0.0f, 0.0f, 0.0f};
    float pixelMarginX = 0.0f; // (X - 1) / X x W / 2
    float pixelMarginY = 0.0f; // (Y - 1) / Y x H / 2
    float alignMarginX = 0.0f; // m = 1 - X
    float alignMarginY = 0.0f; // n = Y - 1
    Matrix alignment[kUIAlignmentMatrixCount] = {Matrix::ONE, Matrix::ONE, Matrix::ONE, Matrix::ONE};
    // The window-alignment offset in force (normalised device units), so that the candidates of
    // an aligned subtree are recorded where it is drawn.
    Vector clipOffset{0.0f, 0.0f, 0.0f, 0.0f};
    UIScreen* currentScreen = nullptr;
};

extern UIRenderFrame gUIFrame;

// Once per render frame, with the frame's clocks (counter ticks): the UI actions' clocks advance and
// one element an action deleted is handed to the main thread when it has taken the last.
void UpdateUIRenderFrame(uint64_t systemClock, uint64_t gameClock, uint64_t gameplayClock);
