// Writing and reading 10,000 object records of a class with 20 mixed properties, in MB/s, beside
// memcpy of the same bytes (the physical limit), measured in turn within each iteration.
#include "PairedRatio.h"

#include "core/math/HDRColor.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "core/math/Vector3.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int kRecordCount = 10000;

class BenchRecord : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(BenchRecord, RTTIPolyBaseClass)

public:
    float m_f0 = 0, m_f1 = 0, m_f2 = 0, m_f3 = 0;
    int32_t m_i0 = 0, m_i1 = 0, m_i2 = 0, m_i3 = 0;
    uint32_t m_flags = 0;
    uint16_t m_short = 0;
    bool m_visible = false;
    bool m_static = false;
    uint8_t m_byte = 0;
    std::string m_text;
    NameString m_name;
    Vector m_position;
    Vector3 m_scale;
    Matrix m_transform;
    SimpleGUID m_guid;
    HDRColor m_color;
    Dynarray<int32_t> m_list;
};

RTTI_DEFINE_CLASS_TABLE(BenchRecord, RTTIPolyBaseClass)

template <typename T>
void Add(RTTIPropertiesBase& table, const char* name, T BenchRecord::*member)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<BenchRecord, T>(name, member));
}

void BenchRecord::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BenchRecord;
    Add(table, "F0", &C::m_f0);
    Add(table, "F1", &C::m_f1);
    Add(table, "F2", &C::m_f2);
    Add(table, "F3", &C::m_f3);
    Add(table, "I0", &C::m_i0);
    Add(table, "I1", &C::m_i1);
    Add(table, "I2", &C::m_i2);
    Add(table, "I3", &C::m_i3);
    Add(table, "Flags", &C::m_flags);
    Add(table, "Short", &C::m_short);
    Add(table, "Visible", &C::m_visible);
    Add(table, "Static", &C::m_static);
    Add(table, "Byte", &C::m_byte);
    Add(table, "Text", &C::m_text);
    Add(table, "Name", &C::m_name);
    Add(table, "Position", &C::m_position);
    Add(table, "Scale", &C::m_scale);
    Add(table, "Transform", &C::m_transform);
    Add(table, "GUID", &C::m_guid);
    Add(table, "Color", &C::m_color);
    table.AddProperty(new RTTIDynarrayProperty<C, int32_t>("List", &C::m_list));
}

std::vector<BenchRecord>& Records()
{
    static std::vector<BenchRecord> records = [] {
        std::vector<BenchRecord> made(kRecordCount);
        for (int i = 0; i < kRecordCount; ++i)
        {
            BenchRecord& r = made[size_t(i)];
            r.m_f0 = float(i);
            r.m_i1 = -i;
            r.m_flags = uint32_t(i) * 2654435761u;
            r.m_text = "record " + std::to_string(i);
            r.m_name = NameString(i % 2 ? "odd" : "even");
            r.m_position = Vector(1, 2, 3, 1);
            r.m_guid.bytes[0] = uint8_t(i);
            for (int k = 0; k < i % 5; ++k)
                r.m_list.Add(k);
        }
        return made;
    }();
    return records;
}

// All payloads back to back; `offsets` has one more entry than there are records.
std::vector<uint8_t> WriteAll(std::vector<size_t>& offsets)
{
    std::vector<uint8_t> bytes;
    offsets.assign(1, 0);
    for (BenchRecord& record : Records())
    {
        const size_t size = record.SerializeToMemory(nullptr, 0, 0);
        bytes.resize(offsets.back() + size);
        record.SerializeToMemory(bytes.data() + offsets.back(), size, 0);
        offsets.push_back(offsets.back() + size);
    }
    return bytes;
}

void CopyAll(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& target)
{
    std::memcpy(target.data(), bytes.data(), bytes.size());
    benchmark::ClobberMemory();
}

// Each iteration writes every record and copies the same bytes with memcpy, in turn; "x_memcpy" is
// the median of the per-pair speed ratios (1 would be as fast as memcpy).
void BM_RecordWrite(benchmark::State& state)
{
    std::vector<size_t> offsets;
    std::vector<uint8_t> bytes = WriteAll(offsets);
    const std::vector<uint8_t> source = bytes;
    std::vector<uint8_t> target(bytes.size());
    PairedRatio ratio;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                size_t at = 0;
                for (BenchRecord& record : Records())
                    at += record.SerializeToMemory(bytes.data() + at, bytes.size() - at, 0);
                benchmark::DoNotOptimize(at);
                benchmark::ClobberMemory();
            },
            [&] { CopyAll(source, target); });
    }
    if (bytes != source)
        state.SkipWithError("records written differ from the first pass");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    ratio.Report(state, "x_memcpy");
}

void BM_RecordRead(benchmark::State& state)
{
    std::vector<size_t> offsets;
    const std::vector<uint8_t> bytes = WriteAll(offsets);
    std::vector<BenchRecord> targets(kRecordCount);
    std::vector<uint8_t> target(bytes.size());
    PairedRatio ratio;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                for (int i = 0; i < kRecordCount; ++i)
                    targets[size_t(i)].DeserializeFromMemory(bytes.data() + offsets[size_t(i)],
                                                             offsets[size_t(i) + 1] - offsets[size_t(i)], 0);
                benchmark::ClobberMemory();
            },
            [&] { CopyAll(bytes, target); });
    }
    if (targets[7].m_text != "record 7" || targets[7].m_list.Count() != 2)
        state.SkipWithError("records read back wrong");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    ratio.Report(state, "x_memcpy");
}
} // namespace

BENCHMARK(BM_RecordWrite)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_RecordRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);
