// Every program of the project's shader sources, run directly on fixed inputs, against its stored
// outputs, with the program words and constant table the compiler found: each source with no
// option, with each option it tests alone and with all of them, both stages. The probe tests pin what each program means; this pins everything else it computes, so a
// change of any output by a step of 1/1024 shows, whichever pixel a probe looks at.
// NORVEX_UPDATE_GOLDEN=1 rewrites the stored outputs instead.
#include "GpuRasterTestSupport.h"
#include "platform/gpu/ShaderProgram.h"
#include "support/GoldenText.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

using namespace gpu;

namespace
{
// Values spread over (0.1, 0.9) so that products, blends and saturations stay away from their ends.
float Pattern(uint32_t i) { return 0.1f + 0.8f * float((i * 37u + 11u) % 97u) / 96.0f; }

std::string Quantised(const float* values, uint32_t count)
{
    std::string text;
    char number[24];
    for (uint32_t i = 0; i < count; ++i)
    {
        const float value = values[i];
        if (std::isnan(value))
            text += " nan";
        else
        {
            std::snprintf(number, sizeof(number), " %.0f", std::nearbyint(double(value) * 1024.0));
            text += number;
        }
    }
    return text;
}

// The option macros a source tests: names after #ifdef or #ifndef and inside defined(...).
std::vector<std::string> OptionsOf(const std::string& source)
{
    std::set<std::string> found;
    std::istringstream lines(source);
    for (std::string line; std::getline(lines, line);)
    {
        const size_t hash = line.find_first_not_of(" \t");
        if (hash == std::string::npos || line[hash] != '#' || line.find("if", hash) == std::string::npos)
            continue;
        for (const char* key : {"ifdef", "ifndef", "defined"})
            for (size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + 1))
            {
                size_t from = line.find_first_not_of(" \t(!", at + std::strlen(key));
                size_t to = from;
                while (to < line.size() && (std::isupper(uint8_t(line[to])) || std::isdigit(uint8_t(line[to])) ||
                                            line[to] == '_'))
                    ++to;
                if (from != std::string::npos && to > from)
                    found.insert(line.substr(from, to - from));
            }
    }
    return {found.begin(), found.end()};
}

class ShaderProgramGoldenTest : public GpuRasterFixture
{
protected:
    void SetUp() override
    {
        GpuRasterFixture::SetUp();
        std::vector<uint32_t> texels(16 * 16);
        for (uint32_t i = 0; i < texels.size(); ++i)
            texels[i] = uint32_t(Pattern(i) * 255) << 24 | uint32_t(Pattern(i + 1) * 255) << 16 |
                        uint32_t(Pattern(i + 2) * 255) << 8 | uint32_t(Pattern(i + 3) * 255);
        for (uint32_t stage = 0; stage < kSamplerCount; ++stage)
        {
            BindTexture(stage, 16, 16, texels, stage % 2 != 0 ? kFilterLinear : kFilterPoint);
            m_device->SetSamplerState(stage, kSsAddressU, kAddressWrap);
            for (uint32_t type = 0; type < kSamplerStateCount; ++type)
                m_device->GetSamplerState(stage, type, &m_states[stage][type]);
            PrepareSampler({m_device->PeekTexture(stage), m_states[stage]}, &m_context.samplers[stage]);
        }
        for (uint32_t i = 0; i < kConstantFloats; ++i)
            m_constants[i] = Pattern(i);
        m_context.constants = m_constants;
    }

