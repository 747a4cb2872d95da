// make-demo-data <folder>: the demo game data that the README's run command plays. Writes a data
// root in container mode to <folder>/data and a per-user folder to <folder>/user whose
// configuration points at it: the project configuration with its default scene, the engine's
// shaders and system textures, a texture, an Ogg tone, entity templates (one of particles), two
// scenes with their resource lists, lightmaps, light probe maps and scripts, the scene names
// table, the string table, the font table with the system font's pages and the main script.
// Main thread.
#include "DemoScreens.h"
#include "DemoScripts.h"

#include "core/math/Matrix.h"
#include "core/reflection/ObjectRecord.h"
#include "engine/ClassRegistration.h"
#include "engine/config/GameConfig.h"
#include "engine/config/SceneNamesTable.h"
#include "gameplay/navigation/NavigationGrid.h"
#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceActions.h"
#include "gameplay/sequences/SequenceSystem.h"
#include "renderer/resources/ResourceList.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/ParticleTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "scene/templates/TemplateManager.h"
#include "tools/datakit/AnimationFileWriter.h"
#include "tools/datakit/MeshTemplateWriter.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/DataTemplateWriter.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/FontRasterizer.h"
#include "tools/datakit/FontWriter.h"
#include "tools/datakit/SceneWriter.h"
#include "tools/datakit/SoundWriter.h"
#include "tools/datakit/StringTableWriter.h"
#include "tools/datakit/BehaviourTreeText.h"
#include "tools/datakit/TemplateWriter.h"
#include "tools/datakit/LightProbeMapWriter.h"
#include "tools/datakit/TextureFileWriter.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{
struct DemoTemplate
{
    const char* folder;
    const char* name;
    uint8_t guidByte;
    uint32_t typeId = 0;
    // Behaviour tree templates: their one tree in datakit's text form.
    const char* tree = nullptr;
};

// The sentry scans each tick and now and then raises the alarm; otherwise it walks north, its walk
// south switched off through a speaker and a listener.
const char* const kSentryTree =
    "Patrol = BTTaskSelector{"
    " BTTaskSequence{BTTaskAction[Name=Scan] BTTaskRandomDecorator[Probability=20]{BTTaskAction[Name=Alarm]}}"
    " BTTaskChangePropertyDecorator[!quiet=1]{BTTaskRotateSequence{BTTaskAction[Name=WalkNorth]"
    " BTTaskAction[Name=WalkSouth;@Disabled=quiet]}}}";

// The index's unnamed root holds the folder "templates", so template paths name the mount as
// the engine's own data does ("templates/Demo/Marker").
// The marker is a lit box mesh.
const DemoTemplate kTemplates[] = {{"Demo", "Marker", 0xD1, MeshTemplate::kTypeId},
                                   {"Demo", "Beacon", 0xD2},
                                   {"Demo", "Sentry", 0xD3, BehaviourTreeTemplate::kTypeId, kSentryTree}};
const char* const kScenes[] = {"DemoField", "DemoOutpost"};

SimpleGUID GuidOf(const DemoTemplate& demoTemplate)
{
    SimpleGUID guid;
    guid.bytes[15] = demoTemplate.guidByte;
    guid.bytes[0] = 0x42;
    return guid;
}

std::string AsString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool AddRecord(DataRoot& data, const char* folder, const char* path, RTTIPolyBaseClass& object)
{
    Dynarray<uint8_t> record;
    if (!BuildObjectRecord(object, 0, record))
        return false;
    data.AddFile(folder, path, std::string(reinterpret_cast<const char*>(record.Data()), size_t(record.Count())));
    return true;
}

