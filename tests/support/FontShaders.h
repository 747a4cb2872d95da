// The plain and outlined font shader pairs compiled from the project's "Font.hlsl" and installed as
// the fonts' shaders, for tests that draw text on a running renderer without a shader manager.
// Install after the renderer started; Remove before it closes. Test thread.
#pragma once

#include "renderer/NorvexRenderer.h"
#include "renderer/NorvexRendererObject.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/resources/ResourceFont.h"
#include "support/RenderThreadCall.h"
#include "support/ShaderSourceFolder.h"

#include <gtest/gtest.h>

class FontShaders
{
public:
    void Install(NorvexRenderer& renderer)
    {
        const std::string source = ShaderFolderIncludes::ReadShaderSource("Font.hlsl");
        for (bool outlined : {false, true})
        {
            const std::vector<std::string> defines = outlined ? std::vector<std::string>{"OUTLINES"}
                                                               : std::vector<std::string>{};
            const std::vector<uint8_t> vs = CompileShaderText(source, "vertex", "vs_3_0", defines);
            const std::vector<uint8_t> ps = CompileShaderText(source, "pixel", "ps_3_0", defines);
            VertexShaderObject* vertex = m_vertex[outlined] = new VertexShaderObject();
            PixelShaderObject* pixel = m_pixel[outlined] = new PixelShaderObject();
            ASSERT_TRUE(vertex->ReadConstantTable(vs.data(), uint32_t(vs.size())));
            for (auto [object, code] : {std::pair<ShaderObject*, const std::vector<uint8_t>*>{vertex, &vs}, {pixel, &ps}})
            {
                object->SetReady();
                uint8_t* bytes = new uint8_t[code->size()];
                std::copy(code->begin(), code->end(), bytes);
                ASSERT_TRUE(object->CreateFromBytecode(&bytes, uint32_t(code->size())));
            }
            ResourceFont::SetShaders(outlined, vertex, pixel);
        }
        renderer.SubmitCommands(true);
    }

    // Unbinds what the draws left bound, then deletes the shader objects on the render thread.
    void Remove(NorvexRenderer& renderer)
    {
        RunOnRenderThread(renderer, [](NorvexRenderer& r) {
            r.SetVertexShader(nullptr);
            r.SetPixelShader(nullptr);
            r.SetTexture(0, nullptr, 0);
            r.GetDevice()->SetVertexDeclaration(nullptr);
        });
        for (bool outlined : {false, true})
        {
            ResourceFont::SetShaders(outlined, nullptr, nullptr);
            if (m_vertex[outlined] != nullptr)
                NorvexRendererObject::PostDeletion(m_vertex[outlined], true, false);
            if (m_pixel[outlined] != nullptr)
                NorvexRendererObject::PostDeletion(m_pixel[outlined], true, false);
            m_vertex[outlined] = nullptr;
            m_pixel[outlined] = nullptr;
        }
        renderer.SubmitCommands(true);
    }

    const VertexShaderObject* GetVertex(bool outlined) const { return m_vertex[outlined]; }

private:
    VertexShaderObject* m_vertex[2] = {};
    PixelShaderObject* m_pixel[2] = {};
};
