// FakeShadowProjection: the ground that the blob shadows fall on. Before its quads, the fake shadow
// pass draws the active scene parameter set's cloud texture over the scene rectangle: the shadows
// its projection throws on the ground, which no lighting pass draws where blob shadows are drawn.
// Render thread.
#pragma once

struct BoundingBox4;
class NorvexRenderer;
struct Vector;

namespace FakeShadowProjection
{
// Draws the 3 x 3 tiles of the rectangle (x and z of `scene`) on the ground (y = 0) whose box,
// 0.1 below to 0.1 above it, meets the frustum; the texture repeats as the set's cloud texture
// matrix maps world positions. Draws with the blend, depth and cull state in force; nothing without
// a cloud texture or a rectangle.
void Draw(NorvexRenderer& renderer, const BoundingBox4& scene, const Vector* frustumPlanes);
} // namespace FakeShadowProjection
