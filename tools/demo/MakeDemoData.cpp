// make-demo-data <folder>: the demo game data that the README's run command plays. Writes a data
// root in container mode to <folder>/data and a per-user folder to <folder>/user whose
// configuration points at it: the project configuration with its default scene, the engine's
// shaders and system textures, a texture, the game's cursor texture, three Ogg sounds, an Ogg
// Theora video, entity templates
// (meshes, a skinned mesh, particles, effects, a behaviour tree, a light, the scene parameters and
// two layout assets), two scenes with their ground, sun, lamp, resource lists, lightmaps, light
// probe maps and scripts, the scene names table, the string table, the font table with the system
// font's pages and the main script.
// Main thread.
#include "DemoBodyNaming.h"
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
#include "scene/entities/EntityConstants.h"
#include "scene/entities/SceneEntity.h"
#include "scene/entities/EntityManager.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/kinds/FlagEntity.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/GraphEntity.h"
#include "scene/kinds/GraphTemplate.h"
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
#include "tools/datakit/FontRasterizer.h"
#include "tools/datakit/FontWriter.h"
#include "tools/datakit/SceneWriter.h"
#include "tools/datakit/SoundWriter.h"
#include "tools/datakit/StringTableWriter.h"
#include "tools/datakit/BehaviourTreeText.h"
#include "tools/datakit/TemplateWriter.h"
#include "tools/datakit/LightProbeMapWriter.h"
#include "tools/datakit/TextureFileWriter.h"
#include "tools/datakit/VideoWriter.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
// The sentry scans each tick and now and then raises the alarm; otherwise it walks north, its walk
// south switched off through a speaker and a listener.
const char* const kSentryTree =
    "Patrol = BTTaskSelector{"
    " BTTaskSequence{BTTaskAction[Name=Scan] BTTaskRandomDecorator[Probability=20]{BTTaskAction[Name=Alarm]}}"
    " BTTaskChangePropertyDecorator[!quiet=1]{BTTaskRotateSequence{BTTaskAction[Name=WalkNorth]"
    " BTTaskAction[Name=WalkSouth;@Disabled=quiet]}}}";

const char* const kScenes[] = {"DemoField", "DemoOutpost"};
// The top of the ground box: everything in the scenes stands on it, in front of the camera, which
// looks along +z from the origin.
constexpr float kGroundLevel = -6.0f;

// The demo's templates, all under "templates/Demo" (the index's unnamed root holds the folder
// "templates", so template paths name the mount as the engine's own data does).
struct DemoTemplate
{
    const char* name;
    uint8_t guidByte;
    uint32_t typeId;
};
const DemoTemplate kMarker{"Marker", 0xD1, MeshTemplate::kTypeId};
const DemoTemplate kBeacon{"Beacon", 0xD2, MeshTemplate::kTypeId};
const DemoTemplate kSentry{"Sentry", 0xD3, BehaviourTreeTemplate::kTypeId};
const DemoTemplate kWaver{"Waver", 0xD4, MeshTemplate::kTypeId};
const DemoTemplate kSparks{"Sparks", 0xD5, ParticleTemplate::kTypeId};
const DemoTemplate kGlow{"Glow", 0xD6, SFXTemplate::kTypeId};
const DemoTemplate kBurst{"Burst", 0xD7, SFXTemplate::kTypeId};
const DemoTemplate kGround{"Ground", 0xDA, MeshTemplate::kTypeId};
const DemoTemplate kDaylight{"Daylight", 0xDB, ENTITY_SCENEPARAMBOX};
const DemoTemplate kLamp{"Lamp", 0xDC, ENTITY_LIGHT};
const DemoTemplate kPaths{"Paths", 0xDD, GraphTemplate::kTypeId};
const DemoTemplate kPathNode{"PathNode", 0xDE, FlagTemplate::kTypeId};

SimpleGUID GuidOf(uint8_t guidByte)
{
    SimpleGUID guid;
    guid.bytes[15] = guidByte;
    guid.bytes[0] = 0x42;
    return guid;
}

