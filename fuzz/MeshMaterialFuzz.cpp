// Mesh material records over arbitrary bytes, without loading their resources. The first byte
// picks the record version; a record that reads writes back in the newest form to bytes that read
// again and write the same.
#include "core/reflection/RecordStream.h"
#include "renderer/MeshMaterial.h"

#include <cstdint>
#include <vector>

namespace
{
std::vector<uint8_t> Write(const MeshMaterial& material)
{
    RecordOutput count(nullptr, 0, false);
    material.Write(count);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    material.Write(out);
    return bytes;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    MeshMaterial material;
    RecordInput in(data + 1, size - 1);
    if (!material.Read(in, data[0] % 54, false))
        return 0;
    const std::vector<uint8_t> written = Write(material);
    MeshMaterial copy;
    RecordInput again(written.data(), written.size());
    if (!copy.Read(again, 53, false) || again.Remaining() != 0 || Write(copy) != written)
        __builtin_trap();
    return 0;
}