// An effect template of the given elements ("--sfx-element" values) with its stub; false (told)
// when the kit refuses a value.
bool AddEffectTemplate(DataRoot& data, std::vector<TemplateStubEntry>& entries, const char* name, uint8_t guidByte,
                       const std::vector<std::string>& elements)
{
    TemplateStubEntry entry;
    entry.folder = "templates/Demo";
    entry.name = name;
    entry.guid = GuidOf({"Demo", name, guidByte});
    entry.typeId = SFXTemplate::kTypeId;
    entries.push_back(entry);
    std::vector<DataTemplateWriter::Option> options = {{"--definition", "Delete timeout = 2"}};
    for (const std::string& element : elements)
        options.push_back({"--sfx-element", element});
    std::string error;
    const std::unique_ptr<EntityTemplate> body = DataTemplateWriter::MakeTemplate("SFXTemplate", options, error);
    if (body == nullptr)
    {
        std::fprintf(stderr, "make-demo-data: %s\n", error.c_str());
        return false;
    }
    const std::string path = std::string("Demo/") + name;
    data.AddFile("templates", path + ".BinaryTemplate",
                 AsString(SceneWriter::BuildTemplateBody(*body, entry.guid, SFXTemplate::kTypeId)));
    data.AddFile("templates", path + ".template", TemplateWriter::MakeStubText(entry.guid, SFXTemplate::kTypeId));
    return true;
}

// Two effects: a glow whose atlas quad plays its four frames, and a burst that shows every kind
// of element: a quad, the sparks, a light, the waver's mesh and the glow nested in it, restarting.
bool AddEffects(DataRoot& data, std::vector<TemplateStubEntry>& entries)
{
    char sparks[SimpleGUID::kTextLength + 1];
    char waver[SimpleGUID::kTextLength + 1];
    char glow[SimpleGUID::kTextLength + 1];
    GuidOf({"Demo", "Sparks", 0xD5}).ToString(sparks, sizeof(sparks));
    GuidOf({"Demo", "Waver", 0xD4}).ToString(waver, sizeof(waver));
    GuidOf({"Demo", "Glow", 0xD6}).ToString(glow, sizeof(glow));
    const std::string quad = "SFXQuadElementDefinition: Description = Glow; Texture file name = Demo/Checker.dds; ";
    return AddEffectTemplate(data, entries, "Glow", 0xD6,
                             {quad + "Texture frames X = 2; Texture frames Y = 2; Random frame timeout = 0.25"}) &&
           AddEffectTemplate(
               data, entries, "Burst", 0xD7,
               {quad + "Blending mode = 2",
                std::string("SFXParticleElementDefinition: Description = Sparks; Particle template = ") + sparks,
                "SFXPointLightElementDefinition: Description = Light",
                std::string("SFXMeshElementDefinition: Description = Waver; Mesh template = ") + waver,
                std::string("SFXEmbeddedSfxElementDefinition: Description = Nested; Start delay = 0.5; "
                            "Restart after = 2; SFX template = ") +
                    glow});
}

