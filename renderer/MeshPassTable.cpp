#include "renderer/MeshPassTable.h"

#include "renderer/MeshMaterial.h"

namespace
{
MeshPassChoice Pair(uint32_t vertex, uint32_t pixel, bool depthWrite)
{
    MeshPassChoice choice;
    choice.skip = false;
    choice.vertexLink = vertex;
    choice.pixelLink = pixel;
    choice.depthWrite = depthWrite;
    return choice;
}
} // namespace

MeshPassChoice ChooseMeshPass(uint32_t passA, uint32_t kind, uint32_t blendMode, bool hasRefraction, bool canRefract)
{
    using M = MeshMaterial;
    const bool instanced = (passA & 0x80000000u) != 0;
    const uint32_t pass = passA & 0x7FFFFFFFu;
    const uint32_t forwardVS = instanced ? M::LINK_INSTANCED_FORWARD_VS : M::LINK_FORWARD_VS;
    const uint32_t deferredVS = instanced ? M::LINK_INSTANCED_DEFERRED_VS : M::LINK_DEFERRED_VS;
    const bool opaque = blendMode == 0;
    switch (pass)
    {
    case 1:
        if (kind != 0)
            return {};
        if (!hasRefraction)
            return Pair(forwardVS, M::LINK_FORWARD_PS, opaque);
        if (canRefract)
        {
            MeshPassChoice choice = Pair(forwardVS, M::LINK_REFRACTION_PS, false);
            choice.blendZero = true;
            return choice;
        }
        // A refracting material that cannot refract here draws plain only when it blends.
        return opaque ? MeshPassChoice() : Pair(forwardVS, M::LINK_FORWARD_PS, false);
    case 2:
        return kind == 1 ? Pair(forwardVS, M::LINK_FORWARD_PS, true) : MeshPassChoice();
    case 4:
        return kind == 1 ? Pair(deferredVS, M::LINK_DEFERRED_PS, true) : MeshPassChoice();
    case 8:
        return kind == 2 ? Pair(forwardVS, M::LINK_FORWARD_PS, true) : MeshPassChoice();
    case 16:
        if (kind == 1)
            return Pair(deferredVS, M::LINK_DEFERRED_PS, true);
        if (kind == 0 || kind == 2)
            return Pair(forwardVS, M::LINK_FORWARD_PS, opaque);
        return {};
    default:
        return {};
    }
}
