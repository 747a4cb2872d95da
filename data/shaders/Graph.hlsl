// Graph entities: flat ribbons along the paths between their flag nodes. The vertices are the
// renderer's piece batches: x is the place along the piece (0..1), y the side (-0.5 or 0.5) and z
// the piece within the batch, whose points come as vertex constants. Straight strips run from A to
// B; CATMULL_ROM pieces follow the uniform Catmull-Rom segment from p1 to p2; ARROW pieces are
// untextured heads one width long and wide, from a point along a unit direction. Ribbons lie flat:
// their side is the horizontal perpendicular of the path. The texture runs along the path by path
// distance x 1 / mapping size and once across the width.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program Graph
#ifdef CATMULL_ROM
#pragma program CatmullRom
#endif
#ifdef TEXTURE
#pragma program Texture
#endif
#ifdef ARROW
#pragma program Arrow
#endif

// Width, 1 / mapping size, 0, 0.
float4 GraphSettings : register(c16);
// Strips: A (x, y, z, u), B (x, y, z, u). Curves: p0..p3 (x, y, z, and the coordinates t0,
// 0.75 t0 + 0.25 t1, 0.25 t0 + 0.75 t1, t1). Arrows: the point, the direction.
float4 Pieces[64] : register(c17);
sampler2D GraphTexture : register(s0);

struct VertexOutput
{
    float4 position : POSITION;
    float4 color : COLOR0;
    float4 uv : TEXCOORD0;
};

// The horizontal unit perpendicular of a direction (zero for a vertical one).
float3 Across(float3 direction)
{
    float2 flat = float2(-direction.z, direction.x);
    float length2 = dot(flat, flat);
    return length2 > 0 ? float3(flat.x, 0, flat.y) * rsqrt(length2) : float3(0, 0, 0);
}

VertexOutput vertex(float4 piece : POSITION)
{
    int index = (int)(piece.z + 0.5);
    float along = piece.x;
    float3 centre;
    float3 direction;
    float u;
#if defined(ARROW)
    float4 at = Pieces[index * 2];
    direction = Pieces[index * 2 + 1].xyz;
    centre = at.xyz + direction * (along * GraphSettings.x);
    u = 0;
#elif defined(CATMULL_ROM)
    float4 p0 = Pieces[index * 4];
    float4 p1 = Pieces[index * 4 + 1];
    float4 p2 = Pieces[index * 4 + 2];
    float4 p3 = Pieces[index * 4 + 3];
    float s = along, s2 = along * along, s3 = s2 * along;
    centre = 0.5 * (2 * p1.xyz + (p2.xyz - p0.xyz) * s + (2 * p0.xyz - 5 * p1.xyz + 4 * p2.xyz - p3.xyz) * s2 +
                    (3 * p1.xyz - p0.xyz - 3 * p2.xyz + p3.xyz) * s3);
    direction = 0.5 * ((p2.xyz - p0.xyz) + (2 * p0.xyz - 5 * p1.xyz + 4 * p2.xyz - p3.xyz) * (2 * s) +
                       (3 * p1.xyz - p0.xyz - 3 * p2.xyz + p3.xyz) * (3 * s2));
    // The fourth floats are a cubic Bezier of the path distance from t0 to t1.
    float r = 1 - s;
    u = p0.w * r * r * r + 3 * p1.w * s * r * r + 3 * p2.w * s2 * r + p3.w * s3;
#else
    float4 a = Pieces[index * 2];
    float4 b = Pieces[index * 2 + 1];
    centre = lerp(a.xyz, b.xyz, along);
    direction = b.xyz - a.xyz;
    u = lerp(a.w, b.w, along);
#endif
    float3 world = centre + Across(direction) * (piece.y * GraphSettings.x);
    VertexOutput o;
    o.position = mul(float4(world, 1), ModelViewProjMatrix);
    o.color = ConstantColor;
    o.uv = float4(u * GraphSettings.y, piece.y + 0.5, 0, 0);
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
#ifdef TEXTURE
    return tex2D(GraphTexture, i.uv.xy) * i.color;
#else
    return i.color;
#endif
}
