#include "GpuTestSupport.h"

#include <map>

using namespace gpu;

namespace
{
class ShaderCompilerDeviceTest : public GpuDeviceFixture
{
};

// Include files from memory; remembers the order in which they were opened.
class MemoryIncludes : public ShaderIncludeHandler
{
public:
    std::map<std::string, std::string> files;
    std::vector<std::string> opened;
    int open = 0;

    Result Open(IncludeType, const char* fileName, const void*, const void** data, uint32_t* bytes) override
    {
        const auto it = files.find(fileName);
        if (it == files.end())
            return kErrNotAvailable;
        opened.push_back(fileName);
        ++open;
        *data = it->second.data();
        *bytes = uint32_t(it->second.size());
        return kOk;
    }
    void Close(const void*) override { --open; }
};

struct Compiled
{
    Result result = kErrCompile;
    std::string messages;
    std::vector<ShaderConstant> constants;
};

Compiled Compile(const std::string& source, const char* entry = "vertex", const char* profile = "vs_3_0",
                 const ShaderMacro* macros = nullptr, ShaderIncludeHandler* includes = nullptr)
{
    Compiled out;
    // Outputs start pointing elsewhere: the compiler must clear each one it does not fill.
    GpuBlob* code = reinterpret_cast<GpuBlob*>(&out);
    GpuBlob* messages = reinterpret_cast<GpuBlob*>(&out);
    ShaderConstantTable* table = reinterpret_cast<ShaderConstantTable*>(&out);
    out.result = CompileShader(source.data(), source.size(), "Test.hlsl", macros, includes, entry, profile, 0, &code,
                               &messages, &table);
    if (messages)
    {
        out.messages = static_cast<const char*>(messages->GetBufferPointer());
        messages->Release();
    }
    if (table)
    {
        out.constants = table->Constants();
        // The code carries the same table.
        ShaderConstantTable* fromCode = nullptr;
        EXPECT_EQ(GetShaderConstantTable(code->GetBufferPointer(), code->GetBufferSize(), &fromCode), kOk);
        EXPECT_EQ(fromCode->GetConstantCount(), table->GetConstantCount());
        for (const ShaderConstant& constant : table->Constants())
            EXPECT_EQ(table->FindConstant(constant.name.c_str()), &constant);
        fromCode->Release();
        table->Release();
    }
    if (code)
        code->Release();
    return out;
}

const ShaderConstant* Find(const Compiled& c, const std::string& name)
{
    for (const ShaderConstant& constant : c.constants)
        if (constant.name == name)
            return &constant;
    return nullptr;
}
} // namespace

