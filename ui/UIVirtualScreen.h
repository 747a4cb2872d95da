// The UI renderer's virtual screen: the size its drawing matrices are laid out for. Render thread.
// The matrices themselves come with the UI renderer, which is not built: setting the size keeps it
// and says once in the log that the layout for it is not built yet.
#pragma once

// Lays the UI drawing matrices out for a virtual screen of width x height (UI units).
void SetUIVirtualScreenSize(float width, float height);
// The size last set (0 x 0 before any).
void GetUIVirtualScreenSize(float& width, float& height);
