#define SCALE(x, y) ((x) * (y))
#if defined(FOG) && MAX_SHADER_SKINNING_BONES > 32
float4 Bones[MAX_SHADER_SKINNING_BONES * 3] : register(c10);
#else
float4 Bones[1];
#endif
row_major float4x3 World;
sampler2D Diffuse : register(s1);
static const float4 K = Bones[0] * 2;
struct Out { float4 p : POSITION; };
float4 Helper(float4 v) { return SCALE(v, K) + mul(v, World).xyzz; }
Out vertex(float4 p : POSITION, uniform float4 Tint) { Out o; o.p = Helper(p) + Tint + tex2Dlod(Diffuse, p); return o; }
