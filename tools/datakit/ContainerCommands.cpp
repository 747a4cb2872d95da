// The container subcommands of datakit: pack a folder, list a part's entries, extract them.
// Indexes store only hashes of the entry paths, so names come from a list written when packing;
// an entry without a name is extracted as "<HASH>.bin", and packing gives such a file its hash back.
#include "core/filesystem/FileSystemContainerMountPoint.h"
#include "tools/datakit/ContainerReader.h"
#include "tools/datakit/ContainerWriter.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/InputFile.h"
#include "tools/datakit/NumberArgument.h"
#include "tools/datakit/PathContainment.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace
{
namespace fs = std::filesystem;

// Splits "--key value" options from the positional arguments.
struct Arguments
{
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;

    bool Parse(const std::vector<std::string>& arguments)
    {
        for (size_t i = 0; i < arguments.size(); ++i)
        {
            if (arguments[i].rfind("--", 0) != 0)
            {
                positional.push_back(arguments[i]);
                continue;
            }
            if (i + 1 >= arguments.size())
            {
                std::fprintf(stderr, "datakit: option %s needs a value\n", arguments[i].c_str());
                return false;
            }
            options[arguments[i].substr(2)] = arguments[i + 1];
            ++i;
        }
        return true;
    }

    std::string Option(const std::string& key, const std::string& fallback = "") const
    {
        const auto found = options.find(key);
        return found == options.end() ? fallback : found->second;
    }
};

bool ReadNames(const std::string& path, std::vector<std::string>& names)
{
    std::string text;
    if (!ReadInputFile(path, text))
        return false;
    for (size_t start = 0; start < text.size();)
    {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            names.push_back(line);
        start = end + 1;
    }
    return true;
}

// Hash -> path for the names of a list, under the index's seed and multiplier.
std::map<uint32_t, std::string> NamesByHash(const Arguments& args, const ContainerIndex& index, bool& ok)
{
    std::map<uint32_t, std::string> byHash;
    ok = true;
    const std::string list = args.Option("names");
    if (list.empty())
        return byHash;
    std::vector<std::string> names;
    ok = ReadNames(list, names);
    for (const std::string& name : names)
    {
        uint32_t hash = 0;
        if (ContainerIndex::HashPath(name.c_str(), index.GetSeed(), index.GetHashMultiplier(), hash))
            byHash.emplace(hash, name);
    }
    return byHash;
}

bool ParseCompression(const Arguments& args, uint8_t& method, LzxEncoderOptions& lzx)
{
    const std::string name = args.Option("method", "stored");
    static const std::map<std::string, uint8_t> kMethods = {{"stored", 0}, {"gzip", 1}, {"lzx", 2}};
    static const std::map<std::string, LzxBlockKind> kBlocks = {{"verbatim", LzxBlockKind::Verbatim},
                                                                {"aligned", LzxBlockKind::Aligned},
                                                                {"uncompressed", LzxBlockKind::Uncompressed},
                                                                {"mixed", LzxBlockKind::Mixed}};
    const auto foundMethod = kMethods.find(name);
    const auto foundBlocks = kBlocks.find(args.Option("lzx-blocks", "verbatim"));
    if (foundMethod == kMethods.end() || foundBlocks == kBlocks.end())
    {
        std::fprintf(stderr, "datakit: unknown compression method or LZX block kind\n");
        return false;
    }
    method = foundMethod->second;
    lzx.blockKind = foundBlocks->second;
    return true;
}

// The file an entry without a known name is extracted to.
std::string UnnamedEntryFile(uint32_t hash)
{
    char name[16];
    std::snprintf(name, sizeof(name), "%08X.bin", hash);
    return name;
}

// The hash of a file that extract wrote for an unnamed entry: "<8 upper-case hex digits>.bin" at the top.
bool UnnamedEntryHash(const std::string& name, uint32_t& hash)
{
    if (name.size() != 12 || name.compare(8, 4, ".bin") != 0 ||
        !std::all_of(name.begin(), name.begin() + 8, [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }))
        return false;
    hash = static_cast<uint32_t>(std::strtoul(name.substr(0, 8).c_str(), nullptr, 16));
    return true;
}

// A link packs only when everything it leads to is inside the packed folder (given canonical).
bool LinkStaysInside(const fs::path& link, const fs::path& root)
{
    std::error_code error;
    const fs::path target = fs::canonical(link, error);
    return !error && IsPathInsideFolder(target.lexically_relative(root).generic_string());
}

// Where a file lands: its folder resolved, its own name kept, so a link is not taken for its target.
fs::path Place(const fs::path& path)
{
    std::error_code error;
    const fs::path full = fs::absolute(path, error);
    return fs::weakly_canonical(full.parent_path(), error) / full.filename();
}

// The files below the folder as entry names, the places in `outputs` left out. Whatever would not pack
// as a plain file inside the folder (a link to a folder, to nothing, to itself or out of the folder, a
// pipe) is named, and the folder fails: a container silently lacking files would pass for complete.
bool CollectFiles(const fs::path& folder, const std::vector<fs::path>& outputs, std::vector<std::string>& names)
{
    std::error_code error;
    const fs::path root = fs::canonical(folder, error);
    bool ok = true;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, error))
    {
        const fs::file_status own = entry.symlink_status(error);
        if (fs::is_directory(own))
            continue;
        // Named by its place in the folder: resolving a link would name the entry after its target.
        const fs::path relative = entry.path().lexically_relative(folder);
        if (std::find(outputs.begin(), outputs.end(), root / relative) != outputs.end())
            continue;
        const fs::file_status target = entry.status(error); // a link loop is an error here, not an exception
        const char* problem = nullptr;
        if (fs::is_regular_file(target))
            problem = fs::is_symlink(own) && !LinkStaysInside(entry.path(), root) ? "links outside the folder" : nullptr;
        else if (fs::is_directory(target))
            problem = "links to a folder, which is not followed";
        else
            problem = fs::exists(target) ? "is not a plain file" : "is a link that leads to no file";
        if (problem != nullptr)
        {
            std::fprintf(stderr, "datakit: %s in %s %s\n", relative.c_str(), folder.c_str(), problem);
            ok = false;
        }
        else
            names.push_back(relative.generic_string());
    }
    if (!ok)
        std::fprintf(stderr, "datakit: nothing packed\n");
    return ok;
}
} // namespace