std::string GuidText(const DemoTemplate& demoTemplate)
{
    char text[SimpleGUID::kTextLength + 1];
    GuidOf(demoTemplate.guidByte).ToString(text, sizeof(text));
    return text;
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

// A template of a data kit class with its options; null (told) when the kit refuses one.
std::unique_ptr<EntityTemplate> KitTemplate(const char* className, const std::vector<DataTemplateWriter::Option>& options)
{
    std::string error;
    std::unique_ptr<EntityTemplate> body = DataTemplateWriter::MakeTemplate(className, options, error);
    if (body == nullptr)
        std::fprintf(stderr, "make-demo-data: %s\n", error.c_str());
    return body;
}

std::unique_ptr<MeshTemplate> BoxTemplate(float width, float height, float depth)
{
    MeshTemplateSpec box;
    box.shape = MeshTemplateSpec::Shape::Box;
    box.boxSize[0] = width;
    box.boxSize[1] = height;
    box.boxSize[2] = depth;
    box.deferred = true;
    return MeshTemplateWriter::MakeTemplate(box);
}

// An effect template of the given elements ("--sfx-element" values).
std::unique_ptr<EntityTemplate> EffectTemplate(const std::vector<std::string>& elements)
{
    std::vector<DataTemplateWriter::Option> options = {{"--definition", "Delete timeout = 2"}};
    for (const std::string& element : elements)
        options.push_back({"--sfx-element", element});
    return KitTemplate("SFXTemplate", options);
}

// The body of each template; null (told) when it cannot be made.
std::unique_ptr<EntityTemplate> BuildBody(const DemoTemplate& demoTemplate)
{
    const std::string name = demoTemplate.name;
    // The markers cast blob shadows too, a square of 5 by 5 around their foot, thrown a little away
    // from the sun; the scenes in the mobile colour modes (1 and 2) show them.
    if (name == kMarker.name)
    {
        std::unique_ptr<MeshTemplate> marker = BoxTemplate(2.0f, 3.0f, 2.0f);
        if (marker != nullptr)
        {
            MeshFakeShadowDefinition& blob = marker->EditFakeShadow();
            blob.m_enabled = true;
            blob.m_bodyMapping = Vector(0.0f, 0.0f, 1.0f, 1.0f);
            blob.m_bodyScaleOffset = Vector(5.0f, 5.0f, 0.5f, 0.5f);
            blob.m_bodyPivotY = 0.5f;
        }
        return marker;
    }
    if (name == kBeacon.name)
        return BoxTemplate(1.0f, 6.0f, 1.0f);
    // A slab under the whole field of view, lit by the sun and taking the shadows.
    if (name == kGround.name)
        return BoxTemplate(70.0f, 1.0f, 80.0f);
    // Cyan ribbons half a unit wide, the texture repeating every unit of path.
    if (name == kPaths.name)
    {
        auto paths = std::make_unique<GraphTemplate>();
        for (const auto& [property, text] : {std::pair{"Width", "0.5"}, std::pair{"Texture", "Demo/Road.dds"},
                                             std::pair{"Mappnig size", "1"}})
            if (!paths->GetClassProperties()->FindPropertyInClassChain(property)->SetFromText(paths.get(), text))
                return nullptr;
        return paths;
    }
    if (name == kPathNode.name)
        return std::make_unique<FlagTemplate>();
    if (name == kSentry.name)
    {
        std::string error;
        BehaviourTree* tree = BehaviourTreeText::ParseTree(kSentryTree, error);
        if (tree == nullptr)
        {
            std::fprintf(stderr, "make-demo-data: %s\n", error.c_str());
            return nullptr;
        }
        auto trees = std::make_unique<BehaviourTreeTemplate>();
        trees->AddTree(tree);
        return trees;
    }
    // The animated waver: a tall box skinned to a skeleton of three bones that plays "Wave" from
    // "animations/Demo/wave.bin"; its top follows the hand.
    if (name == kWaver.name)
    {
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
        return MeshTemplateWriter::MakeTemplate(spec);
    }
    // Sparks: orange flecks half a unit across, from a particle template whose system keeps
    // simulating when nothing draws it.
    if (name == kSparks.name)
        return KitTemplate("ParticleTemplate",
                           {{"--set", "Offscreen processing = 1"}, {"--system", "Texture file name = Demo/Checker.dds"},
                            {"--system", "Spawn rate = 40"}, {"--system", "Life time = 1.5"},
                            {"--system", "Emitter size = 1 0 1 0"}, {"--system", "Initial velocity = 0 4 0 0"},
                            {"--system", "Global gravity = 0 -3 0 0"}, {"--system", "Node 0 size = 0.3"},
                            {"--system", "Node 1 size = 0.5"}, {"--system", "Node 2 size = 0.4"},
                            {"--system", "Node 3 size = 0.2"}, {"--system", "Node 1 color = 255 200 60 255 1"},
                            {"--system", "Node 2 color = 255 110 30 255 1"}});
    // Two effects: a glow whose atlas quad plays its four frames, and a burst that shows every kind
    // of element: a quad, the sparks, a light, the waver's mesh and the glow nested in it, restarting.
    const std::string quad = "SFXQuadElementDefinition: Description = Glow; Texture file name = Demo/Checker.dds; ";
    if (name == kGlow.name)
        return EffectTemplate({quad + "Texture frames X = 2; Texture frames Y = 2; Random frame timeout = 0.25"});
    if (name == kBurst.name)
        return EffectTemplate(
            {quad + "Blending mode = 2",
             "SFXParticleElementDefinition: Description = Sparks; Particle template = " + GuidText(kSparks),
             "SFXPointLightElementDefinition: Description = Light",
             "SFXMeshElementDefinition: Description = Waver; Mesh template = " + GuidText(kWaver),
             "SFXEmbeddedSfxElementDefinition: Description = Nested; Start delay = 0.5; Restart after = 2; "
             "SFX template = " + GuidText(kGlow)});
    // The scenes' look: a warm sun from the left and behind the camera, casting the boxes' shadows;
    // the post-processing's vignette starts beyond the screen's corners, so that it darkens nothing.
    if (name == kDaylight.name)
        return KitTemplate("SceneParametersTemplate",
                           {{"--set", "Affects sun = 1"}, {"--set", "Light yaw = 40"}, {"--set", "Light pitch = 50"},
                            {"--set", "Color = 170 160 140 255 1"}, {"--set", "Secondary color = 60 70 110 255 1"},
                            {"--set", "Shadow strength = 0.8"}, {"--set", "Vignette start = 1"}});
    if (name == kLamp.name)
        return KitTemplate("LightTemplate", {{"--set", "Light type = 0"}});
    std::fprintf(stderr, "make-demo-data: no body for template %s\n", demoTemplate.name);
    return nullptr;
}

// The body, named by its template's path.
std::unique_ptr<EntityTemplate> MakeBody(const DemoTemplate& demoTemplate)
{
    std::unique_ptr<EntityTemplate> body = BuildBody(demoTemplate);
    if (body != nullptr)
        DemoBodyNaming::Name(*body, std::string("Demo/") + demoTemplate.name);
    return body;
}

void AddTemplateFiles(DataRoot& data, std::vector<TemplateStubEntry>& entries, const DemoTemplate& demoTemplate,
                      const EntityTemplate& body)
{
    TemplateStubEntry entry;
    entry.folder = "templates/Demo";
    entry.name = demoTemplate.name;
    entry.guid = GuidOf(demoTemplate.guidByte);
    entry.typeId = demoTemplate.typeId;
    entries.push_back(entry);
    const std::string path = std::string("Demo/") + demoTemplate.name;
    data.AddFile("templates", path + ".BinaryTemplate",
                 AsString(SceneWriter::BuildTemplateBody(body, entry.guid, demoTemplate.typeId)));
    data.AddFile("templates", path + ".template", TemplateWriter::MakeStubText(entry.guid, demoTemplate.typeId));
}

// The templates' stubs, their index and their binary bodies, the layout assets among them.
bool AddTemplates(DataRoot& data)
{
    std::vector<TemplateStubEntry> entries;
    for (const DemoTemplate* demoTemplate :
         {&kMarker, &kBeacon, &kSentry, &kWaver, &kSparks, &kGlow, &kBurst, &kGround, &kDaylight, &kLamp, &kPaths,
          &kPathNode})
    {
        const std::unique_ptr<EntityTemplate> body = MakeBody(*demoTemplate);
        if (body == nullptr)
            return false;
        AddTemplateFiles(data, entries, *demoTemplate, *body);
    }
    if (!DemoScreens::Add(data, entries, GuidOf(0xD8)) || !DemoScreens::AddMenu(data, entries, GuidOf(0xD9)))
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

// A 20 x 20 grid of unit tiles on the ground in front of the camera (x from -10 to 10, z from 30
// to 50), with a wall of blocked tiles across x = 0 from z = 35 to 45 that a walker must go round.
SceneNavigationGrid WalledGrid()
{
    SceneNavigationGrid grid;
    grid.width = 20;
    grid.height = 20;
    grid.origin[0] = -10.0f;
    grid.origin[1] = kGroundLevel;
    grid.origin[2] = 30.0f;
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

// One entity of a scene file: its template, its name, where it stands (in its parent's space) and
// the property values it keeps, and the name of an earlier placement that is its parent.
struct Placement
{
    const DemoTemplate& demoTemplate;
    const char* name;
    Vector position;
    std::vector<std::pair<const char*, const char*>> values;
    const char* parent = nullptr;
};

// The field's paths on the ground left of the burst: four nodes, the first two joined both ways,
// the second leading on to the third, and the third to the fourth round a bend.
std::vector<Placement> DemoPaths()
{
    return {{kPaths, "Paths", Vector(-4.0f, kGroundLevel, 24.0f, 1.0f), {}},
            {kPathNode, "PathA", Vector(-1.5f, 0.0f, -1.5f, 1.0f), {}, "Paths"},
            {kPathNode, "PathB", Vector(1.5f, 0.0f, -1.5f, 1.0f), {}, "Paths"},
            {kPathNode, "PathC", Vector(1.5f, 0.0f, 2.5f, 1.0f), {}, "Paths"},
            {kPathNode, "PathD", Vector(-1.5f, 0.0f, 2.5f, 1.0f), {}, "Paths"}};
}

// Joins the paths' nodes where a scene has them; false when one of a pair is not a node.
bool JoinDemoPaths(const std::map<std::string, Entity*>& byName)
{
    struct Link
    {
        const char* from;
        const char* to;
        bool bend;
    };
    const Link links[] = {{"PathA", "PathB", false}, {"PathB", "PathA", false}, {"PathB", "PathC", false},
                          {"PathC", "PathD", true}};
    GraphEntity* joined = nullptr;
    for (const Link& link : links)
    {
        const auto from = byName.find(link.from), to = byName.find(link.to);
        if (from == byName.end() || to == byName.end())
            continue;
        auto* a = dynamic_cast<FlagEntity*>(from->second);
        auto* b = dynamic_cast<FlagEntity*>(to->second);
        auto* graph = a != nullptr ? dynamic_cast<GraphEntity*>(a->GetParent()) : nullptr;
        if (b == nullptr || graph == nullptr)
            return false;
        graph->Connect(a, b);
        joined = graph;
        const int32_t index = a->FindConnectionIndex(b);
        if (index < 0)
            return false;
        if (link.bend)
        {
            // Beyond the two nodes' line, in the graph's space.
            FlagEntityConnectionControlPoint point;
            point.m_position.Set(0.0f, 0.0f, 3.5f);
            a->GetConnection(index).m_controlPoints.Add(point);
        }
    }
    // The stored box is what the frame's visibility test reads: it must cover the nodes.
    if (joined != nullptr)
        joined->RecomputeLocalBounds();
    return true;
}

// Every scene has the ground, the daylight that the scene root makes active, and a red lamp whose
// light pools on the ground left of the markers' ring.
std::vector<Placement> SceneBasics()
{
    return {{kGround, "Ground", Vector(0.0f, kGroundLevel - 1.0f, 50.0f, 1.0f), {}},
            {kDaylight, "Daylight", Vector(0.0f, 0.0f, 0.0f, 1.0f), {}},
            {kLamp, "Lamp", Vector(-14.0f, kGroundLevel + 1.5f, 48.0f, 1.0f),
             {{"Color", "255 40 20 255 2"}, {"Start falloff", "2"}, {"End falloff", "7"}}}};
}

// A scene file of the placed entities, with its resource list, lightmaps and light probe map.
// A walled scene has the grid with the wall; a scene of the mobile look draws in scene colour mode 1,
// with blob shadows in place of the sun's shadow map.
bool AddScene(DataRoot& data, const char* sceneName, const std::vector<Placement>& placements, bool walled = false,
              const SequenceSystem* sequences = nullptr, bool mobileLook = false)
{
    // The entities hang under a fresh scene root, whose destruction takes them with it.
    gEntityManager.NewScene();
    SceneEntity& root = *gEntityManager.GetSceneRoot();
    // The scene's height range is the floor the sun's shadow map is fitted down to: kept close to
    // the ground, the map's texels stay small enough for the boxes' shadows to show.
    for (const auto& [name, text] : {std::pair{"Universe bbox min y", "-8"}, std::pair{"Universe bbox max y", "10"},
                                     std::pair{"Visualization mode", mobileLook ? "1" : "3"}})
        if (!root.GetClassProperties()->FindPropertyInClassChain(name)->SetFromText(&root, text))
            return false;
    SceneFileContents contents;
    std::map<std::string, Entity*> byName;
    for (const Placement& placement : placements)
    {
        const SimpleGUID guid = GuidOf(placement.demoTemplate.guidByte);
        EntityTemplate* entityTemplate = gTemplateManager.GetTemplateByGUID(guid, false);
        if (entityTemplate == nullptr)
        {
            auto* stub = new EntityTemplateStub;
            stub->SetFileName(placement.demoTemplate.name);
            stub->SetGUID(guid);
            std::unique_ptr<EntityTemplate> body = MakeBody(placement.demoTemplate);
            if (body == nullptr || !gTemplateManager.RegisterStub(stub))
                return false;
            entityTemplate = body.release();
            stub->SetTemplate(entityTemplate);
        }
        Matrix local = Matrix::ONE;
        local.rows[3] = placement.position;
        Entity* const parent = placement.parent != nullptr ? byName[placement.parent] : nullptr;
        if (placement.parent != nullptr && parent == nullptr)
            return false;
        Entity* entity = gEntityManager.CreateEntity(entityTemplate, parent, local, 0, nullptr);
        if (entity == nullptr)
            return false;
        entity->SetName(placement.name);
        byName[placement.name] = entity;
        for (const auto& [name, text] : placement.values)
        {
            const RTTIProperty* property = entity->GetClassProperties()->FindPropertyInClassChain(name);
            if (property == nullptr || !property->SetFromText(entity, text))
            {
                std::fprintf(stderr, "make-demo-data: %s: no value \"%s\" = %s\n", placement.name, name, text);
                return false;
            }
        }
        if (&placement.demoTemplate == &kDaylight)
            root.SetActiveSceneParamsGUID(entity->GetGUID());
        contents.entities.push_back({entity, guid, 0xFFFFFFFFu});
    }
    if (!JoinDemoPaths(byName))
        return false;
    contents.sequences = sequences;
    contents.hasGrid = walled;
    if (walled)
        contents.grid = WalledGrid();
    data.AddFile("scenes", std::string(sceneName) + ".BinaryScene", AsString(SceneWriter::BuildBinaryScene(contents)));
    // Two lightmaps and a light probe map with one probe per layer over the ground.
    if (!AddLightmapSet(data, sceneName, {0, 1}))
        return false;
    LightProbeMapSpec probes;
    probes.width = 2;
    probes.height = 2;
    const float square[4] = {-40.0f, 10.0f, 40.0f, 90.0f};
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

// One square 2D texture of the demo, its texels given by (x, y).
bool AddDemoTexture(DataRoot& data, const char* name, uint32_t size, std::function<uint32_t(uint32_t, uint32_t)> texel)
{
    TextureFileSpec spec;
    spec.width = size;
    spec.height = size;
    spec.texel = [texel](uint32_t, uint32_t, uint32_t x, uint32_t y) { return texel(x, y); };
    std::string texture;
    if (!BuildTextureFile(spec, texture))
        return false;
    data.AddFile("textures", name, texture);
    return true;
}

bool AddMedia(DataRoot& data)
{
    if (!AddDemoTexture(data, "Demo/Checker.texture", 64,
                        [](uint32_t x, uint32_t y) { return ((x / 8 + y / 8) % 2) != 0 ? 0xFFE0E0E0u : 0xFF303070u; }))
        return false;
    // The paths' ribbon: cyan with darker edges.
    if (!AddDemoTexture(data, "Demo/Road.texture", 4,
                        [](uint32_t, uint32_t y) { return y == 0 || y == 3 ? 0xFF1A5A80u : 0xFF3AB3D6u; }))
        return false;
    // The game's own cursor, which its delegate names at start-up: a white arrow on clear texels.
    if (!AddDemoTexture(data, "tessaryCursor.texture", 32,
                        [](uint32_t x, uint32_t y) { return x <= y && y < 24 ? 0xFFFFFFFFu : 0u; }))
        return false;

    // Each sound of the demo has its own pitch, so that the mix shows which of them played: the
    // field's tone (440 and 660 Hz), the parade's horn (880 Hz) and the video's hum (330 Hz).
    std::vector<uint8_t> tone;
    std::vector<uint8_t> horn;
    if (!SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone({440.0, 660.0}, 44100, 3.0, 0.4), 0.5f, tone) ||
        !SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone({880.0}, 44100, 0.6, 0.5), 0.5f, horn))
        return false;
    data.AddFile("sounds", "tone.ogg", AsString(tone));
    data.AddFile("sounds", "horn.ogg", AsString(horn));

    // The outpost's video: two seconds of frames whose brightness counts up, with its hum.
    VideoSpec video;
    video.width = 128;
    video.height = 96;
    video.fpsNumerator = 15;
    video.frames = 30;
    video.sound = true;
    video.toneHz = 330.0;
    std::vector<uint8_t> film;
    if (!VideoWriter::EncodeOggTheora(video, film))
        return false;
    data.AddFile("videos", "Demo.ogv", AsString(film));
    return true;
}
// The demo's localized strings, in the data kit's tab-separated form.
const char* const kDemoStrings = "Path\tSpeaker\tEnglish\tPolish\n"
                                 "Demo/Title\tnone\tTessarine demo\tDemo Tessarine\n"
                                 "Demo/Options\tnone\tOptions\tOpcje\n"
                                 "Demo/Entry1\tnone\tMusic\tMuzyka\n"
                                 "Demo/Entry2\tnone\tSubtitles\tNapisy\n"
                                 "Demo/Entry3\tnone\tCamera shake\tDrgania kamery\n"
                                 "Demo/Entry4\tnone\tInvert mouse\tOdwr\xC3\xB3" "cona mysz\n"
                                 "Demo/Entry5\tnone\tShow hints\tPodpowiedzi\n"
                                 "Demo/Entry6\tnone\tAutosave\tAutozapis\n"
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
    // Shadow-map biases that keep the boxes' shadows on the ground at the default map size. A lookup
    // reads the nearest map texel, up to a texel off the receiver's own point: the slope-scaled bias
    // covers two texels of a caster's depth change, so that the sunlit ground is not striped by its
    // own depths (acne), however low the sun.
    data.GetProjectConfig().m_depthBias = 0.0005f;
    data.GetProjectConfig().m_slopeDepthBias = 2.0f;
    data.GetProjectConfig().m_uiPropertyNames.Add(NameString(DemoScreens::kStatusProperty));
    SceneNamesTable sceneNames;
    for (const char* scene : kScenes)
        sceneNames.m_sceneNames.Add(NameString(scene));
    std::vector<Placement> field = SceneBasics();
    field.push_back({kBeacon, "Post0", Vector(-14.0f, kGroundLevel, 62.0f, 1.0f), {}});
    field.push_back({kBeacon, "Post1", Vector(14.0f, kGroundLevel, 62.0f, 1.0f), {}});
    for (const Placement& placement : DemoPaths())
        field.push_back(placement);
    std::vector<Placement> outpost = SceneBasics();
    outpost.push_back({kBeacon, "Post0", Vector(0.0f, kGroundLevel, 62.0f, 1.0f), {}});
    outpost.push_back({kMarker, "Marker0", Vector(8.0f, kGroundLevel, 30.0f, 1.0f), {}});
    const bool built = AddEngineStartupData(data) && AddMedia(data) && AddAnimations(data) && AddTemplates(data) &&
                       AddScene(data, kScenes[0], field, false, &fieldSequences) && AddScene(data, kScenes[1], outpost, true, nullptr, true) &&
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