// The templates' stubs, their index and their binary bodies.
bool AddTemplates(DataRoot& data)
{
    std::vector<TemplateStubEntry> entries;
    for (const DemoTemplate& demoTemplate : kTemplates)
    {
        TemplateStubEntry entry;
        entry.folder = std::string("templates/") + demoTemplate.folder;
        entry.name = demoTemplate.name;
        entry.guid = GuidOf(demoTemplate);
        entry.typeId = demoTemplate.typeId;
        entries.push_back(entry);
        std::unique_ptr<EntityTemplate> body(new EntityTemplate);
        if (demoTemplate.typeId == MeshTemplate::kTypeId)
        {
            MeshTemplateSpec box;
            box.shape = MeshTemplateSpec::Shape::Box;
            box.boxSize[0] = box.boxSize[2] = 2.0f;
            box.boxSize[1] = 3.0f;
            box.deferred = true;
            body = MeshTemplateWriter::MakeTemplate(box);
        }
        else if (demoTemplate.tree != nullptr)
        {
            std::string error;
            auto* trees = new BehaviourTreeTemplate;
            body.reset(trees);
            BehaviourTree* tree = BehaviourTreeText::ParseTree(demoTemplate.tree, error);
            if (tree == nullptr)
            {
                std::fprintf(stderr, "make-demo-data: %s\n", error.c_str());
                return false;
            }
            trees->AddTree(tree);
        }
        const std::string path = std::string(demoTemplate.folder) + "/" + demoTemplate.name;
        data.AddFile("templates", path + ".BinaryTemplate",
                     AsString(SceneWriter::BuildTemplateBody(*body, entry.guid, demoTemplate.typeId)));
        data.AddFile("templates", path + ".template", TemplateWriter::MakeStubText(entry.guid, demoTemplate.typeId));
    }
    // The animated waver: a tall box skinned to a skeleton of three bones that plays "Wave" from
    // "animations/Demo/wave.bin"; its top follows the hand.
    TemplateStubEntry waver;
    waver.folder = "templates/Demo";
    waver.name = "Waver";
    waver.guid = GuidOf({"Demo", "Waver", 0xD4});
    waver.typeId = MeshTemplate::kTypeId;
    entries.push_back(waver);
    MeshTemplateSpec spec;
    spec.shape = MeshTemplateSpec::Shape::Box;
    spec.boxSize[1] = 4.0f;
    // Skinned, so drawn forward: a sorted task of the forward buckets (render switch C).
    spec.renderSwitches[0] = 0;
    spec.renderSwitches[2] = 1;
    spec.bones = {"Hips", "Spine", "Hand"};
    spec.skinned = true;
    spec.clips = {{"Wave", "Demo/wave"}};
    spec.clips[0].time = 2.0f;
    data.AddFile("templates", "Demo/Waver.BinaryTemplate",
                 AsString(SceneWriter::BuildTemplateBody(*MeshTemplateWriter::MakeTemplate(spec), waver.guid,
                                                         MeshTemplate::kTypeId)));
    data.AddFile("templates", "Demo/Waver.template", TemplateWriter::MakeStubText(waver.guid, MeshTemplate::kTypeId));
    // Sparks: a particle template whose system keeps simulating when nothing draws it.
    TemplateStubEntry sparks;
    sparks.folder = "templates/Demo";
    sparks.name = "Sparks";
    sparks.guid = GuidOf({"Demo", "Sparks", 0xD5});
    sparks.typeId = ParticleTemplate::kTypeId;
    entries.push_back(sparks);
    std::string error;
    const std::unique_ptr<EntityTemplate> sparksBody = DataTemplateWriter::MakeTemplate(
        "ParticleTemplate",
        {{"--set", "Offscreen processing = 1"}, {"--system", "Texture file name = Demo/Checker.dds"},
         {"--system", "Spawn rate = 40"}, {"--system", "Life time = 1.5"}, {"--system", "Emitter size = 1 0 1 0"},
         {"--system", "Initial velocity = 0 4 0 0"}, {"--system", "Global gravity = 0 -3 0 0"}},
        error);
    if (sparksBody == nullptr)
    {
        std::fprintf(stderr, "make-demo-data: %s\n", error.c_str());
        return false;
    }
    data.AddFile("templates", "Demo/Sparks.BinaryTemplate",
                 AsString(SceneWriter::BuildTemplateBody(*sparksBody, sparks.guid, ParticleTemplate::kTypeId)));
    data.AddFile("templates", "Demo/Sparks.template", TemplateWriter::MakeStubText(sparks.guid, ParticleTemplate::kTypeId));
    if (!AddEffects(data, entries))
        return false;
    if (!DemoScreens::Add(data, entries, GuidOf({"Demo", "Screen", 0xD8})) ||
        !DemoScreens::AddMenu(data, entries, GuidOf({"Demo", "Menu", 0xD9})))
        return false;
    data.AddFile("templates", "TemplateInfo.Bin", AsString(TemplateWriter::BuildTemplateInfo(entries)));
    return true;
}