TEST(ShaderCompilerTest, TableHoldsOnlyTheConstantsTheEntryPointReaches)
{
    const Compiled c = Compile(R"(
matrix<float, 4, 3> ModelViewProjMatrix;
row_major float4x3 Bones[4] : register(c20);
vector<float, 4> ConstantColor;
texture DiffuseMap < string file = "a.dds"; >;
typedef struct { float4 c; } Light;
float4 Unused;
half4 LightProbe[3];
bool UseFog;
int Count;
sampler2D Diffuse : register(s2);
samplerCUBE Cube;
sampler2D NeverRead;
static const float4 Scale[2] = {float4(1, 1, 1, 1), ConstantColor * 2};
struct Output { float4 position : POSITION; };
float4 Helper(float4 p);
float4 Helper(float4 p) { return mul(p, ModelViewProjMatrix) * Scale[1]; }
float4 Other() { return Unused; }
[maxtempreg(32)]
Output vertex(float4 p : POSITION, uniform double4 Tint)
{
    Output o;
    o.position = Helper(p) + LightProbe[1] + tex2Dlod(Diffuse, p) + texCUBElod(Cube, p) + (UseFog ? Count : 0) + Tint;
    o.position.x += Bones[0][0].x;
    return o;
}
)");
    ASSERT_EQ(c.result, kOk) << c.messages;
    ASSERT_EQ(c.constants.size(), 9u);
    EXPECT_EQ(Find(c, "Unused"), nullptr) << "only reached from an unused function";
    EXPECT_EQ(Find(c, "NeverRead"), nullptr);
    const ShaderConstant* mvp = &c.constants[2]; // by register set (bool, int, float, sampler), then register
    ASSERT_EQ(mvp->name, "ModelViewProjMatrix");
    EXPECT_EQ(mvp->constantClass, ConstantClass::MatrixColumns);
    EXPECT_EQ(mvp->rows, 4u);
    EXPECT_EQ(mvp->registerCount, 3u) << "a column-major 4x3 matrix takes a register per column";
    const ShaderConstant* bones = Find(c, "Bones");
    ASSERT_NE(bones, nullptr);
    EXPECT_EQ(bones->registerIndex, 20u);
    EXPECT_EQ(bones->registerCount, 16u) << "4 row-major matrices of 4 rows";
    EXPECT_EQ(bones->elements, 4u);
    const ShaderConstant* color = Find(c, "ConstantColor");
    ASSERT_NE(color, nullptr) << "reached through a static initialiser";
    EXPECT_EQ(color->registerIndex, 3u);
    EXPECT_EQ(color->constantClass, ConstantClass::Vector);
    EXPECT_EQ(color->columns, 4u);
    const ShaderConstant* probe = Find(c, "LightProbe");
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->registerIndex, 4u);
    EXPECT_EQ(probe->registerCount, 3u);
    const ShaderConstant* tint = Find(c, "$Tint");
    ASSERT_NE(tint, nullptr);
    EXPECT_EQ(tint->registerIndex, 7u);
    const ShaderConstant* diffuse = Find(c, "Diffuse");
    ASSERT_NE(diffuse, nullptr);
    EXPECT_EQ(diffuse->registerSet, RegisterSet::Sampler);
    EXPECT_EQ(diffuse->registerIndex, 2u);
    EXPECT_EQ(diffuse->type, ConstantType::Sampler2D);
    EXPECT_EQ(Find(c, "Cube")->type, ConstantType::SamplerCube);
    EXPECT_EQ(Find(c, "UseFog")->registerSet, RegisterSet::Bool);
    EXPECT_EQ(Find(c, "Count")->registerSet, RegisterSet::Int4);
}

TEST(ShaderCompilerTest, MacrosAndConditionalsChooseTheCode)
{
    const std::string source = R"(
#define SCALE(x, y) ((x) * (y))
#define _GLUE(a, b) a##b
#if defined(SKINNING) && MAX_SHADER_SKINNING_BONES > 32
float4 _GLUE(Bone, Matrices)[MAX_SHADER_SKINNING_BONES * 3];
#define EXTRA BoneMatrices[0]
#elif defined FOG
float4 FogColor;
#define EXTRA FogColor
#else
#define EXTRA 0
#endif
#ifndef SKINNING
float4 NotSkinned;
#undef EXTRA
#define EXTRA NotSkinned
#endif
float4 vertex() : POSITION { return SCALE(EXTRA, 2); }
)";
    const ShaderMacro skinning[] = {{"SKINNING", ""}, {"MAX_SHADER_SKINNING_BONES", "64"}, {nullptr, nullptr}};
    Compiled c = Compile(source, "vertex", "vs_3_0", skinning);
    ASSERT_EQ(c.result, kOk) << c.messages;
    ASSERT_EQ(c.constants.size(), 1u);
    EXPECT_EQ(c.constants[0].name, "BoneMatrices");
    EXPECT_EQ(c.constants[0].registerCount, 192u);

    const ShaderMacro fewBones[] = {{"SKINNING", ""}, {"MAX_SHADER_SKINNING_BONES", "16"}, {"FOG", nullptr}, {nullptr, nullptr}};
    c = Compile(source, "vertex", "vs_3_0", fewBones);
    ASSERT_EQ(c.result, kOk) << c.messages;
    ASSERT_EQ(c.constants.size(), 1u);
    EXPECT_EQ(c.constants[0].name, "FogColor");

    c = Compile(source);
    ASSERT_EQ(c.result, kOk) << c.messages;
    ASSERT_EQ(c.constants.size(), 1u);
    EXPECT_EQ(c.constants[0].name, "NotSkinned");
}

// Stringising quotes the named argument's tokens with one space wherever the source had any, a
// comment included.
TEST(ShaderCompilerTest, StringisingQuotesTheNamedArgumentWithItsSpaces)
{
    ShaderPreprocessor preprocessor(nullptr);
    const std::string source = "#define QUOTE(a, b) #b\nQUOTE(x, y/**/z   w)\n";
    std::vector<ShaderToken> out;
    ASSERT_TRUE(preprocessor.Run(source.data(), source.size(), "Test.hlsl", &out)) << preprocessor.Messages();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, "\"y z w\"");
}

