#include "self.hlsl"
float4 vertex() : POSITION { return 0; }
