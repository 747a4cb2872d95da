// The list's entry arithmetic, shared by its main and render sides: the average entry height, the
// first visible entry, the rows a fixed entry covers and which of its cases applies. Any thread
// (pure functions).
#pragma once

#include <cstdint>

// What the fixed entry does for the current offset.
enum FixedEntryCase : uint32_t
{
    FIXED_KEEP,           // nothing changes
    FIXED_HIDE_AT_TOP,    // the entry it stands for lies above the view
    FIXED_SHOW_AT_BOTTOM, // it lies below the view: pinned at the bottom edge
    FIXED_HIDE_IN_VIEW,   // it is in view itself
};

// The whole-unit average entry height; at least 1, so a list without entries or with entries below
// one unit high never divides by zero.
uint32_t AverageEntryHeight(float contentLength, uint32_t entryCount);
// The index of the first entry in view at `offset`.
uint32_t FirstVisibleEntry(float offset, float contentLength, uint32_t entryCount);
// How many average entry heights a fixed entry of `fixedHeight` covers.
uint32_t FixedEntrySpan(float fixedHeight, float contentLength, uint32_t entryCount);
FixedEntryCase ChooseFixedEntryCase(bool visible, float offset, float contentLength, uint32_t entryCount,
                                    uint32_t fixedIndex, uint32_t fixedSpan);
