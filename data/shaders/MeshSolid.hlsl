// Lit mesh materials: the scene's sun with its secondary and side colours, the instance colour and an
// optional diffuse texture whose coordinates the material's texture transform scales and offsets.
// SHADOWMAP keeps the sun off what the directional shadow map hides; VERTEX_LIGHTING (mobile) lights
// each vertex instead; SPECULAR (mobile) adds the specular light's highlight; REFRACTION shows the
// bent screen behind the surface.
#include "Common.hlsl"

// The program the graphics stand-in runs for this family, with the switches the options set.
#pragma program MeshLambert
#ifdef DIFFUSE_TEXTURE
#pragma program Texture
#endif
#ifdef TWO_SIDED
#pragma program TwoSided
#endif
#ifdef SKINNING
#pragma program Skinning
#endif
#ifdef DEFERRED
#pragma program Deferred
#endif
#ifdef INSTANCING
#pragma program Instancing
#endif
#ifdef SHADOWMAP
#pragma program Shadow
#endif
#ifdef VERTEX_LIGHTING
#pragma program VertexLighting
#endif
#ifdef SPECULAR
#pragma program Specular
#endif
#ifdef REFRACTION
#pragma program Refraction
#endif

sampler2D DiffuseTexture : register(s0);
// Per material: (scale u, scale v, offset u, offset v).
float4 TextureTransform : register(c198);
// Scene lighting: the direction towards the sun (w: the wrap-around factor), the sun colour, the
// secondary colour that lights the faces turned away and the side colour between the two.
float4 SunDirection : register(c200);
float4 SunColor : register(c201);
float4 SecondaryColor : register(c202);
float4 SideColor : register(c205);
#ifdef SHADOWMAP
// The directional shadow map: world positions to map coordinates and depth; where the map holds a
// nearer depth, the sun gives way to the side colour.
float4x4 ShadowMatrix : register(c222);
sampler2D ShadowMap : register(s5);
#endif
#ifdef VERTEX_LIGHTING
// Mobile platform modes: the sun lights each vertex instead of each pixel.
float4 VertexSunDirection : register(c201); // towards the sun; w: the wrap-around factor
float4 VertexSunColor : register(c202);
float4 VertexSecondaryColor : register(c203);
#endif
#ifdef SPECULAR
// Mobile platform modes: a highlight of the specular light.
float4 CameraPosition : register(c242);    // vertex, world space
float4 SpecularDirection : register(c190); // towards the specular light
// The material's (k, -k, exponent, 0) with k = (exponent + 0.775) / ln 2: exp2(k x - k) follows x^exponent.
float4 SpecularVector : register(c191);
float4 SpecularColor : register(c192);
#endif

struct VertexOutput
{
    float4 position : POSITION;
    float4 color : COLOR0;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1;
#ifdef VERTEX_LIGHTING
    float3 light : TEXCOORD2;
#endif
#ifdef SPECULAR
    float3 toEye : TEXCOORD3;
#endif
#ifdef SHADOWMAP
    float4 shadow : TEXCOORD4;
#endif
};

VertexOutput vertex(float4 position : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0,
                    float4 weights : BLENDWEIGHT, float4 indices : BLENDINDICES
#ifdef INSTANCING
                    , float4 instanceX : TEXCOORD1, float4 instanceY : TEXCOORD2, float4 instanceZ : TEXCOORD3,
                    float4 instanceColor : COLOR1
#endif
                    )
{
    VertexOutput o;
#ifdef SKINNING
    position = Skin(position, weights, indices);
#endif
    o.color = ConstantColor;
#ifdef INSTANCING
    // The instance's transform (its first three columns as rows) places the vertex before the
    // model matrix; its colour tints the instance.
    position = float4(dot(position, instanceX), dot(position, instanceY), dot(position, instanceZ), 1);
    normal = float3(dot(normal, instanceX.xyz), dot(normal, instanceY.xyz), dot(normal, instanceZ.xyz));
    o.color *= instanceColor;
#endif
    o.position = mul(position, ModelViewProjMatrix);
    o.normal = mul(float4(normal, 0), ModelMatrix).xyz;
    o.uv = uv * TextureTransform.xy + TextureTransform.zw;
#ifdef VERTEX_LIGHTING
    float wrap = max(VertexSunDirection.w, 0);
    float d = clamp((dot(normalize(o.normal), VertexSunDirection.xyz) + wrap) / (1 + wrap), -1, 1);
    o.light = (d >= 0 ? VertexSunColor.rgb : VertexSecondaryColor.rgb) * abs(d);
#endif
#ifdef SPECULAR
    o.toEye = CameraPosition.xyz - mul(position, ModelMatrix).xyz;
#endif
#ifdef SHADOWMAP
    o.shadow = mul(mul(position, ModelMatrix), ShadowMatrix);
#endif
    return o;
}

float4 pixel(VertexOutput i, float face : VFACE) : COLOR0
{
    float3 n = normalize(i.normal);
#ifdef TWO_SIDED
    n *= sign(face);
#endif
#ifdef DEFERRED
    return float4(n * 0.5 + 0.5, 1);
#else
    float4 color = i.color;
#ifdef DIFFUSE_TEXTURE
    color *= tex2D(DiffuseTexture, i.uv);
#endif
#ifdef VERTEX_LIGHTING
    float3 light = i.light;
#else
    float wrap = max(SunDirection.w, 0);
    float d = clamp((dot(n, SunDirection.xyz) + wrap) / (1 + wrap), -1, 1);
#ifdef SHADOWMAP
    float2 mapUv = i.shadow.xy / i.shadow.w;
    if (d > 0 && tex2D(ShadowMap, mapUv).r < i.shadow.z / i.shadow.w)
        d = 0;
#endif
    float3 light = lerp(SideColor.rgb, d >= 0 ? SunColor.rgb : SecondaryColor.rgb, abs(d));
#endif
    float3 lit = color.rgb * light;
#ifdef SPECULAR
    float3 h = normalize(normalize(i.toEye) + SpecularDirection.xyz);
    lit += SpecularColor.rgb * exp2(saturate(dot(n, h)) * SpecularVector.x + SpecularVector.y);
#endif
#ifdef REFRACTION
    // The shared noise bends the copy of the screen behind the surface; the lit surface colour
    // covers it by its alpha (the draw itself does not blend).
    float2 bend = (tex2D(GlobalTexture, i.uv).rg * 2 - 1) * 0.02;
    float3 behind = tex2D(FrameTexture, ScreenUvOf(i.position.xy) + bend).rgb;
    return float4(lerp(behind, lit, color.a), 1);
#else
    return float4(lit, color.a);
#endif
#endif
}