// The walker's clip: the hand swings out along x and back, the spine leans a little.
bool AddAnimations(DataRoot& data)
{
    AnimationClipSpec wave;
    AnimationClipSpec::Track hand;
    hand.name = "Hand";
    hand.position = {{0.0f, Vector(0, 0, 0, 0)}, {0.5f, Vector(2, 0, 0, 0)}, {1.0f, Vector(0, 0, 0, 0)}};
    AnimationClipSpec::Track spine;
    spine.name = "Spine";
    Quaternion lean;
    lean.LoadZRotation(20.0f);
    spine.rotation = {{0.0f, Vector(0, 0, 0, 1)}, {0.5f, Vector(lean.x, lean.y, lean.z, lean.w)}, {1.0f, Vector(0, 0, 0, 1)}};
    wave.tracks = {spine, hand};
    const std::vector<uint8_t> bytes = AnimationFileWriter::Build(wave);
    data.AddFile("animations", "Demo/wave.bin", AsString(bytes));
    return true;
}

// A 20 x 20 grid of unit tiles centred on the origin, with a wall of blocked tiles across x = 0
// from z = -5 to 5 that a walker must go round.
SceneNavigationGrid WalledGrid()
{
    SceneNavigationGrid grid;
    grid.width = 20;
    grid.height = 20;
    grid.origin[0] = -10.0f;
    grid.origin[2] = -10.0f;
    grid.origin[3] = 1.0f;
    grid.cellSize = 1.0f;
    grid.cells.assign(size_t(grid.width) * grid.height, NavigationGrid::kTileWalkable);
    for (uint32_t y = 5; y <= 15; ++y)
        grid.cells[size_t(y) * grid.width + 10] |= NavigationGrid::kTileBlocked;
    return grid;
}

// The field's sequences: "Fanfare" raises the horn's semaphore, then after half a second starts
// "Finale", which counts the cheers on a second track while the first waits for the count.
void BuildFieldSequences(SequenceSystem& system)
{
    auto action = [](SequenceTrack& track, SequenceAction* made, float time,
                     std::initializer_list<std::pair<const char*, const char*>> values) {
        made->SetTime(time);
        for (const auto& [name, text] : values)
            made->GetClassProperties()->FindPropertyInClassChain(name)->SetFromText(made, text);
        track.GetActions().Add(made);
    };
    auto* fanfare = new Sequence;
    fanfare->SetName("Fanfare");
    auto* horn = new SequenceTrack;
    horn->SetName("Horn");
    action(*horn, new SequenceActionRaiseGlobalSemaphore, 0.5f, {{"Semaphore", "Horn"}});
    action(*horn, new SequenceActionStartSequence, 0.0f, {{"Sequence", "Finale"}});
    fanfare->GetTracks().Add(horn);
    system.AddSequence(fanfare);

    auto* finale = new Sequence;
    finale->SetName("Finale");
    auto* waiting = new SequenceTrack;
    waiting->SetName("Waiting");
    action(*waiting, new SequenceActionWaitForGlobalCountingSemaphoreToReach, 0.0f, {{"Semaphore", "Cheers"}, {"Value", "3"}});
    action(*waiting, new SequenceActionRaiseGlobalSemaphore, 2.0f, {{"Semaphore", "Curtain"}});
    auto* cheering = new SequenceTrack;
    cheering->SetName("Cheering");
    for (int i = 0; i < 3; ++i)
        action(*cheering, new SequenceActionIncreaseGlobalCountingSemaphore, 0.2f, {{"Semaphore", "Cheers"}});
    finale->GetTracks().Add(waiting);
    finale->GetTracks().Add(cheering);
    system.AddSequence(finale);
}

