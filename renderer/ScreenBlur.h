// The renderer's blur of a screen area, which UI blur panels draw from. The blur chain of the
// post-processing is not built yet: the area is copied unblurred into the first post-processing
// target (said once in the log), so a panel shows what lies behind it, placed exactly.
//
// Render thread only.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

class NorvexRenderer;
class TextureHolder;

// The texture holding the area of `size` under `drawMatrix` (through the renderer's current view
// and projection) and where that area lies in it: uvOrigin + corner x uvSize. False, outputs
// untouched, when the renderer has no device, target or post-processing target to copy with.
bool BlurScreenRect(NorvexRenderer& renderer, const Matrix& drawMatrix, const Vector& size, float amount,
                    uint32_t mode, TextureHolder** texture, Vector* uvSize, Vector* uvOrigin);
