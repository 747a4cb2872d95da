#include "ui/widgets/UIListGeometry.h"

#include <algorithm>
#include <cmath>

namespace
{
// A whole number of units, clamped into the u32 range (NaN gives 0).
uint32_t WholeUnits(double value)
{
    if (!(value > 0.0))
        return 0;
    return uint32_t(std::min(std::trunc(value), 4294967295.0));
}

double AverageHeight(float contentLength, uint32_t entryCount)
{
    return entryCount == 0 ? 0.0 : double(contentLength) / double(entryCount);
}
} // namespace

uint32_t AverageEntryHeight(float contentLength, uint32_t entryCount)
{
    return std::max(WholeUnits(AverageHeight(contentLength, entryCount)), 1u);
}

uint32_t FirstVisibleEntry(float offset, float contentLength, uint32_t entryCount)
{
    return WholeUnits(std::fabs(double(offset) / double(AverageEntryHeight(contentLength, entryCount))));
}

uint32_t FixedEntrySpan(float fixedHeight, float contentLength, uint32_t entryCount)
{
    return WholeUnits(double(fixedHeight) / std::max(AverageHeight(contentLength, entryCount), 1.0));
}

FixedEntryCase ChooseFixedEntryCase(bool visible, float offset, float contentLength, uint32_t entryCount,
                                    uint32_t fixedIndex, uint32_t fixedSpan)
{
    const int64_t first = FirstVisibleEntry(offset, contentLength, entryCount);
    const int64_t index = fixedIndex, span = fixedSpan;
    if (!visible && index < first)
        return FIXED_HIDE_AT_TOP;
    // Shown only past the rows that count as in view below: where the two ranges met, every scroll
    // step would show and hide it in turn.
    if (!visible && index > first + span)
        return FIXED_SHOW_AT_BOTTOM;
    if (visible && first <= index && index <= first + span)
        return FIXED_HIDE_IN_VIEW;
    return FIXED_KEEP;
}
