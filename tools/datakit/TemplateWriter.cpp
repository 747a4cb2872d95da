#include "tools/datakit/TemplateWriter.h"

#include "core/strings/StringUtils.h"
#include "scene/templates/EntityTemplateStub.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

namespace
{
void PutTemplateU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

struct FolderNode
{
    std::vector<const TemplateStubEntry*> stubs;
    std::vector<std::pair<std::string, std::unique_ptr<FolderNode>>> folders;

    FolderNode* Child(const std::string& name)
    {
        for (auto& [childName, node] : folders)
            if (StrICmp(childName.c_str(), name.c_str()) == 0)
                return node.get();
        folders.emplace_back(name, std::make_unique<FolderNode>());
        return folders.back().second.get();
    }
};

void WriteFolder(std::vector<uint8_t>& out, const std::string* name, FolderNode& node)
{
    if (name == nullptr)
        PutTemplateU32(out, 0);
    else
    {
        PutTemplateU32(out, uint32_t(name->size() + 1));
        out.insert(out.end(), name->begin(), name->end());
        out.push_back(0);
    }
    std::stable_sort(node.stubs.begin(), node.stubs.end(), [](const TemplateStubEntry* a, const TemplateStubEntry* b) {
        return StrICmp(a->name.c_str(), b->name.c_str()) < 0;
    });
    PutTemplateU32(out, uint32_t(node.stubs.size()));
    for (const TemplateStubEntry* stub : node.stubs)
        out.insert(out.end(), stub->guid.bytes, stub->guid.bytes + 16);
    std::stable_sort(node.folders.begin(), node.folders.end(), [](const auto& a, const auto& b) {
        return StrICmp(a.first.c_str(), b.first.c_str()) < 0;
    });
    PutTemplateU32(out, uint32_t(node.folders.size()));
    for (auto& [childName, child] : node.folders)
        WriteFolder(out, &childName, *child);
}
} // namespace

namespace TemplateWriter
{
std::string MakeStubText(const SimpleGUID& guid, uint32_t typeId, const std::string& body)
{
    char text[SimpleGUID::kTextLength + 1];
    guid.ToString(text, sizeof(text));
    return "<TemplateStub GUID=\"" + std::string(text) + "\" Type=\"" + std::to_string(typeId) + "\"/>\n" + body;
}

bool WriteStubFiles(const std::string& root, const std::vector<TemplateStubEntry>& entries)
{
    for (const TemplateStubEntry& entry : entries)
    {
        const std::filesystem::path folder = entry.folder.empty() ? root : root + "/" + entry.folder;
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const std::string text = MakeStubText(entry.guid, entry.typeId);
        if (!WriteFile((folder / (entry.name + ".template")).string(), std::vector<uint8_t>(text.begin(), text.end())))
            return false;
    }
    return true;
}

std::vector<uint8_t> BuildTemplateInfo(const std::vector<TemplateStubEntry>& entries)
{
    std::vector<const TemplateStubEntry*> byGUID;
    for (const TemplateStubEntry& entry : entries)
        byGUID.push_back(&entry);
    std::stable_sort(byGUID.begin(), byGUID.end(),
                     [](const TemplateStubEntry* a, const TemplateStubEntry* b) { return a->guid < b->guid; });
    std::vector<uint8_t> out;
    PutTemplateU32(out, uint32_t(byGUID.size()));
    FolderNode root;
    for (const TemplateStubEntry* entry : byGUID)
    {
        EntityTemplateStub stub;
        stub.SetFileName(entry->name.c_str());
        stub.SetGUID(entry->guid);
        stub.SetTypeId(entry->typeId);
        const size_t size = stub.SerializeToMemory(nullptr, 0, 0);
        std::vector<uint8_t> payload(size);
        stub.SerializeToMemory(payload.data(), payload.size(), 0);
        PutTemplateU32(out, uint32_t(size));
        out.insert(out.end(), payload.begin(), payload.end());

        FolderNode* node = &root;
        size_t start = 0;
        while (start < entry->folder.size())
        {
            size_t end = entry->folder.find_first_of("/\\", start);
            if (end == std::string::npos)
                end = entry->folder.size();
            if (end > start)
                node = node->Child(entry->folder.substr(start, end - start));
            start = end + 1;
        }
        node->stubs.push_back(entry);
    }
    WriteFolder(out, nullptr, root);
    return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    const bool written =
        file != nullptr && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    if (file != nullptr && std::fclose(file) == 0 && written)
        return true;
    // The commands writing through here only exit 1: the user still learns which file failed.
    std::fprintf(stderr, "datakit: cannot write %s\n", path.c_str());
    return false;
}
} // namespace TemplateWriter