    // Both stages of one source and option set: each stage's outputs on four inputs, or why the
    // stage has no program.
    std::string Run(const std::string& source, const std::vector<std::string>& defines)
    {
        std::string lines;
        for (const bool vertex : {true, false})
        {
            ShaderCode code;
            std::string messages;
            const std::vector<uint8_t> bytes = TryCompileShaderText(source, vertex ? "vertex" : "pixel",
                                                                    vertex ? "vs_3_0" : "ps_3_0", defines, &messages);
            lines += vertex ? "  vs" : "  ps";
            if (bytes.empty() || !ReadShaderCode(bytes.data(), bytes.size(), &code))
            {
                lines += " does not compile\n";
                continue;
            }
            lines += " " + code.program + " |" + Constants(code) + "\n ";
            std::string why;
            if (vertex)
            {
                const std::unique_ptr<VertexProgram> program = MakeVertexProgram(code, &why);
                for (uint32_t n = 0; program != nullptr && n < 4; ++n)
                {
                    VertexInput in;
                    for (uint32_t a = 0; a < kAttributeCount; ++a)
                        for (uint32_t c = 0; c < 4; ++c)
                            in.attributes[a][c] = Pattern(n * 64 + a * 4 + c);
                    ClipVertex out{};
                    program->Run(m_constants, in, &out);
                    lines += " |" + Quantised(out.position, 4) + Quantised(out.varyings, kVaryingCount);
                }
            }
            else
            {
                const std::unique_ptr<PixelProgram> program = MakePixelProgram(code, &why);
                for (uint32_t n = 0; program != nullptr && n < 4; ++n)
                {
                    PixelInput in{};
                    in.x = int32_t(n * 5);
                    in.y = int32_t(n * 3);
                    in.depth = Pattern(n + 200);
                    in.frontFacing = n % 2 == 0;
                    for (uint32_t v = 0; v < kVaryingCount; ++v)
                        in.varyings[v] = Pattern(n * 32 + v);
                    in.tex0Dx[0] = in.tex0Dy[1] = 1.0f / float(4 << n);
                    Color4f out{};
                    const bool kept = program->Run(m_context, in, &out);
                    lines += std::string(" |") + (kept ? "" : " dropped") + Quantised(&out.r, 4);
                }
                if (program && !program->SamplesTextures())
                    lines += " | samples no texture";
            }
            lines += why.empty() ? "\n" : " " + why + "\n";
        }
        return lines;
    }

    // The constant table the compiler reflected: name, register set, class, type, shape and registers.
    static std::string Constants(const ShaderCode& code)
    {
        std::string text;
        for (const ShaderConstant& c : code.constants)
            text += " " + c.name + " " + std::to_string(int(c.registerSet)) + std::to_string(int(c.constantClass)) +
                    std::to_string(int(c.type)) + " " + std::to_string(c.rows) + "x" + std::to_string(c.columns) +
                    "x" + std::to_string(c.elements) + " @" + std::to_string(c.registerIndex) + "+" +
                    std::to_string(c.registerCount);
        return text;
    }

    static constexpr uint32_t kConstantFloats = 256 * 4;
    float m_constants[kConstantFloats] = {};
    uint32_t m_states[kSamplerCount][kSamplerStateCount] = {};
    PixelContext m_context{};
};

TEST_F(ShaderProgramGoldenTest, EveryProgramGivesTheStoredOutputsForEachOptionSet)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(ProjectSourcePath("data/shaders")))
        if (entry.path().extension() == ".hlsl")
            files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 20u);

    std::string outputs;
    for (const std::string& file : files)
    {
        const std::string source = ShaderFolderIncludes::ReadShaderSource(file.c_str());
        if (source.find(" vertex(") == std::string::npos)
            continue; // included by others
        const std::vector<std::string> options = OptionsOf(source);
        std::vector<std::vector<std::string>> sets = {{}};
        for (const std::string& option : options)
            sets.push_back({option});
        if (options.size() > 1)
            sets.push_back(options);
        for (const std::vector<std::string>& defines : sets)
        {
            outputs += file;
            for (const std::string& define : defines)
                outputs += " " + define;
            outputs += "\n" + Run(source, defines);
        }
    }

    ExpectTextMatchesStoredCopy(outputs, "tests/platform/gpu/golden/ProgramOutputs.txt");
}
} // namespace
