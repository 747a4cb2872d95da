// The template and scene subcommands of datakit: stub files and TemplateInfo.Bin from a list, binary
// templates, optimized templates files, demo scenes of many entities, and a scene file's listing.
#include "core/filesystem/FileSystem.h"
#include "core/math/Matrix.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/EntitySet.h"
#include "scene/entities/SceneEntity.h"
#include "scene/templates/BinarySceneReader.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/InputFile.h"
#include "tools/datakit/NavigationMapText.h"
#include "tools/datakit/NumberArgument.h"
#include "tools/datakit/SceneWriter.h"
#include "tools/datakit/TemplateWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

namespace
{
constexpr int64_t kMaxTypeId = TemplateTypeRegistry::kTypeCount - 1;
// The initialisation passes a template may ask for.
constexpr int64_t kMaxPasses = 5;
// Bounds of the made-up scenes: the entities beside the scene root that the engine can index, and a
// grid of at most 2^28 one-byte cells.
constexpr int64_t kMaxSceneEntities = kMaxEntities - 1;
constexpr int64_t kMaxSceneSets = 1000;
// The widest spacing that keeps the most entities inside the scene's world box.
constexpr double kMaxSceneSpacing = 500.0;
constexpr uint32_t kMaxGridSide = 16384;

bool ParseGUID(const std::string& text, SimpleGUID& guid)
{
    if (guid.FromString(text.c_str()))
        return true;
    std::fprintf(stderr, "datakit: not a GUID: %s\n", text.c_str());
    return false;
}

// Options "--name value" after the positional arguments.
std::map<std::string, std::string> Options(const std::vector<std::string>& arguments, size_t first)
{
    std::map<std::string, std::string> options;
    for (size_t i = first; i + 1 < arguments.size(); i += 2)
        options[arguments[i]] = arguments[i + 1];
    return options;
}

// A scene of its own for the commands that build or read entities.
void StartScene()
{
    RegisterSceneClasses();
    gEntityManager.Init(BoundingBox4(Vector(-1.0e5f, -1.0e4f, -1.0e5f, 1.0f), Vector(1.0e5f, 1.0e4f, 1.0e5f, 1.0f)),
                        100.0f);
    gEntityManager.NewScene();
}

void EndScene()
{
    gEntityManager.DestroyScene();
    gTemplateManager.Clear();
}

EntityTemplate* RegisterMemoryTemplate(const SimpleGUID& guid, const std::string& name)
{
    if (EntityTemplateStub* known = gTemplateManager.FindStubByGUID(guid))
        return known->GetTemplate();
    EntityTemplateStub* stub = new EntityTemplateStub;
    stub->SetFileName(name.c_str());
    stub->SetGUID(guid);
    if (!gTemplateManager.RegisterStub(stub))
        return nullptr;
    EntityTemplate* entityTemplate = new EntityTemplate;
    stub->SetTemplate(entityTemplate);
    return entityTemplate;
}
} // namespace

// templates <out folder> <list.txt> [--info <out TemplateInfo.Bin>]; lines "<folder/name> <GUID> <type>".
int RunTemplatesCommand(const std::vector<std::string>& arguments)
{
    if (arguments.size() < 2)
        return 2;
    std::string text;
    if (!ReadInputFile(arguments[1], text))
        return 1;
    std::istringstream list(text);
    std::vector<TemplateStubEntry> entries;
    std::string path;
    std::string guidText;
    std::string typeText;
    while (list >> path >> guidText >> typeText)
    {
        TemplateStubEntry entry;
        const size_t slash = path.find_last_of("/\\");
        entry.folder = slash == std::string::npos ? "" : path.substr(0, slash);
        entry.name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (!ParseNumberArgument("the type of " + path, typeText, 0, kMaxTypeId, entry.typeId) ||
            !ParseGUID(guidText, entry.guid))
            return 1;
        entries.push_back(entry);
    }
    if (!TemplateWriter::WriteStubFiles(arguments[0], entries))
        return 1;
    const std::map<std::string, std::string> options = Options(arguments, 2);
    if (options.count("--info") != 0 &&
        !TemplateWriter::WriteFile(options.at("--info"), TemplateWriter::BuildTemplateInfo(entries)))
        return 1;
    std::printf("%zu template stubs written\n", entries.size());
    return 0;
}

