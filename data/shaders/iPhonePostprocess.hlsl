// The mobile composite: the scene with its glow and outlines. ZOOM_BLUR mixes in a radial blur,
// IPAD2 brightens for that screen, RGB_SHIFT moves red and blue apart by the camera's shift.
#include "PostCommon.hlsl"

// The program the graphics stand-in runs for this family, with the switches the options set.
#pragma program MobileComposite
#ifdef ENABLED
#pragma program Enabled
#endif
#ifdef ZOOM_BLUR
#pragma program ZoomBlur
#endif
#ifdef IPAD2
#pragma program IPad2
#endif
#ifdef RGB_SHIFT
#pragma program RGBShift
#endif

sampler2D SceneTexture : register(s0);
sampler2D GlowAtlas : register(s1);
sampler2D OutlineTexture : register(s2);
float4 TexelShift : register(c0); // vertex: 1/W, 1/H, then half a texel
float4 Effects : register(c0); // shift, zoom strength x -0.005, source ratio, blurred ratio

// Pixel centres lie on whole window coordinates: half a texel more puts each on its texel's centre.
PostVertexOutput vertex(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    return PostQuad(position, uv + TexelShift.zw);
}

float4 pixel(PostVertexOutput i) : COLOR0
{
    float3 color = tex2D(SceneTexture, i.uv).rgb;
#ifdef ENABLED
#ifdef RGB_SHIFT
    color.r = tex2D(SceneTexture, i.uv + float2(Effects.x, 0)).r;
    color.b = tex2D(SceneTexture, i.uv - float2(Effects.x, 0)).b;
#endif
#ifdef ZOOM_BLUR
    float3 blurred = tex2D(SceneTexture, i.uv + (i.uv - 0.5) * Effects.y).rgb;
    color = color * Effects.z + blurred * Effects.w;
#endif
    color += tex2D(GlowAtlas, i.uv * 0.25).rgb;
    float4 outline = tex2D(OutlineTexture, i.uv);
    color = lerp(color, outline.rgb, outline.a);
#ifdef IPAD2
    color *= 1.1;
#endif
#endif
    return float4(color, 1);
}