TEST(ShaderCompilerTest, IncludesGoThroughTheHandlerInOpeningOrder)
{
    MemoryIncludes includes;
    includes.files["Common.hlsl"] = "#include \"Constants.hlsl\"\nfloat4 Shared;\n";
    includes.files["Constants.hlsl"] = "#define LIGHTS 2\nfloat4 Lights[LIGHTS];\n";
    includes.files["Late.hlsl"] = "float4 Late;\n";
    const Compiled c = Compile("#include \"Common.hlsl\"\n#include <Late.hlsl>\n"
                               "float4 pixel() : COLOR { return Shared + Lights[1] + Late; }\n",
                               "pixel", "ps_3_0", nullptr, &includes);
    ASSERT_EQ(c.result, kOk) << c.messages;
    EXPECT_EQ(includes.opened, (std::vector<std::string>{"Common.hlsl", "Constants.hlsl", "Late.hlsl"}));
    EXPECT_EQ(includes.open, 0) << "every opened include is closed";
    ASSERT_NE(Find(c, "Lights"), nullptr);
    EXPECT_EQ(Find(c, "Lights")->registerCount, 2u);
    EXPECT_EQ(Find(c, "Late")->registerIndex, 3u);
}

TEST(ShaderCompilerTest, ErrorsComeWithMessageLines)
{
    MemoryIncludes includes;
    includes.files["Broken.hlsl"] = "\n#if 1\nfloat4 x;\n";
    struct Case
    {
        std::string source;
        const char* fragment;
    } cases[] = {
        {"float4 vertexx() : POSITION { return 0; }\n", "Test.hlsl(1): error: entry point 'vertex' not found"},
        {"#include \"Missing.hlsl\"\nfloat4 vertex() : POSITION { return 0; }\n",
         "Test.hlsl(1): error: cannot open include file 'Missing.hlsl'"},
        {"float4 vertex() : POSITION {\n  if (1) { return 0;\n}\n", "Test.hlsl(1): error: unbalanced braces: '{' is never closed"},
        {"float4 vertex() : POSITION { return 0; }\n}\n", "Test.hlsl(2): error: unbalanced braces"},
        {"float4 vertex() : POSITION { return 0; }\nfloat4 x = (1;\n", "Test.hlsl(2): error: unbalanced parentheses: '('"},
        {"#include \"Broken.hlsl\"\nfloat4 vertex() : POSITION { return 0; }\n",
         "Broken.hlsl(2): error: #if without #endif"},
        {"#endif\n", "Test.hlsl(1): error: #endif without #if"},
        {"#if 1 / 0\n#endif\n", "division by zero"},
        {"#if 1 2\n#endif\n", "unexpected '2' in #if expression"},
        {"#if 1 +\n#endif\n", "Test.hlsl(1): error: #if expression ends too early"},
        {"#define F(a, b) b\nfloat4 x = F(1);\n", "macro 'F' takes 2 arguments, not 1"},
        {"#define F(a) a\nfloat4 x = F(1;\n", "Test.hlsl(2): error: unterminated call of macro 'F'"},
        {"#error stop here\n", "#error stop here"},
        {"#define A 1\n#define A 2\n#if A == 2\n#error redefined\n#endif\n", "#error redefined"},
        {"#define FILE \"Broken.hlsl\"\n#include FILE\n", "Broken.hlsl(2): error: #if without #endif"},
        {"float4 a : register(c0);\nfloat4x4 b : register(c2);\nfloat4 vertex() : POSITION { return a + b[0]; }\n"
         "float4 c : register(c3);\n",
         ""},
        {"float4 a : register(c0);\nfloat4x4 b : register(c3);\nfloat4 c : register(c4);\n"
         "float4 vertex() : POSITION { return a + b[0] + c; }\n",
         "registers of 'c' and 'b' overlap"},
        {"float4 a : register(s0);\nfloat4 vertex() : POSITION { return a; }\n", "register 's0' does not suit 'a'"},
        {"#if 1 - 1 - 1 != -1 || (256 >> 4) != 16\n#error arithmetic\n#endif\n#if 0\n#if 1\n#else\n#error skipped\n"
         "#endif\n#endif\n#define QUOTED \"a\\\"b\"\nfloat4 vertex() : POSITION { return 0; }\n",
         ""},
        {"#define GLUE(a, b) a##b\n#define TWO 1 + \\\r\n 1\n#if ~0 != -1 || +3 != 3 || -7 / 2 != -3 || -7 % 3 != -1 || "
         "0x10UL != 16 || (-9223372036854775807 - 1) / -1 >= 0 || (-9223372036854775807 - 1) % -1 != 0 || "
         "GLUE(1, 2) != 12 || TWO != 2\n#error arithmetic\n#endif\n#define Color Tint\n#define Tint Color\nfloat4 Color;\n"
         "float4 vertex() : POSITION { return Color; }\n",
         ""},
        {"/* a\nb */\n#error here\n", "Test.hlsl(3): error: #error here"},
        {"\n/* open\n", "Test.hlsl(2): error: unterminated comment"},
        {"#ifdef\n#endif\n", "#ifdef needs a macro name"},
        {"#include <Missing.hlsl\n", "#include needs a \"file\" or <file> name"},
        {"#define F() 1\nfloat4 vertex() : POSITION { return F(); }\n", ""},
        {"{ }\nfloat4 vertex() : POSITION { return 0; }\n", "Test.hlsl(1): error: unexpected '{' at global scope"},
        {"#if 0\n#else\n#elif 1\n#endif\n", "#elif after #else"},
        {"#undef\n", "#undef needs a macro name"},
        {"#define defined 1\n", "#define needs a macro name"},
        {"vector<float4, 2> v;\n", "unknown type 'vector'"},
        {"float4 vertex(uniform Unknown u) : POSITION { return 0; }\n", "unsupported uniform parameter of the entry point"},
        {"float4 a, ;\n", "expected a name in a declaration"},
        {"float4 a;\nfloat4 a;\n", "redefinition of 'a'"},
        {"float4 a;\nfloat4 a, ;\n", "redefinition of 'a'"},
        {"void v;\n", "variable 'v' declared void"},
        {"float4 big[300];\nfloat4 vertex() : POSITION { return big[0]; }\n", "out of registers for 'big'"},
        {"float4 a[2] : register(c255);\nfloat4 vertex() : POSITION { return a[0]; }\n", "past the 256 of"},
    };
    for (const Case& test : cases)
    {
        const Compiled c = Compile(test.source, "vertex", "vs_3_0", nullptr, &includes);
        if (!*test.fragment)
        {
            EXPECT_EQ(c.result, kOk) << test.source << c.messages;
            continue;
        }
        EXPECT_EQ(c.result, kErrCompile) << test.source;
        EXPECT_NE(c.messages.find(test.fragment), std::string::npos) << test.source << "\n" << c.messages;
        EXPECT_EQ(c.messages.find("error:"), c.messages.rfind("error:")) << "one error only:\n" << c.messages;
    }
    for (const char* profile : {"gs_4_0", "ps_3x0", "vx_3_0"})
    {
        const Compiled c = Compile("float4 main() : COLOR { return 0; }", "main", profile);
        EXPECT_EQ(c.result, kErrCompile) << profile;
        EXPECT_EQ(c.messages, "Test.hlsl(1): error: unknown profile '" + std::string(profile) + "'\n");
    }
    EXPECT_EQ(Compile("float4 main() : COLOR { return 0; }", "", "ps_3_0").messages,
              "Test.hlsl(1): error: no source or no entry point\n");
    for (const std::string name : {"1X", ""})
    {
        const ShaderMacro unnamed[] = {{name.c_str(), nullptr}, {nullptr, nullptr}};
        EXPECT_NE(Compile("float4 vertex() : POSITION { return 0; }\n", "vertex", "vs_3_0", unnamed)
                      .messages.find("<macros>(1): error: macro '" + name + "' cannot be defined"),
                  std::string::npos);
    }
}