// A scene file of `count` entities of one template, laid out on a ring, and its resource list.
bool AddScene(DataRoot& data, const char* sceneName, const DemoTemplate& demoTemplate, uint32_t count,
              bool walled = false, const SequenceSystem* sequences = nullptr)
{
    EntityTemplateStub* stub = new EntityTemplateStub;
    stub->SetFileName(demoTemplate.name);
    stub->SetGUID(GuidOf(demoTemplate));
    if (!gTemplateManager.RegisterStub(stub))
        return false;
    EntityTemplate* entityTemplate = new EntityTemplate;
    stub->SetTemplate(entityTemplate);
    SceneFileContents contents;
    for (uint32_t i = 0; i < count; ++i)
    {
        Matrix local = Matrix::ONE;
        local.rows[3].Set(float(i % 2) * 40.0f - 20.0f, 0.0f, float(i / 2) * 40.0f - 20.0f, 1.0f);
        Entity* entity = gEntityManager.CreateEntity(entityTemplate, nullptr, local, 0, nullptr);
        if (entity == nullptr)
            return false;
        entity->SetName((std::string("Post") + std::to_string(i)).c_str());
        contents.entities.push_back({entity, GuidOf(demoTemplate), 0xFFFFFFFFu});
    }
    contents.sequences = sequences;
    contents.hasGrid = walled;
    if (walled)
        contents.grid = WalledGrid();
    data.AddFile("scenes", std::string(sceneName) + ".BinaryScene", AsString(SceneWriter::BuildBinaryScene(contents)));
    // Two lightmaps and a light probe map with one probe per layer over the posts' square.
    if (!AddLightmapSet(data, sceneName, {0, 1}))
        return false;
    LightProbeMapSpec probes;
    probes.width = 2;
    probes.height = 2;
    const float square[4] = {-40.0f, -40.0f, 40.0f, 40.0f};
    for (int i = 0; i < 4; ++i)
    {
        probes.rectangle[i] = square[i];
        probes.cells[i].assign(4, 0);
        probes.probes[i].resize(1);
    }
    data.AddFile("scenes", std::string(sceneName) + ".lpd", BuildLightProbeMap(probes));
    gEntityManager.DestroyScene();
    gTemplateManager.Clear();

    ResourceList resources;
    ResourceEntry texture;
    texture.m_name = NameString("Demo/Checker.dds");
    resources.m_textures.Add(texture);
    return AddRecord(data, "scenes", (std::string(sceneName) + ".ResList").c_str(), resources);
}

bool AddMedia(DataRoot& data)
{
    TextureFileSpec checker;
    checker.width = 64;
    checker.height = 64;
    checker.texel = [](uint32_t, uint32_t, uint32_t x, uint32_t y) {
        return ((x / 8 + y / 8) % 2) != 0 ? 0xFFE0E0E0u : 0xFF303070u;
    };
    std::string texture;
    if (!BuildTextureFile(checker, texture))
        return false;
    data.AddFile("textures", "Demo/Checker.texture", texture);

    std::vector<uint8_t> tone;
    if (!SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone({440.0, 660.0}, 44100, 3.0, 0.4), 0.5f, tone))
        return false;
    data.AddFile("sounds", "tone.ogg", AsString(tone));
    return true;
}
// The demo's localized strings, in the data kit's tab-separated form.
const char* const kDemoStrings = "Path\tSpeaker\tEnglish\tPolish\n"
                                 "Demo/Title\tnone\tTessarine demo\tDemo Tessarine\n"
                                 "Demo/Greeting\tgeneral\tWelcome, {ms|sir}{fs|madam}.\t\n"
                                 "Demo/Credits\tnone\t<title>\\nTessarine\\n<name>\\nThe demo team\\n\t\n";

// Sizes the system font is prepared in: the engine's 20 and the profiler overlay's 12.
const uint8_t kSystemFontSizes[] = {12, 20};

