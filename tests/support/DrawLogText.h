// A running renderer's draws as text, for stored-copy tests: the clears and copies among them, and
// one block per draw with its targets, shaders (by resource name), states, textures with their
// sampler states, streams and the constants its shaders read (in steps of 1/1024). Objects with no
// name go by their order of first appearance, so the text is the same in every run and build.
#pragma once

#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuSurface.h"
#include "platform/gpu/GpuTexture.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourcePool.h"
#include "renderer/resources/ResourceShader.h"
#include "support/RenderThreadCall.h"

#include <cmath>
#include <map>
#include <sstream>

class DrawLogText
{
public:
    // Test thread: the last presented frame.
    static std::string LastFrame(NorvexRenderer& renderer)
    {
        std::string text;
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) { text = OnRenderThread(r, true, 0); });
        return text;
    }
    // Render thread: the last presented frame or the one being drawn, from its draw `from` on.
    static std::string OnRenderThread(NorvexRenderer& renderer, bool last, size_t from)
    {
        const gpu::GpuDevice& device = *renderer.GetDevice();
        return DrawLogText(renderer).Draws(last ? device.GetLastFrameDrawLog() : device.GetDrawLog(),
                                           last ? device.GetLastFrameSurfaceOpLog() : device.GetSurfaceOpLog(), from);
    }

private:
    explicit DrawLogText(NorvexRenderer& renderer)
    {
        const RenderTargetSet& t = renderer.GetDeviceManager().GetRenderTargets();
        for (const auto& [target, name] : std::initializer_list<std::pair<const RenderTarget*, const char*>>{
                 {&t.refractionCopy, "refraction"}, {&t.linearDepth, "linearDepth"}, {&t.sceneDepth, "sceneDepth"},
                 {&t.backBufferDepth, "backDepth"}, {&t.sceneColor, "scene"}, {&t.backBufferColor, "backColor"},
                 {&t.pingPong[0], "pingA"}, {&t.pingPong[1], "pingB"}, {&t.auxiliary, "auxiliary"},
                 {&t.shadowDummy, "shadowDummy"}, {&t.ambientOcclusion[0], "ao0"}, {&t.ambientOcclusion[1], "ao1"},
                 {&t.shadowMap, "shadowMap"}, {&t.fakeShadow, "fakeShadow"}})
            Name(target->GetSurface(), name), Name(target->GetHolder(), name);
        Name(t.lightingCube, "lightingCube"), Name(t.emptyCube, "emptyCube");
        for (uint32_t slot = 0; slot < ShaderManager::kSystemTextureCount; ++slot)
            Name(gShaderManager.GetSystemTexture(slot).texture, "system" + std::to_string(slot));
        gpu::GpuSurface* back = nullptr;
        if (renderer.GetDevice()->GetBackBuffer(0, 0, &back) == gpu::kOk)
            Name(back, "back"), back->Release();
        os::ScopedLock lock(ResourceManager::GetLock());
        const ResourcePool* pool = gResourceManager->GetPool(RESOURCE_TYPE_SHADER);
        for (int32_t i = 0; pool != nullptr && i < pool->GetCount(); ++i)
        {
            const auto* shader = static_cast<const ResourceShader*>(pool->GetResource(i));
            const ShaderObject* object = shader->GetKind() == ResourceShader::KIND_VERTEX
                                             ? static_cast<const ShaderObject*>(shader->GetVertexShader())
                                             : shader->GetPixelShader();
            Name(object != nullptr ? object->GetDeviceShader() : nullptr, shader->GetName());
        }
    }
    void Name(const gpu::GpuObject* object, const std::string& name)
    {
        if (object != nullptr)
            m_names[object->GetId()] = name;
    }
    void Name(const TextureHolder* holder, const std::string& name)
    {
        Name(holder != nullptr ? holder->GetTexture() : nullptr, name);
    }
    // Named objects by name, others as #n in order of first appearance, none as "-".
    std::string Id(uint64_t id)
    {
        const auto found = m_names.find(id);
        return id == 0 ? "-" : found != m_names.end() ? found->second : m_names[id] = "#" + std::to_string(++m_unnamed);
    }
    static std::ostream& Put(std::ostream& out, const float* values, uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i)
            out << ' ' << (std::isnan(values[i]) ? "nan" : std::to_string(int64_t(std::nearbyint(values[i] * 1024.0))));
        return out;
    }
    std::string Draws(const std::vector<gpu::DrawRecord>& draws, const std::vector<gpu::SurfaceOpRecord>& ops,
                      size_t from)
    {
        std::ostringstream out;
        for (size_t i = from; i <= draws.size(); ++i)
        {
            for (const gpu::SurfaceOpRecord& op : ops)
                if (op.drawsBefore == i)
                {
                    out << (op.op == gpu::SurfaceOp::Clear ? " clear " : " copy " + Id(op.sourceId) + " > ")
                        << Id(op.targetIds[0]) << ' ' << Id(op.depthStencilId) << " flags " << op.flags << " color "
                        << std::hex << op.color << std::dec << " stencil " << op.stencil << " z";
                    Put(out, &op.z, 1);
                    for (const gpu::Rect& r : op.rects)
                        out << " [" << r.left << ' ' << r.top << ' ' << r.right << ' ' << r.bottom << ']';
                    out << '\n';
                }
            if (i == draws.size())
                break;
            const gpu::DrawRecord& d = draws[i];
            const float depth[2] = {d.viewport.minZ, d.viewport.maxZ};
            out << " draw " << int(d.call) << " type " << d.primitiveType << " x" << d.primitiveCount << " from "
                << d.startVertex << ' ' << d.baseVertex << ' ' << d.minIndex << ' ' << d.numVertices << ' '
                << d.startIndex << " into " << Id(d.renderTargetIds[0]) << ' ' << Id(d.renderTargetIds[1]) << ' '
                << Id(d.depthStencilId) << " | " << Id(d.vertexShaderId) << ' ' << Id(d.pixelShaderId) << " | pixels "
                << d.pixelsWritten << (d.withoutProgram ? " no program" : "") << "\n   viewport " << d.viewport.x << ' '
                << d.viewport.y << ' ' << d.viewport.width << ' ' << d.viewport.height;
            Put(out, depth, 2) << " scissor " << d.scissor.left << ' ' << d.scissor.top << ' ' << d.scissor.right << ' '
                               << d.scissor.bottom << " states";
            for (const uint32_t state : d.renderStates)
                out << ' ' << state;
            out << "\n   input " << Id(d.declarationId) << " fvf " << d.fvf << " indices " << Id(d.indexBufferId);
            for (const gpu::StreamBinding& s : d.streams)
                if (s.bufferId != 0)
                    out << ' ' << Id(s.bufferId) << '+' << s.offset << '/' << s.stride << '/' << s.frequency;
            for (uint32_t stage = 0; stage < gpu::kSamplerCount; ++stage)
                if (d.textureIds[stage] != 0)
                {
                    out << "\n   t" << stage << ' ' << Id(d.textureIds[stage]);
                    for (const uint32_t state : d.samplerStates[stage])
                        out << ' ' << state;
                }
            for (const auto& [stage, values] :
                 {std::pair("\n   vs", &d.vertexConstants), std::pair("\n   ps", &d.pixelConstants)})
            {
                out << stage;
                for (const gpu::RegisterValue& v : *values)
                    Put(out << " c" << v.index << ':', v.value, 4);
            }
            out << '\n';
        }
        return out.str();
    }

    std::map<uint64_t, std::string> m_names;
    uint32_t m_unnamed = 0;
};