TEST_F(ShaderCompilerDeviceTest, CompiledCodeMakesDeviceShaders)
{
    GpuBlob* code = nullptr;
    const std::string source = "float4 ConstantColor;\nfloat4 pixel() : COLOR { return ConstantColor; }\n";
    ASSERT_EQ(CompileShader(source.data(), source.size(), nullptr, nullptr, nullptr, "pixel", "ps_3_0", 0, &code,
                            nullptr, nullptr),
              kOk);
    EXPECT_EQ(code->GetKind(), ObjectKind::Blob);
    EXPECT_EQ(GetShaderConstantTable(code->GetBufferPointer(), code->GetBufferSize(), nullptr), kErrInvalidCall);
    GpuPixelShader* ps = nullptr;
    ASSERT_EQ(m_device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &ps), kOk);
    ASSERT_EQ(ps->Code().constants.size(), 1u);
    EXPECT_EQ(ps->Code().constants[0].name, "ConstantColor");
    GpuVertexShader* vs = nullptr;
    EXPECT_EQ(m_device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), &vs), kErrInvalidCall);
    // Truncated code is refused, never over-read, and so is code with bytes after it.
    GpuPixelShader* truncated = nullptr;
    for (uint32_t size = 0; size < code->GetBufferSize(); ++size)
        EXPECT_EQ(m_device->CreatePixelShader(code->GetBufferPointer(), size, &truncated), kErrInvalidCall) << size;
    std::vector<uint8_t> longer(code->GetBufferSize() + 1, 0);
    memcpy(longer.data(), code->GetBufferPointer(), code->GetBufferSize());
    EXPECT_EQ(m_device->CreatePixelShader(longer.data(), longer.size(), &truncated), kErrInvalidCall);
    ps->Release();
    code->Release();
}

