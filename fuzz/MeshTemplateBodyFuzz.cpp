// The blocks of a mesh template body (mesh data, skeleton, stored words) over arbitrary bytes. The
// first byte picks the body version; the rest are the blocks. Blocks that read must write back in
// the newest form to bytes that read again and write the same.
#include "core/reflection/RecordStream.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/MeshTemplate.h"

#include <cstdint>
#include <vector>

namespace
{
std::vector<uint8_t> Write(const MeshTemplate& meshTemplate)
{
    RecordOutput count(nullptr, 0, false);
    meshTemplate.WriteBodyBlocks(count);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    meshTemplate.WriteBodyBlocks(out);
    return bytes;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = (RegisterSceneClasses(), true);
    (void)registered;
    if (size == 0)
        return 0;
    MeshTemplate meshTemplate;
    RecordInput in(data + 1, size - 1);
    if (!meshTemplate.ReadBodyBlocks(in, data[0] % 54))
        return 0;
    const std::vector<uint8_t> written = Write(meshTemplate);
    MeshTemplate copy;
    RecordInput again(written.data(), written.size());
    if (!copy.ReadBodyBlocks(again, EntityTemplate::kCurrentFileVersion) || again.Remaining() != 0 ||
        Write(copy) != written)
        __builtin_trap();
    return 0;
}