// binary-template <out file> <GUID> <type> [--lua-class X] [--passes N]
int RunBinaryTemplateCommand(const std::vector<std::string>& arguments)
{
    SimpleGUID guid;
    uint32_t typeId = 0;
    uint32_t passes = 0;
    if (arguments.size() < 3 || !ParseGUID(arguments[1], guid) ||
        !ParseNumberArgument("<type>", arguments[2], 0, kMaxTypeId, typeId))
        return 2;
    const std::map<std::string, std::string> options = Options(arguments, 3);
    if (options.count("--passes") != 0 && !ParseNumberArgument("--passes", options.at("--passes"), 0, kMaxPasses, passes))
        return 2;
    RegisterSceneClasses();
    EntityTemplate source;
    if (options.count("--lua-class") != 0)
        source.SetLuaClass(options.at("--lua-class").c_str());
    source.SetInitializationPassCount(passes);
    return TemplateWriter::WriteFile(arguments[0], SceneWriter::BuildTemplateBody(source, guid, typeId)) ? 0 : 1;
}

// opt <out.opt> <body file>[:mask]...
int RunOptimizedTemplatesCommand(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return 2;
    std::vector<OptimizedTemplateEntry> entries;
    for (size_t i = 1; i < arguments.size(); ++i)
    {
        std::string file = arguments[i];
        OptimizedTemplateEntry entry;
        const size_t colon = file.rfind(':');
        if (colon != std::string::npos)
        {
            if (!ParseNumberArgument("the variation mask of " + file.substr(0, colon), file.substr(colon + 1), 0, UINT32_MAX,
                                     entry.variationMask))
                return 2;
            file.resize(colon);
        }
        std::string body;
        if (!ReadInputFile(file, body))
            return 1;
        entry.body.assign(body.begin(), body.end());
        entries.push_back(std::move(entry));
    }
    return TemplateWriter::WriteFile(arguments[0], SceneWriter::BuildOptimizedTemplates(entries)) ? 0 : 1;
}

// scene-write <out.BinaryScene> <template GUID> <entity count> [--grid WxH | --grid-map <map.txt>] [--sets N]
// [--spacing S]; the spacing is also the navigation tile size.
int RunSceneWriteCommand(const std::vector<std::string>& arguments)
{
    SimpleGUID templateGUID;
    uint32_t count = 0;
    if (arguments.size() < 3 || !ParseGUID(arguments[1], templateGUID) ||
        !ParseNumberArgument("<entity count>", arguments[2], 0, kMaxSceneEntities, count))
        return 2;
    const std::map<std::string, std::string> options = Options(arguments, 3);
    double spacing = 10.0;
    uint32_t setCount = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    const auto given = [&options](const char* option) { return options.count(option) != 0; };
    if ((given("--spacing") &&
         !ParseDecimalArgument("--spacing", options.at("--spacing"), 0.01, kMaxSceneSpacing, spacing)) ||
        (given("--sets") && !ParseNumberArgument("--sets", options.at("--sets"), 0, kMaxSceneSets, setCount)) ||
        (given("--grid") && !ParseNumberPairArgument("--grid", options.at("--grid"), 1, kMaxGridSide, width, height)))
        return 2;
    const float tile = float(spacing);
    std::string map;
    if (options.count("--grid-map") != 0 && !ReadInputFile(options.at("--grid-map"), map))
        return 1;
    StartScene();
    EntityTemplate* entityTemplate = RegisterMemoryTemplate(templateGUID, "template");
    SceneFileContents contents;
    const uint32_t side = 1 + uint32_t(std::sqrt(double(count)));
    for (uint32_t i = 0; i < count; ++i)
    {
        Matrix local = Matrix::ONE;
        local.rows[3].Set(float(i % side) * tile, 0.0f, float(i / side) * tile, 1.0f);
        Entity* entity = gEntityManager.CreateEntity(entityTemplate, nullptr, local, 0, nullptr);
        if (entity == nullptr)
        {
            EndScene();
            return 1;
        }
        char name[32];
        std::snprintf(name, sizeof(name), "Entity%u", i);
        entity->SetName(name);
        contents.entities.push_back({entity, templateGUID, 0xFFFFFFFFu});
    }
    std::vector<std::unique_ptr<EntitySet>> sets;
    for (uint32_t s = 0; s < setCount; ++s)
    {
        sets.push_back(std::make_unique<EntitySet>());
        sets.back()->SetName(("Set" + std::to_string(s)).c_str());
        for (uint32_t i = s; i < count; i += setCount)
            sets.back()->AddEntity(const_cast<Entity*>(contents.entities[i].entity));
        contents.sets.push_back(sets.back().get());
    }
    if (options.count("--grid") != 0)
    {
        contents.hasGrid = true;
        contents.grid.width = width;
        contents.grid.height = height;
        contents.grid.cellSize = tile;
        contents.grid.cells.assign(size_t(width) * height, 0);
        for (size_t c = 0; c < contents.grid.cells.size(); ++c)
            contents.grid.cells[c] = uint8_t(c % 3 == 0);
    }
    else if (options.count("--grid-map") != 0)
    {
        std::string error;
        if (!NavigationMapText::Parse(map, contents.grid, error))
        {
            std::fprintf(stderr, "datakit: cannot read the grid map %s %s\n", options.at("--grid-map").c_str(),
                         error.c_str());
            EndScene();
            return 2;
        }
        contents.hasGrid = true;
        contents.grid.cellSize = tile;
        contents.grid.origin[3] = 1.0f;
    }
    const bool written = TemplateWriter::WriteFile(arguments[0], SceneWriter::BuildBinaryScene(contents));
    sets.clear();
    EndScene();
    return written ? 0 : 1;
}