int RunPackCommand(const std::vector<std::string>& arguments)
{
    Arguments args;
    uint8_t method = 0;
    LzxEncoderOptions lzx;
    uint32_t platform = 1;
    uint32_t part = 0;
    if (!args.Parse(arguments) || args.positional.size() != 2 || !ParseCompression(args, method, lzx) ||
        !ParseNumberArgument("--platform", args.Option("platform", "1"), 0, ContainerIndex::kHighestPlatform, platform) ||
        !ParseNumberArgument("--part", args.Option("part", "0"), 0, FileSystemContainerMountPoint::kMaxParts - 1, part))
        return 2; // the dispatcher shows the usage
    const fs::path folder = args.positional[0];
    std::error_code error;
    if (!fs::is_directory(folder, error))
    {
        std::fprintf(stderr, "datakit: %s is not a folder\n", folder.c_str());
        return 1;
    }
    const std::string output = ContainerWriter::PartPath(args.positional[1], part);
    const std::string list = args.Option("names");
    // Packing into the packed folder would otherwise take in the container written there last time.
    std::vector<fs::path> outputs = {Place(output), Place(ContainerWriter::IndexPath(output))};
    if (!list.empty())
        outputs.push_back(Place(list));
    std::vector<std::string> names;
    if (!CollectFiles(folder, outputs, names))
        return 1;
    std::sort(names.begin(), names.end());

    ContainerWriter writer(method, static_cast<uint8_t>(platform));
    writer.SetLzxOptions(lzx);
    for (const std::string& name : names)
    {
        std::ifstream in(folder / name, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof())
        {
            std::fprintf(stderr, "datakit: cannot read %s\n", name.c_str());
            return 1;
        }
        uint32_t hash = 0;
        if (!(UnnamedEntryHash(name, hash) ? writer.AddUnnamed(hash, bytes) : writer.Add(name, bytes)))
            return 1;
    }
    if (!writer.Write(output))
        return 1;
    if (!list.empty())
    {
        std::ofstream out(list);
        for (const std::string& name : names)
            out << name << '\n';
        if (!out)
        {
            std::fprintf(stderr, "datakit: cannot write the name list %s\n", list.c_str());
            return 1;
        }
    }
    std::printf("packed %zu files into %s\n", names.size(), output.c_str());
    return 0;
}