// The string table, the font table and the system font's binary files, rendered from a Debian
// font (synthetic glyphs when that font is not installed, so the demo still starts).
bool AddText(DataRoot& data)
{
    std::vector<StringTableRow> rows;
    std::string error;
    if (!StringTableWriter::ParseStringTableText(kDemoStrings, rows, error))
    {
        std::fprintf(stderr, "make-demo-data: strings: %s\n", error.c_str());
        return false;
    }
    const std::vector<uint8_t> table = StringTableWriter::EncodeStringTable(rows);
    data.AddFile("common", "L01n.bin", std::string(table.begin(), table.end()));
    FontTableRow system{"_system.ttf", 0, std::vector<uint8_t>(std::begin(kSystemFontSizes), std::end(kSystemFontSizes))};
    const std::vector<uint8_t> fonts = FontWriter::EncodeFontTable({system});
    data.AddFile("common", "Fonts.Config", std::string(fonts.begin(), fonts.end()));
    std::u16string characters;
    for (char16_t c = 32; c < 127; ++c)
        characters.push_back(c);
    for (char16_t c = 160; c < 256; ++c)
        characters.push_back(c);
    for (uint8_t size : kSystemFontSizes)
    {
        BinaryFontSpec font;
        if (!FontRasterizer::RenderFont(FontRasterizer::kDefaultFontPath, size, characters, font, error))
        {
            std::fprintf(stderr, "make-demo-data: %s; the system font gets synthetic glyphs\n", error.c_str());
            SyntheticFontMetrics metrics;
            metrics.advance = uint8_t(size / 2 + 1);
            metrics.drawnWidth = uint16_t(size / 2);
            metrics.height = size;
            metrics.lineHeight = size + 2u;
            font = FontWriter::MakeSyntheticFont(characters, metrics);
        }
        char name[64];
        std::snprintf(name, sizeof(name), "Fonts/_system.ttf~%03u.BinFont", unsigned(size));
        const std::vector<uint8_t> bytes = FontWriter::EncodeBinaryFont(font);
        data.AddFile("common", name, std::string(bytes.begin(), bytes.end()));
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make-demo-data <output folder>\n");
        return 2;
    }
    const std::filesystem::path root = std::filesystem::absolute(argv[1]);
    const std::string dataPath = (root / "data").string();
    RegisterAllClasses();
    gEntityManager.Init(BoundingBox4(Vector(-1.0e4f, -1.0e3f, -1.0e4f, 1.0f), Vector(1.0e4f, 1.0e3f, 1.0e4f, 1.0f)),
                        100.0f);

    DataRoot data;
    SequenceSystem fieldSequences;
    BuildFieldSequences(fieldSequences);
    data.GetProjectConfig().m_defaultScene = kScenes[0];
    // Shadow-map biases that keep the boxes' shadows on the ground at the default map size.
    data.GetProjectConfig().m_depthBias = 0.0005f;
    data.GetProjectConfig().m_slopeDepthBias = 0.001f;
    data.GetProjectConfig().m_uiPropertyNames.Add(NameString(DemoScreens::kStatusProperty));
    SceneNamesTable sceneNames;
    for (const char* scene : kScenes)
        sceneNames.m_sceneNames.Add(NameString(scene));
    const bool built = AddEngineStartupData(data) && AddMedia(data) && AddAnimations(data) && AddTemplates(data) &&
                       AddScene(data, kScenes[0], kTemplates[1], 4, false, &fieldSequences) &&
                       AddScene(data, kScenes[1], kTemplates[1], 1, true) &&
                       AddRecord(data, "common", SceneNamesTable::kFileName, sceneNames) && AddText(data);
    if (!built)
    {
        std::fprintf(stderr, "make-demo-data: the demo data could not be built\n");
        return 1;
    }
    data.AddFile("common", "scripts/Main.lua", DemoScripts::kMain);
    data.AddFile("scenes", "DemoField.lua", DemoScripts::kField);
    data.AddFile("scenes", "DemoOutpost.lua", DemoScripts::kOutpost);
    if (!data.Write(dataPath, true))
        return 1;

    // The player's configuration: a window of 1280 by 720 over the data just written.
    GameConfig config;
    config.m_repositoryPath = dataPath;
    config.m_useContainerFiles = true;
    config.m_fullScreenMode = false;
    config.m_windowWidth = 1280;
    config.m_windowHeight = 720;
    const std::string userConfig = (root / "user" / "Orvalworks" / "Tessarine" / "config.bin").string();
    if (!DataRoot::WriteConfigRecord(config, userConfig))
        return 1;
    std::printf("demo data written to %s (user folder %s)\n", dataPath.c_str(), (root / "user").string().c_str());
    return 0;
}