// scene-print <scene.BinaryScene>: the entities with their template, name, GUID and position.
int RunScenePrintCommand(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1)
        return 2;
    std::string file;
    if (!ReadInputFile(arguments[0], file))
        return 1;
    const std::vector<uint8_t> bytes(file.begin(), file.end());
    StartScene();
    // Every template the file names stands in as a plain template, so every record loads.
    std::vector<SimpleGUID> guids;
    bool loaded = BinarySceneReader::ListTemplateGUIDs(bytes.data(), bytes.size(), guids);
    for (const SimpleGUID& guid : guids)
        RegisterMemoryTemplate(guid, guid.ToStringUnsafe());
    loaded = loaded && BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(),
                                                          BinarySceneReader::kApplyNavigationGrid, 0,
                                                          BinarySceneReader::kAllVariations);
    if (!loaded)
    {
        // The reader's reasons are engine log lines, which a listing shows only with --verbose.
        std::fprintf(stderr, "datakit: %s is not a whole scene file\n", arguments[0].c_str());
        EndScene();
        return 1;
    }
    const Dynarray<Entity*>& children = gEntityManager.GetSceneRoot()->GetChildren();
    std::printf("%d entities, %d sets, navigation grid: %s\n", children.Count(), gEntityManager.GetEntitySets().Count(),
                gEntityManager.GetNavigationGrid() != nullptr ? "yes" : "no");
    for (const Entity* entity : children)
    {
        char entityGUID[SimpleGUID::kTextLength + 1];
        char templateGUID[SimpleGUID::kTextLength + 1];
        entity->GetGUID().ToString(entityGUID, sizeof(entityGUID));
        const EntityTemplate* entityTemplate = entity->GetTemplate();
        const EntityTemplateStub* stub = entityTemplate != nullptr ? entityTemplate->GetStub() : nullptr;
        SimpleGUID none;
        (stub != nullptr ? stub->GetGUID() : none).ToString(templateGUID, sizeof(templateGUID));
        const Vector& position = entity->GetLocalPosition();
        std::printf("%s  %-24s %s  (%g, %g, %g)\n", templateGUID, entity->GetName(), entityGUID, position.x,
                    position.y, position.z);
    }
    EndScene();
    return 0;
}
