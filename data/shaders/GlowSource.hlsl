// The glow's source: what lies above the threshold, cut down to a quarter of the viewport. Each
// pixel of the quarter is the mean of what lies above the threshold over its 4 x 4 block of the
// scene, so a bright pixel feeds the glow wherever it lies in its block.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family.
#pragma program GlowSource

sampler2D SourceTexture : register(s0);
// The renderer passes (1, 1, 2/W, 2/H) in c0 and (1/W, 1/H, -1/W, 1/H) in c1; this pass steps by
// the scene texel of c1.xy.
float4 QuadShift : register(c1);
float4 GlowFactor : register(c0);

struct GlowVertexOutput
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;    // the centre of the block's first scene texel
    float2 texel : TEXCOORD1; // one scene texel
};

// Pixel centres lie on whole window coordinates: the quad's corners as they come put pixel x of the
// quarter on the left edge of scene texel 4x, half a texel more on its centre.
GlowVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    GlowVertexOutput o;
    o.position = float4(position.xy, 0, 1);
    o.uv = uv + QuadShift.xy * 0.5;
    o.texel = QuadShift.xy;
    return o;
}

float4 pixel(GlowVertexOutput i) : COLOR0
{
    float3 sum = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            sum += max(tex2D(SourceTexture, i.uv + float2(x, y) * i.texel).rgb - GlowFactor.rgb, 0);
    return float4(sum / 16, 1);
}
