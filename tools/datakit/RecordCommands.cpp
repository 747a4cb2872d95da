// The record subcommands of datakit: print a record file of a registered class as text, and write
// one back from that text, starting from a base record, which keeps the properties that have no text
// form (a class without such properties may do without one).
#include "core/reflection/ObjectRecord.h"
#include "core/reflection/RTTIClassRegistry.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "engine/ClassRegistration.h"
#include "engine/config/ConfigFiles.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/InputFile.h"
#include "tools/datakit/NumberArgument.h"
#include "tools/datakit/RecordText.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace
{
// Every serialization flag the record reader and writer know.
constexpr uint32_t kKnownFlags =
    RTTI_SKIP_FLAGGED_4 | RTTI_BYTE_SWAP | RTTI_NO_ENTITY_RESOLVE | RTTI_OWN_CLASS_ONLY | RTTI_MAGIC_AND_CRC;

struct RecordArguments
{
    std::vector<std::string> positional;
    // Written records default to the form the game reads its configuration in.
    uint32_t flags = ConfigFiles::kRecordFlags;
    bool flagsGiven = false;
    std::string base;

    bool Parse(const std::vector<std::string>& arguments)
    {
        for (size_t i = 0; i < arguments.size(); ++i)
        {
            if (arguments[i] == "--flags" && i + 1 < arguments.size())
            {
                if (!ParseNumberArgument("--flags", arguments[++i], 0, kKnownFlags, flags))
                    return false;
                flagsGiven = true;
            }
            else if (arguments[i] == "--base" && i + 1 < arguments.size())
                base = arguments[++i];
            else if (arguments[i].rfind("--", 0) == 0)
            {
                std::fprintf(stderr, "datakit: unknown or incomplete option %s\n", arguments[i].c_str());
                return false;
            }
            else
                positional.push_back(arguments[i]);
        }
        return true;
    }
};

// Record files are written on the disk; the file system takes absolute paths straight to it.
std::string DiskPath(const std::string& path)
{
    return std::filesystem::absolute(path).generic_string();
}

std::unique_ptr<RTTIPolyBaseClass> Create(const std::string& className)
{
    RegisterAllClasses();
    std::unique_ptr<RTTIPolyBaseClass> object(RTTIClassRegistry::CreateObject(className.c_str()));
    if (object == nullptr)
    {
        std::fprintf(stderr, "datakit: no registered class named %s; known classes:\n", className.c_str());
        for (int id = 0; id < RTTIClassRegistry::GetClassCount(); ++id)
            std::fprintf(stderr, "  %s\n", RTTIClassRegistry::GetClassName(id));
    }
    return object;
}

constexpr uint32_t kMagicAndCrcFlag = ConfigFiles::kRecordFlags;

// The payload size the record's first four bytes give.
uint64_t PayloadSize(const std::string& bytes)
{
    uint32_t size = 0;
    for (int i = 3; i >= 0; --i)
        size = size << 8 | uint8_t(bytes[size_t(i)]);
    return size;
}

// The record's form from its bytes: a file exactly the payload size plus 12 bytes carries the
// layout magic and CRC (every configuration file does); plus 4 bytes, neither.
uint32_t DetectFlags(const std::string& bytes)
{
    return bytes.size() >= 4 && bytes.size() == PayloadSize(bytes) + 12 ? kMagicAndCrcFlag : 0;
}

// Read under the other form, a record still parses, into nonsense: only a record that fills its file
// exactly under the flags given is taken for one.
bool FillsFile(const std::string& bytes, uint32_t flags)
{
    if (bytes.size() < 4)
        return false;
    const uint64_t payload = PayloadSize(bytes);
    return bytes.size() == payload + ((flags & kMagicAndCrcFlag) != 0 && payload != 0 ? 12 : 4);
}

bool Load(RTTIPolyBaseClass& object, const std::string& path, const RecordArguments& arguments)
{
    std::string bytes;
    if (!ReadInputFile(path, bytes))
        return false;
    const uint32_t flags = arguments.flagsGiven ? arguments.flags : DetectFlags(bytes);
    if (FillsFile(bytes, flags) &&
        ReadObjectRecord(object, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), flags))
        return true;
    std::fprintf(stderr, "datakit: cannot read the record %s with --flags %u", path.c_str(), flags);
    if ((flags & kMagicAndCrcFlag) == 0)
        std::fprintf(stderr, " (a record written with its layout magic and CRC needs --flags %u)", kMagicAndCrcFlag);
    std::fputc('\n', stderr);
    return false;
}
} // namespace

int RunRecordPrintCommand(const std::vector<std::string>& arguments)
{
    RecordArguments parsed;
    if (!parsed.Parse(arguments) || parsed.positional.size() != 2)
        return 2;
    std::unique_ptr<RTTIPolyBaseClass> object = Create(parsed.positional[0]);
    if (object == nullptr || !Load(*object, parsed.positional[1], parsed))
        return 1;
    std::fputs(RecordToText(*object).c_str(), stdout);
    return 0;
}

int RunRecordWriteCommand(const std::vector<std::string>& arguments)
{
    RecordArguments parsed;
    if (!parsed.Parse(arguments) || parsed.positional.size() != 3)
        return 2;
    std::unique_ptr<RTTIPolyBaseClass> object = Create(parsed.positional[0]);
    if (object == nullptr || (!parsed.base.empty() && !Load(*object, parsed.base, parsed)))
        return 1;
    std::string text;
    if (!ReadInputFile(parsed.positional[1], text))
        return 1;
    std::string error;
    if (!RecordFromText(*object, text, error))
    {
        std::fprintf(stderr, "datakit: %s: %s\n", parsed.positional[1].c_str(), error.c_str());
        return 1;
    }
    // Without a base record those parts would be written as defaults, whatever the text says of them.
    const std::vector<std::string> kept = PropertiesWithoutTextForm(*object);
    if (parsed.base.empty() && !kept.empty())
    {
        std::string names;
        for (const std::string& name : kept)
            names += (names.empty() ? "" : ", ") + name;
        std::fprintf(stderr, "datakit: %s has parts with no text form (%s); pass --base <record file> to keep them\n",
                     parsed.positional[0].c_str(), names.c_str());
        return 2;
    }
    if (!object->SaveToFile(DiskPath(parsed.positional[2]).c_str(), nullptr, nullptr, parsed.flags))
    {
        std::fprintf(stderr, "datakit: cannot write %s\n", parsed.positional[2].c_str());
        return 1;
    }
    return 0;
}
