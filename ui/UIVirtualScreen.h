// The in-game UI's virtual screen: an in-game UI entity lays its element out for the size of its
// plane before it draws. Render thread.
#pragma once

// The UI frame globals of an in-game UI draw whose alignment matrices shift by width and height.
void SetUIVirtualScreenSize(float width, float height);