namespace
{
// Parses a list or extract command line and opens its container; 0 when ready, else the exit code.
int OpenContainerArguments(const std::vector<std::string>& arguments, size_t positionalCount, Arguments& args,
                           ContainerReader& reader)
{
    if (!args.Parse(arguments) || args.positional.size() != positionalCount)
        return 2; // the dispatcher shows the usage
    if (!reader.Open(args.positional[0]))
    {
        std::fprintf(stderr, "datakit: cannot open container %s\n", args.positional[0].c_str());
        return 1;
    }
    return 0;
}

// Makes the folders of an entry's place below the output folder. A link already there (out/data ->
// ../elsewhere) would carry the write out of the folder, so any link on the way, the file's own place
// included, is refused by name.
bool PrepareEntryPlace(const fs::path& folder, const fs::path& relative)
{
    fs::path place = folder;
    for (auto part = relative.begin(); part != relative.end(); ++part)
    {
        place /= *part;
        std::error_code error;
        const fs::file_status status = fs::symlink_status(place, error);
        if (fs::is_symlink(status))
        {
            std::fprintf(stderr, "datakit: %s is a link, which extract does not write through; %s not written\n",
                         place.c_str(), relative.c_str());
            return false;
        }
        if (std::next(part) != relative.end() && !fs::exists(status))
            fs::create_directory(place, error);
    }
    return true;
}
} // namespace

int RunListCommand(const std::vector<std::string>& arguments)
{
    Arguments args;
    ContainerReader reader;
    if (const int status = OpenContainerArguments(arguments, 1, args, reader))
        return status;
    bool ok = true;
    const std::map<uint32_t, std::string> names = NamesByHash(args, reader.GetIndex(), ok);
    if (!ok)
        return 1;
    const ContainerIndex& index = reader.GetIndex();
    std::printf("platform %u, method %u, seed 0x%08X, %u entries\n", index.GetPlatform(), index.GetCompressionMethod(),
                index.GetSeed(), index.GetCount());
    std::printf("%-10s %10s %10s %10s %s\n", "hash", "stored", "size", "offset", "compressed name");
    for (uint32_t i = 0; i < index.GetCount(); ++i)
    {
        const ContainerIndexRecord& record = index.GetRecord(i);
        const auto name = names.find(record.hash);
        std::printf("0x%08X %10u %10u %10u %u %s\n", record.hash, record.storedSize, record.size, record.offset,
                    record.compressed, name == names.end() ? "" : name->second.c_str());
    }
    return 0;
}

int RunExtractCommand(const std::vector<std::string>& arguments)
{
    Arguments args;
    ContainerReader reader;
    if (const int status = OpenContainerArguments(arguments, 2, args, reader))
        return status;
    bool ok = true;
    const std::map<uint32_t, std::string> names = NamesByHash(args, reader.GetIndex(), ok);
    if (!ok)
        return 1;
    const fs::path folder = args.positional[1];
    std::error_code error;
    // Made even for an empty container, so that packing what was extracted gives the container back.
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder, error))
    {
        std::fprintf(stderr, "datakit: cannot make the output folder %s\n", folder.c_str());
        return 1;
    }
    const ContainerIndex& index = reader.GetIndex();
    for (uint32_t i = 0; i < index.GetCount(); ++i)
    {
        const ContainerIndexRecord& record = index.GetRecord(i);
        const auto name = names.find(record.hash);
        if (name != names.end() && !IsPathInsideFolder(name->second))
        {
            std::fprintf(stderr, "datakit: entry 0x%08X is named %s, which leaves the output folder; not written\n",
                         record.hash, name->second.c_str());
            ok = false;
            continue;
        }
        std::vector<uint8_t> bytes;
        std::string why;
        if (!reader.ReadEntry(record, bytes, &why))
        {
            std::fprintf(stderr, "datakit: entry 0x%08X%s%s %s; not extracted\n", record.hash,
                         name == names.end() ? "" : " ", name == names.end() ? "" : name->second.c_str(), why.c_str());
            ok = false;
            continue;
        }
        const fs::path relative = name == names.end() ? UnnamedEntryFile(record.hash) : name->second;
        if (!PrepareEntryPlace(folder, relative))
        {
            ok = false;
            continue;
        }
        const fs::path target = folder / relative;
        std::ofstream out(target, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out)
        {
            std::fprintf(stderr, "datakit: cannot write %s\n", target.c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
