// Deferred mesh materials. The forward variant is the "Normals" pass: it writes the view-space
// normal as a colour. The DEFERRED variant is the "Compose" pass: the instance colour (and diffuse
// texture) times the light the "Lighting" pass accumulated at the pixel, stored at a quarter.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family, with the switches the options set.
#pragma program DeferredMesh
#ifdef SKINNING
#pragma program Skinning
#endif
#ifdef DEFERRED
#pragma program Compose
#ifdef DIFFUSE_TEXTURE
#pragma program Texture
#endif
#endif

sampler2D DiffuseTexture : register(s0);
sampler2D LightTexture : register(s7);
// Per material: (scale u, scale v, offset u, offset v).
float4 TextureTransform : register(c198);

struct VertexOutput
{
    float4 position : POSITION;
    float4 color : COLOR0;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1;
};

VertexOutput vertex(float4 position : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0,
                    float4 weights : BLENDWEIGHT, float4 indices : BLENDINDICES)
{
    VertexOutput o;
#ifdef SKINNING
    position = Skin(position, weights, indices);
#endif
    o.position = mul(position, ModelViewProjMatrix);
    o.normal = mul(float4(normal, 0), ModelViewMatrix).xyz;
    o.color = ConstantColor;
    o.uv = uv * TextureTransform.xy + TextureTransform.zw;
    return o;
}

float4 pixel(VertexOutput i) : COLOR0
{
#ifdef DEFERRED
    float4 color = i.color;
#ifdef DIFFUSE_TEXTURE
    color *= tex2D(DiffuseTexture, i.uv);
#endif
    float4 light = tex2D(LightTexture, i.position.xy * ScreenToView.xy) * 4;
    return float4(color.rgb * light.rgb, color.a);
#else
    return float4(normalize(i.normal) * 0.5 + 0.5, 1);
#endif
}
