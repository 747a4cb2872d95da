// Triangle set-up, clipping and coverage of the software rasteriser.
#include "platform/gpu/Rasteriser.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace gpu
{
namespace
{
constexpr float kGuardBand = 3.0f; // clip-space x and y stay within this many w
constexpr int64_t kSubPixel = 256;
constexpr uint32_t kMaxClipped = 9; // a triangle cut by five planes

struct ScreenVertex
{
    int64_t x, y; // window position in 1/256 pixel
    float z;      // depth after the viewport's range
    float invW;
    float varyings[kVaryingCount]; // each divided by w, so that screen-linear sums stay correct
};

// Signed distance to the clip planes: near, then the four guard-band sides.
float PlaneDistance(const ClipVertex& v, uint32_t plane)
{
    const float* p = v.position;
    switch (plane)
    {
    case 0: return p[2];
    case 1: return kGuardBand * p[3] - p[0];
    case 2: return kGuardBand * p[3] + p[0];
    case 3: return kGuardBand * p[3] - p[1];
    default: return kGuardBand * p[3] + p[1];
    }
}

ClipVertex LerpVertex(const ClipVertex& a, const ClipVertex& b, float t)
{
    ClipVertex r;
    for (uint32_t i = 0; i < 4; ++i)
        r.position[i] = a.position[i] + (b.position[i] - a.position[i]) * t;
    for (uint32_t i = 0; i < kVaryingCount; ++i)
        r.varyings[i] = a.varyings[i] + (b.varyings[i] - a.varyings[i]) * t;
    return r;
}

// Sutherland-Hodgman against every plane; answers the vertex count left (0 when all is cut away).
uint32_t ClipPolygon(ClipVertex* poly, uint32_t count)
{
    ClipVertex scratch[kMaxClipped];
    for (uint32_t plane = 0; plane < 5 && count > 0; ++plane)
    {
        bool allInside = true;
        for (uint32_t i = 0; i < count && allInside; ++i)
            allInside = PlaneDistance(poly[i], plane) >= 0.0f;
        if (allInside)
            continue;
        uint32_t out = 0;
        for (uint32_t i = 0; i < count; ++i)
        {
            const ClipVertex& cur = poly[i];
            const ClipVertex& next = poly[(i + 1) % count];
            const float dc = PlaneDistance(cur, plane), dn = PlaneDistance(next, plane);
            if (dc >= 0.0f)
                scratch[out++] = cur;
            if ((dc >= 0.0f) != (dn >= 0.0f) && out < kMaxClipped)
                scratch[out++] = LerpVertex(cur, next, dc / (dc - dn));
        }
        count = std::min(out, kMaxClipped);
        std::copy(scratch, scratch + count, poly);
    }
    return count;
}

bool ToScreen(const RasterSetup& s, const ClipVertex& v, ScreenVertex* out)
{
    const float w = v.position[3];
    if (!(w > 1e-20f))
        return false;
    const float invW = 1.0f / w;
    const Viewport& vp = s.viewport;
    const float sx = float(vp.x) + (v.position[0] * invW + 1.0f) * float(vp.width) * 0.5f;
    const float sy = float(vp.y) + (1.0f - v.position[1] * invW) * float(vp.height) * 0.5f;
    out->x = std::llround(double(sx) * kSubPixel);
    out->y = std::llround(double(sy) * kSubPixel);
    out->z = vp.minZ + v.position[2] * invW * (vp.maxZ - vp.minZ);
    out->invW = invW;
    for (uint32_t i = 0; i < kVaryingCount; ++i)
        out->varyings[i] = v.varyings[i] * invW;
    return true;
}

// Division rounding towards minus infinity, for a positive divisor.
int64_t FloorDiv(int64_t value, int64_t divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

struct Edge
{
    int64_t dx, dy; // vb - va
    int64_t bias;   // 0 on top and left edges, -1 elsewhere: a centre exactly on the edge is drawn once
    int64_t At(const ScreenVertex& a, int64_t px, int64_t py) const { return dx * (py - a.y) - dy * (px - a.x); }
};

Edge MakeEdge(const ScreenVertex& a, const ScreenVertex& b)
{
    Edge e{b.x - a.x, b.y - a.y, 0};
    // With the winding made clockwise on screen, top edges run rightwards and left edges upwards.
    const bool topLeft = (e.dy == 0 && e.dx > 0) || e.dy < 0;
    e.bias = topLeft ? 0 : -1;
    return e;
}

void FillTriangle(const RasterSetup& s, const ScreenVertex* v0, const ScreenVertex* v1, const ScreenVertex* v2,
                  PixelSink& sink)
{
    int64_t area = (v1->x - v0->x) * (v2->y - v0->y) - (v1->y - v0->y) * (v2->x - v0->x);
    if (area == 0)
        return;
    const bool clockwise = area > 0;
    if ((s.cullMode == kCullClockwise && clockwise) || (s.cullMode == kCullCounterClockwise && !clockwise))
        return;
    if (!clockwise)
    {
        std::swap(v1, v2);
        area = -area;
    }
    const ScreenVertex* v[3] = {v0, v1, v2};
    const Edge e[3] = {MakeEdge(*v1, *v2), MakeEdge(*v2, *v0), MakeEdge(*v0, *v1)};
    const ScreenVertex* origin[3] = {v1, v2, v0};

    const int64_t minX = std::min({v0->x, v1->x, v2->x}), maxX = std::max({v0->x, v1->x, v2->x});
    const int64_t minY = std::min({v0->y, v1->y, v2->y}), maxY = std::max({v0->y, v1->y, v2->y});
    // Whole pixels around the box (floor division); the edge tests decide the border ones.
    const int32_t x0 = int32_t(std::max<int64_t>(s.clip.left, minX >> 8));
    const int32_t x1 = int32_t(std::min<int64_t>(s.clip.right - 1, maxX >> 8));
    const int32_t y0 = int32_t(std::max<int64_t>(s.clip.top, minY >> 8));
    const int32_t y1 = int32_t(std::min<int64_t>(s.clip.bottom - 1, maxY >> 8));
    if (x0 > x1 || y0 > y1)
        return;

    const double invArea = 1.0 / double(area);
    // Depth is linear on screen: its slope per pixel serves the slope-scaled bias.
    const double zdx = (double(v0->z) * -double(e[0].dy) + double(v1->z) * -double(e[1].dy) +
                        double(v2->z) * -double(e[2].dy)) * kSubPixel * invArea;
    const double zdy = (double(v0->z) * double(e[0].dx) + double(v1->z) * double(e[1].dx) +
                        double(v2->z) * double(e[2].dx)) * kSubPixel * invArea;

    TriangleSetup t;
    t.depthBias = s.depthBias + s.slopeScaleDepthBias * float(std::max(std::fabs(zdx), std::fabs(zdy)));
    t.depthInRange = true;
    t.frontFacing = clockwise;
    t.varyingCount = std::min(s.varyingCount, kVaryingCount);
    t.texCoordChange = s.texCoordChange;
    t.invArea = float(invArea);
    for (uint32_t i = 0; i < 3; ++i)
    {
        t.edgeStep[i] = e[i].dy * kSubPixel;
        // Barycentric steps one pixel right and one pixel down.
        t.stepX[i] = -float(e[i].dy * kSubPixel) * t.invArea;
        t.stepY[i] = float(e[i].dx * kSubPixel) * t.invArea;
        t.z[i] = v[i]->z;
        t.invW[i] = v[i]->invW;
        const float biased = t.z[i] + t.depthBias;
        t.depthInRange = t.depthInRange && biased >= 0.0f && biased <= 1.0f;
        std::copy(v[i]->varyings, v[i]->varyings + t.varyingCount, t.varyings[i]);
    }
    for (int32_t y = y0; y <= y1; ++y)
    {
        const int64_t py = int64_t(y) * kSubPixel;
        // The row's covered run, from each edge's value at x0 and its step: a centre is inside an
        // edge while value - (x - x0) * step + bias >= 0.
        int64_t first = x0, last = x1;
        int64_t w[3];
        for (uint32_t i = 0; i < 3; ++i)
        {
            w[i] = e[i].At(*origin[i], int64_t(x0) * kSubPixel, py);
            const int64_t room = w[i] + e[i].bias, step = t.edgeStep[i];
            if (step > 0)
                last = std::min(last, int64_t(x0) + FloorDiv(room, step));
            else if (step < 0)
                first = std::max(first, int64_t(x0) - FloorDiv(room, -step));
            else if (room < 0)
                last = first - 1;
        }
        if (first > last)
            continue;
        Span span;
        span.y = y;
        span.first = int32_t(first);
        span.last = int32_t(last);
        for (uint32_t i = 0; i < 3; ++i)
            span.edge[i] = w[i] - (first - x0) * t.edgeStep[i];
        sink.ShadeSpan(t, span);
    }
}

// Moves a clip-space vertex by a whole-pixel offset on screen, keeping its depth and w.
ClipVertex Offset(const RasterSetup& s, const ClipVertex& v, float dxPixels, float dyPixels)
{
    ClipVertex r = v;
    r.position[0] += dxPixels * 2.0f / float(s.viewport.width) * v.position[3];
    r.position[1] -= dyPixels * 2.0f / float(s.viewport.height) * v.position[3];
    return r;
}
} // namespace

void RasterTriangle(const RasterSetup& setup, const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                    PixelSink& sink)
{
    if (setup.viewport.width == 0 || setup.viewport.height == 0)
        return;
    ClipVertex poly[kMaxClipped] = {a, b, c};
    const uint32_t count = ClipPolygon(poly, 3);
    if (count < 3)
        return;
    ScreenVertex screen[kMaxClipped];
    for (uint32_t i = 0; i < count; ++i)
        if (!ToScreen(setup, poly[i], &screen[i]))
            return;
    for (uint32_t i = 1; i + 1 < count; ++i)
        FillTriangle(setup, &screen[0], &screen[i], &screen[i + 1], sink);
}

void RasterLine(const RasterSetup& setup, const ClipVertex& a, const ClipVertex& b, PixelSink& sink)
{
    ClipVertex p = a, q = b;
    const float da = p.position[2], db = q.position[2];
    if (da < 0.0f && db < 0.0f)
        return;
    if (da < 0.0f)
        p = LerpVertex(p, q, da / (da - db));
    else if (db < 0.0f)
        q = LerpVertex(p, q, da / (da - db));
    if (!(p.position[3] > 0.0f) || !(q.position[3] > 0.0f))
        return;
    const Viewport& vp = setup.viewport;
    const float dx = (q.position[0] / q.position[3] - p.position[0] / p.position[3]) * float(vp.width) * 0.5f;
    const float dy = -(q.position[1] / q.position[3] - p.position[1] / p.position[3]) * float(vp.height) * 0.5f;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length <= 0.0f)
        return;
    // Half a pixel to each side of the line.
    const float nx = -dy / length * 0.5f, ny = dx / length * 0.5f;
    RasterSetup unculled = setup;
    unculled.cullMode = kCullNone;
    const ClipVertex p0 = Offset(setup, p, nx, ny), p1 = Offset(setup, p, -nx, -ny);
    const ClipVertex q0 = Offset(setup, q, nx, ny), q1 = Offset(setup, q, -nx, -ny);
    RasterTriangle(unculled, p0, q0, q1, sink);
    RasterTriangle(unculled, p0, q1, p1, sink);
}

void RasterPoint(const RasterSetup& setup, const ClipVertex& a, float size, PixelSink& sink)
{
    if (!(size > 0.0f))
        return;
    RasterSetup unculled = setup;
    unculled.cullMode = kCullNone;
    const float h = size * 0.5f;
    const ClipVertex tl = Offset(setup, a, -h, -h), tr = Offset(setup, a, h, -h);
    const ClipVertex bl = Offset(setup, a, -h, h), br = Offset(setup, a, h, h);
    RasterTriangle(unculled, tl, tr, br, sink);
    RasterTriangle(unculled, tl, br, bl, sink);
}
} // namespace gpu