TEST(ShaderCompilerTest, HostileSourcesFailWithoutExhaustingTheStack)
{
    const size_t depth = 200000;
    std::string parens = "#if " + std::string(depth, '(') + "1" + std::string(depth, ')') + "\n#endif\n";
    EXPECT_EQ(Compile(parens).result, kErrCompile);
    std::string nots = "#if " + std::string(depth, '!') + "1\n#endif\n";
    EXPECT_EQ(Compile(nots).result, kErrCompile);
    std::string sums = "#if 1";
    for (int i = 0; i < 1000; ++i)
        sums += " + (1)";
    EXPECT_EQ(Compile(sums + "\n#endif\nfloat4 vertex() : POSITION { return 0; }\n").result, kOk) << "long, not deep";
    std::string calls = "#define F(a) a\nfloat4 x = ";
    const size_t callDepth = 30000; // each level rescans the rest of the line
    for (size_t i = 0; i < callDepth; ++i)
        calls += "F(";
    calls += "1" + std::string(callDepth, ')') + ";\n";
    EXPECT_EQ(Compile(calls).result, kErrCompile);
    std::string chain = "float4 c;\nfloat4 f0() { return c; }\n";
    const size_t chainLength = 100000; // stays under the preprocessor's token limit
    for (size_t i = 1; i < chainLength; ++i)
        chain += "float4 f" + std::to_string(i) + "() { return f" + std::to_string(i - 1) + "(); }\n";
    chain += "float4 vertex() : POSITION { return f" + std::to_string(chainLength - 1) + "(); }\n";
    const Compiled reached = Compile(chain);
    EXPECT_EQ(reached.result, kOk) << reached.messages.substr(0, 200);

    MemoryIncludes empty;
    empty.files["E.hlsl"] = "";
    std::string includes = "float4 vertex() : POSITION { return 0; }\n";
    for (int i = 0; i < 1024; ++i)
        includes += "#include \"E.hlsl\"\n";
    EXPECT_EQ(Compile(includes, "vertex", "vs_3_0", nullptr, &empty).result, kOk);
    includes += "#include \"E.hlsl\"\n";
    EXPECT_NE(Compile(includes, "vertex", "vs_3_0", nullptr, &empty).messages.find("more than 1024"), std::string::npos);
    EXPECT_NE(Compile(includes).messages.find("no include handler"), std::string::npos);
}

TEST(ShaderCompilerTest, ArraySizesThatWrapAreRefused)
{
    const Compiled c = Compile("float4x4 big[65536][65536];\nfloat4 vertex() : POSITION { return big[0][0][0]; }\n");
    EXPECT_EQ(c.result, kErrCompile);
    EXPECT_NE(c.messages.find("array size of 'big'"), std::string::npos) << c.messages;
}
