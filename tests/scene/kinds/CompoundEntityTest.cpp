// Compound entities: building, naming, hiding, colouring and mapping presets and lightmaps of their
// elements, rebuilds on property changes, cycles, the scene-load hooks and a scene file round trip.
#include "scene/kinds/CompoundEntity.h"

#include "core/reflection/RTTIPropertiesBase.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/kinds/CompoundTemplate.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/templates/BinarySceneReader.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/RenderStreamCapture.h"
#include "support/CompoundTestSupport.h"
#include "support/ScriptedSceneTest.h"
#include "tools/datakit/CompoundTemplateWriter.h"
#include "tools/datakit/MeshTemplateWriter.h"
#include "tools/datakit/SceneWriter.h"

#include <lua.hpp>

#include <algorithm>
#include <vector>

namespace
{
// An element kind that counts the refreshes it is given.
class RefreshCountingEntity : public Entity
{
public:
    void RefreshRendering() override { ++refreshes; }
    int refreshes = 0;
};

class RefreshCountingTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new RefreshCountingEntity; }
};

class CompoundEntityTest : public CompoundSceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        MeshTemplateSpec wall;
        wall.shaderPresets = {"Default", "Snow", "Rock"};
        wall.animations = {{"Idle", {}}};
        Bind("props/Wall", MeshTemplateWriter::MakeTemplate(wall).release());
        Boxed("props/Post", 1.0f);
        Boxed("props/Pole", 2.0f);
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        CompoundSceneTest::TearDown();
    }

    CompoundTemplate* Compound(const char* path, const std::vector<CompoundElementSpec>& elements)
    {
        CompoundTemplate* compound = Bind(path, new CompoundTemplate);
        CompoundTemplateWriter::AddElements(*compound, elements);
        compound->ResolveElementsAfterLoad();
        return compound;
    }
    static CompoundEntity* Make(CompoundTemplate* compound, uint32_t flags = 0)
    {
        return dynamic_cast<CompoundEntity*>(gEntityManager.CreateEntity(compound, nullptr, Matrix::ONE, flags, nullptr));
    }
    static void Change(CompoundEntity& entity, const char* name)
    {
        entity.OnPropertyChanged(Property(entity, name));
    }
    static std::vector<Entity*> Elements(const Entity* parent)
    {
        std::vector<Entity*> found;
        for (Entity* child : parent->GetChildren())
            if (child->HasFlag(ENTITYFLAG_COMPOUND_ELEMENT))
                found.push_back(child);
        return found;
    }
};
} // namespace

TEST_F(CompoundEntityTest, ElementsAreBuiltNamedPlacedAndBoxed)
{
    CompoundElementSpec post = Element("Post", "props/Post", Translation(5, 0, 0));
    post.children.push_back(Element("", "props/Pole", Translation(0, 3, 0)));
    post.hidden = true;
    Bind("props/Boxless", new EntityTemplate);
    CompoundTemplate* compound =
        Compound("kit/Gate", {post, Element("Missing", "props/Nothing"), Element("Far", "props/Pole", Translation(-10, 0, 0)),
                              Element("Marker", "props/Boxless", Translation(-90, 0, 0))});
    CompoundEntity* gate = Make(compound, ENTITYCREATION_MULTIPLAYER_STATIC);
    ASSERT_NE(gate, nullptr);
    EXPECT_TRUE(m_log.Contains("Unable to find template: props/Nothing", CONSOLE_ERROR));
    EXPECT_TRUE(gate->AreElementsBuilt());
    const std::vector<Entity*> elements = Elements(gate);
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_STREQ(elements[0]->GetName(), "~Post");
    EXPECT_STREQ(elements[1]->GetName(), "~Far");
    EXPECT_TRUE(elements[0]->HasFlag(ENTITYFLAG_HIDDEN));
    EXPECT_FALSE(elements[1]->HasFlag(ENTITYFLAG_HIDDEN));
    EXPECT_FLOAT_EQ(elements[0]->GetGlobalPosition().x, 5.0f);
    // Multiplayer creation flags stay with the compound.
    EXPECT_FALSE(elements[0]->IsStaticMultiplayer());
    ASSERT_EQ(elements[0]->GetChildren().Count(), 1);
    Entity* pole = elements[0]->GetChildren()[0];
    EXPECT_TRUE(pole->HasFlag(ENTITYFLAG_COMPOUND_ELEMENT));
    EXPECT_FALSE(pole->HasName());
    // Hidden is not recursive.
    EXPECT_FALSE(pole->HasFlag(ENTITYFLAG_HIDDEN));
    EXPECT_FLOAT_EQ(pole->GetGlobalPosition().y, 3.0f);
    // The box is the union of the direct elements' boxes placed by their matrices.
    const BoundingBox4& box = gate->GetLocalBoundingBox();
    EXPECT_FLOAT_EQ(box.min.x, -12.0f);
    EXPECT_FLOAT_EQ(box.max.x, 6.0f);
    EXPECT_FLOAT_EQ(box.max.y, 2.0f);
    gate->BuildElements(0);
    EXPECT_EQ(Elements(gate).size(), 3u) << "built once";

    // Saving takes the box from where the elements are now.
    elements[1]->SetLocalLocationMatrix(Translation(-20, 0, 0));
    gate->OnPreSave(0);
    EXPECT_FLOAT_EQ(gate->GetLocalBoundingBox().min.x, -22.0f);

    // The layer reaches elements at every depth.
    gate->SetLayer(7);
    EXPECT_EQ(elements[1]->GetLayer(), 7);
    EXPECT_EQ(pole->GetLayer(), 7);
}

TEST_F(CompoundEntityTest, MeshElementsTakeMatchedPresetsColourAndStartAnimations)
{
    CompoundElementSpec wall = Element("Wall", "props/Wall");
    wall.shaderPreset = "Snow";
    wall.animation = "Idle";
    CompoundElementSpec moving = Element("Moving", "props/Wall");
    moving.animation = "Walk";
    CompoundTemplate* compound = Compound("kit/Walls", {Element("Post", "props/Post"), wall, moving});
    CompoundEntity* walls = Make(compound);
    ASSERT_NE(walls, nullptr);
    EXPECT_TRUE(m_log.Contains("Animation Walk not found in Wall", CONSOLE_ERROR));
    EXPECT_FALSE(m_log.Contains("Animation Idle not found", CONSOLE_ERROR));
    std::vector<Entity*> elements = Elements(walls);
    ASSERT_EQ(elements.size(), 3u);
    auto* first = dynamic_cast<MeshEntity*>(elements[1]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetShaderPresetIndex(), 1);
    EXPECT_STREQ(first->GetShaderPresetName().CStr(), "Snow");
    // Only mesh elements get a mapping record.
    ASSERT_EQ(walls->GetShaderPresetMappings().Count(), 2);
    EXPECT_STREQ(walls->GetShaderPresetMappings()[0].m_meshName.CStr(), "Wall");
    EXPECT_STREQ(walls->GetShaderPresetMappings()[0].m_shaderPreset.CStr(), "Snow");
    EXPECT_STREQ(walls->GetShaderPresetMappings()[1].m_meshName.CStr(), "Moving");
    EXPECT_TRUE(walls->GetShaderPresetMappings()[1].m_shaderPreset.IsEmpty());

    // A record found by name gives its own preset, whatever its position or the element's index.
    walls->EditShaderPresetMappings()[0].m_shaderPreset = NameString("Rock");
    walls->EditShaderPresetMappings()[1].m_meshName = NameString("MOVING");
    walls->EditShaderPresetMappings()[1].m_shaderPreset = NameString("Snow");
    std::swap(walls->EditShaderPresetMappings()[0], walls->EditShaderPresetMappings()[1]);
    const HDRColor red(255, 0, 0, 255, 2.0f);
    ASSERT_TRUE(Property(*walls, "Local color")->SetFromText(walls, "255 0 0 255 2"));
    Change(*walls, "Local color");
    elements = Elements(walls);
    ASSERT_EQ(elements.size(), 3u);
    auto* rebuiltWall = dynamic_cast<MeshEntity*>(elements[1]);
    auto* rebuiltMoving = dynamic_cast<MeshEntity*>(elements[2]);
    ASSERT_NE(rebuiltWall, nullptr);
    ASSERT_NE(rebuiltMoving, nullptr);
    EXPECT_EQ(rebuiltWall->GetShaderPresetIndex(), 2);
    EXPECT_EQ(rebuiltMoving->GetShaderPresetIndex(), 1);
    EXPECT_EQ(walls->GetShaderPresetMappings().Count(), 2);
    EXPECT_EQ(rebuiltWall->GetLocalColor().r, red.r);
    EXPECT_EQ(rebuiltWall->GetLocalColor().g, 0);
    EXPECT_FLOAT_EQ(rebuiltWall->GetLocalColor().multiplier, 2.0f);

    // The quiet flag keeps a missing animation out of the log.
    m_log.Clear();
    AnimationParams quiet;
    quiet.Flags = MeshEntity::kQuietAnimationFlag;
    EXPECT_FALSE(rebuiltWall->StartAnimation(NameString("root"), NameString("Run"), &quiet));
    EXPECT_FALSE(m_log.Contains("Animation Run not found", CONSOLE_ERROR));
    EXPECT_FALSE(rebuiltWall->StartAnimation(NameString("root"), NameString("Run"), nullptr));
    EXPECT_TRUE(m_log.Contains("Animation Run not found in Wall", CONSOLE_ERROR));
}

TEST_F(CompoundEntityTest, AnyPropertyChangeRebuildsTheElementsUnlessSuppressed)
{
    CompoundTemplate* compound = Compound("kit/Pair", {Element("A", "props/Post"), Element("B", "props/Pole")});
    CompoundEntity* pair = Make(compound);
    const uint32_t live = gEntityManager.GetLiveEntityCount();
    for (Entity* element : Elements(pair))
        element->RaiseFlag(ENTITYFLAG_SELECTED, false);
    Entity* outsider = gEntityManager.CreateEntity(m_template, pair, Matrix::ONE, 0, nullptr);
    pair->SetLayer(7);
    Change(*pair, "Name");
    std::vector<Entity*> after = Elements(pair);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_STREQ(after[0]->GetName(), "~A");
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), live + 1);
    // Children that are not elements stay.
    EXPECT_EQ(outsider->GetParent(), pair);
    EXPECT_EQ(pair->GetChildren().Count(), 3);
    // New entities, not the old ones kept.
    for (Entity* element : after)
    {
        EXPECT_FALSE(element->HasFlag(ENTITYFLAG_SELECTED));
        EXPECT_FALSE(element->GetGUID().IsNull());
        EXPECT_EQ(element->GetLayer(), 7) << "the compound's layer";
    }

    pair->DestroyElements();
    EXPECT_FALSE(pair->AreElementsBuilt());
    EXPECT_TRUE(Elements(pair).empty());
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), live - 1);
    pair->RaiseFlag(ENTITYFLAG_NO_COMPOUND_ELEMENTS, false);
    Change(*pair, "Local color");
    Change(*pair, "Name");
    EXPECT_TRUE(Elements(pair).empty());
    EXPECT_TRUE(pair->AreElementsBuilt());
}

TEST_F(CompoundEntityTest, HiddenInGameFollowsTheElementEvenWhenOneBeforeItWasSkipped)
{
    EntityTemplate* sensing = Boxed("props/Sensing", 1.0f);
    ASSERT_TRUE(Property(*sensing, "Activates triggers")->SetFromText(sensing, "1"));
    CompoundElementSpec shy = Element("Shy", "props/Post");
    shy.hiddenInGame = true;
    shy.children.push_back(Element("ShyChild", "props/Sensing"));
    CompoundTemplate* compound =
        Compound("kit/Shy", {Element("Missing", "props/Nothing"), shy, Element("Bold", "props/Pole")});
    ASSERT_TRUE(Property(*compound, "Activates triggers")->SetFromText(compound, "1"));
    CompoundEntity* entity = Make(compound);
    std::vector<Entity*> elements = Elements(entity);
    ASSERT_EQ(elements.size(), 2u);
    EXPECT_FALSE(elements[0]->HasFlag(ENTITYFLAG_HIDDEN));
    entity->PostCreateInit();
    EXPECT_TRUE(elements[0]->HasFlag(ENTITYFLAG_HIDDEN));
    EXPECT_TRUE(elements[0]->GetChildren()[0]->HasFlag(ENTITYFLAG_HIDDEN));
    EXPECT_FALSE(elements[1]->HasFlag(ENTITYFLAG_HIDDEN));
    EXPECT_FALSE(entity->HasFlag(ENTITYFLAG_HIDDEN));
    // Post-create initialisation reaches the compound itself and its elements at every depth.
    EXPECT_NE(entity->GetOccupancyTracker(), nullptr);
    EXPECT_NE(elements[0]->GetChildren()[0]->GetOccupancyTracker(), nullptr);

    // An element child moved away no longer counts as one made for an element.
    elements[0]->Show(true);
    elements[0]->SetParent(nullptr);
    entity->PostCreateInit();
    EXPECT_FALSE(elements[0]->HasFlag(ENTITYFLAG_HIDDEN));
    EXPECT_FALSE(elements[1]->HasFlag(ENTITYFLAG_HIDDEN));

    // A template with initialisation passes has a running game's script class initialise the compound.
    ASSERT_TRUE(gLua.Init());
    ScriptedSceneTest::ScriptDelegate game;
    game.running = true;
    gGame.Init(&game);
    compound->SetLuaClass("ShyKit");
    gLua.RegisterClass("ShyKit", "Entity");
    EXPECT_TRUE(gLua.LoadAndCall("inits = 0 function ShyKit:InitCompoundEntity() inits = inits + 1 end", 0));
    ASSERT_TRUE(Property(*compound, "Initialization pass count")->SetFromText(compound, "1"));
    entity->PostCreateInit();
    lua_getglobal(gLua.GetState(), "inits");
    EXPECT_EQ(lua_tointeger(gLua.GetState(), -1), 1);
    lua_pop(gLua.GetState(), 1);
    gEntityManager.NewScene();
    gGame.Close();
    gLua.Close();
}

TEST_F(CompoundEntityTest, CyclesBetweenCompoundTemplatesAreRefused)
{
    CompoundTemplate* first = Compound("kit/First", {Element("Second", "kit/Second"), Element("Post", "props/Post")});
    Compound("kit/Second", {Element("Back", "kit/First")});
    first->ResolveElementsAfterLoad();
    const uint32_t live = gEntityManager.GetLiveEntityCount();
    CompoundEntity* entity = Make(first);
    ASSERT_NE(entity, nullptr);
    EXPECT_TRUE(m_log.Contains("Cannot create compound First because it's definition leads to a cycle",
                               CONSOLE_ERROR));
    // First > Second > First (refused, empty); the post of the outer one is still built.
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), live + 4);
    std::vector<Entity*> elements = Elements(entity);
    ASSERT_EQ(elements.size(), 2u);
    ASSERT_EQ(elements[0]->GetChildren().Count(), 1);
    auto* inner = dynamic_cast<CompoundEntity*>(elements[0]->GetChildren()[0]);
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(inner->GetChildren().IsEmpty());
    EXPECT_FLOAT_EQ(inner->GetLocalBoundingBox().max.x, 1.0f);
    EXPECT_FALSE(CompoundStack::Contains(first));

    // A compound listing itself builds one level and stops.
    CompoundTemplate* self = Compound("kit/Self", {Element("Again", "kit/Self")});
    self->ResolveElementsAfterLoad();
    CompoundEntity* selfEntity = Make(self);
    ASSERT_EQ(selfEntity->GetChildren().Count(), 1);
    EXPECT_TRUE(selfEntity->GetChildren()[0]->GetChildren().IsEmpty());

    // The same compound twice side by side is no cycle.
    Compound("kit/Lamp", {Element("Post", "props/Post")});
    CompoundTemplate* pair = Compound("kit/Pair", {Element("Left", "kit/Lamp"), Element("Right", "kit/Lamp")});
    pair->ResolveElementsAfterLoad();
    m_log.Clear();
    Make(pair);
    EXPECT_FALSE(m_log.Contains("leads to a cycle", CONSOLE_ERROR));
}

TEST_F(CompoundEntityTest, PostLoadSizesLightmapsPerChildAndAppliesMappings)
{
    CompoundElementSpec wall = Element("Wall", "props/Wall");
    CompoundTemplate* compound = Compound("kit/Lit", {Element("Post", "props/Post"), wall});
    CompoundEntity* lit = Make(compound);
    DynarraySafe<LightmapMapping>& lightmaps = lit->EditLightmapMappings();
    for (int i = 0; i < 4; ++i)
        lightmaps[lightmaps.Add(LightmapMapping())].m_lightmapId = uint32_t(10 + i);
    lit->EditShaderPresetMappings()[0].m_shaderPreset = NameString("Rock");
    lit->OnPostLoad(0);
    ASSERT_EQ(lit->GetLightmapMappings().Count(), 2);
    auto* mesh = dynamic_cast<MeshEntity*>(Elements(lit)[1]);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetLightmapMapping().m_lightmapId, 11u);
    EXPECT_EQ(mesh->GetShaderPresetIndex(), 2);

    // Records added for new children are empty ones.
    gEntityManager.CreateEntity(m_template, lit, Matrix::ONE, 0, nullptr);
    lit->OnPostLoad(0);
    ASSERT_EQ(lit->GetLightmapMappings().Count(), 3);
    EXPECT_EQ(lit->GetLightmapMappings()[2].m_lightmapId, LightmapMapping::kNoLightmap);
    EXPECT_FLOAT_EQ(lit->GetLightmapMappings()[2].m_uvMulAdd.x, 0.0f);
}

TEST_F(CompoundEntityTest, ASceneFileRoundTripKeepsTheRecordAndGivesElementsGUIDsAfterLoading)
{
    CompoundElementSpec post = Element("Post", "props/Post", Translation(2, 0, 0));
    post.children.push_back(Element("Wall", "props/Wall"));
    CompoundTemplate* compound = Compound("kit/Scene", {post});
    CompoundEntity* written = Make(compound);
    written->SetName("Gatehouse");
    ASSERT_TRUE(Property(*written, "Local color")->SetFromText(written, "10 20 30 255 1"));
    // Loading leaves one lightmap record per child; a compound that was loaded once holds them too.
    written->OnPostLoad(0);
    ASSERT_EQ(written->GetLightmapMappings().Count(), 1);
    const std::vector<uint8_t> payload = SceneWriter::Payload(*written, 0);
    // The compound's own properties come before Entity's.
    const std::vector<uint8_t> own = SceneWriter::Payload(*written, RTTI_OWN_CLASS_ONLY);
    ASSERT_GT(payload.size(), own.size());
    EXPECT_TRUE(std::equal(own.begin(), own.end(), payload.begin()));
    EXPECT_EQ(own[0], 10);

    SceneFileContents contents;
    contents.entities = {{written, gTemplateManager.FindStubByPath("kit/Scene")->GetGUID(), 0xFFFFFFFFu}};
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    gEntityManager.NewScene();

    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 0, 0, 255));
    auto* loaded = dynamic_cast<CompoundEntity*>(gEntityManager.FindEntityByName("Gatehouse"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetLocalColor().g, 20);
    EXPECT_EQ(SceneWriter::Payload(*loaded, 0), payload);
    const std::vector<Entity*> elements = Elements(loaded);
    ASSERT_EQ(elements.size(), 1u);
    Entity* wall = elements[0]->GetChildren()[0];
    // The post-scene-load hook gave every element a GUID and the meshes the compound's colour.
    EXPECT_FALSE(elements[0]->GetGUID().IsNull());
    EXPECT_FALSE(wall->GetGUID().IsNull());
    EXPECT_NE(elements[0]->GetGUID(), wall->GetGUID());
    EXPECT_EQ(gEntityManager.FindEntityByGUID(wall->GetGUID()), wall);
    EXPECT_EQ(dynamic_cast<MeshEntity*>(wall)->GetLocalColor().b, 30);
}

TEST_F(CompoundEntityTest, ScenesLoadedElementsHaveNoGUIDUntilThePostSceneLoadHook)
{
    CompoundTemplate* compound = Compound("kit/Late", {Element("Post", "props/Post")});
    CompoundEntity* entity = Make(compound, ENTITYCREATION_NOGUIDGENERATION | ENTITYCREATION_DONOTCREATERENDERINGCONTEXT);
    Entity* post = Elements(entity)[0];
    EXPECT_TRUE(post->GetGUID().IsNull());
    entity->OnPostSceneLoad();
    EXPECT_FALSE(post->GetGUID().IsNull());
    const SimpleGUID kept = post->GetGUID();
    entity->OnPostSceneLoad();
    EXPECT_EQ(post->GetGUID(), kept);
}

TEST_F(CompoundEntityTest, DebugDrawingBoxesAnEmptyCompoundItselfAndOthersByTheirElements)
{
    RenderStreamCapture capture;
    CompoundTemplate* nothing = Compound("kit/Nothing", {});
    nothing->SetStaticBoundingBox(CenteredBox(2.0f));
    CompoundEntity* bare = Make(nothing);
    bare->SetLocalLocationMatrix(Translation(7, 0, 0));
    CompoundEntity* full = Make(Compound("kit/Drawn", {Element("A", "props/Post", Translation(4, 0, 0))}));
    full->SetLocalLocationMatrix(Translation(0, 0, 9));
    bare->AddToSet("Marked", true);
    capture.Drain();
    bare->DrawDebug(0);
    full->DrawDebug(0);
    full->DebugDrawBoundingBox(CenteredBox(1.0f), Vector(1, 0, 0, 0));
    capture.Take();

    // The set marker first: a box of half 1.2 centred one step (2.4) above the top of the entity's box.
    ASSERT_TRUE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
    const BoundingBox4 marker = capture.Read<BoundingBox4>();
    EXPECT_FLOAT_EQ(marker.min.y, 3.2f);
    EXPECT_FLOAT_EQ(marker.max.x, 8.2f);
    EXPECT_FLOAT_EQ(marker.max.z, 1.2f);
    capture.Skip(sizeof(Matrix));
    EXPECT_NEAR(capture.Read<Vector>().w, 1.0f, 1e-5f) << "drawn in the set's colour, opaque white";

    ASSERT_TRUE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
    EXPECT_FLOAT_EQ(capture.Read<BoundingBox4>().max.x, 2.0f);
    EXPECT_FLOAT_EQ(capture.Read<Matrix>().rows[3].x, 7.0f);
    capture.Skip(sizeof(Vector));
    // The compound with elements draws no box of its own; its bounding box draw adds the elements'.
    ASSERT_TRUE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
    const BoundingBox4 grown = capture.Read<BoundingBox4>();
    EXPECT_FLOAT_EQ(grown.min.x, -1.01f);
    EXPECT_FLOAT_EQ(grown.max.x, 1.01f);
    capture.Skip(sizeof(Matrix) + sizeof(Vector));
    ASSERT_TRUE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
    const BoundingBox4 elements = capture.Read<BoundingBox4>();
    EXPECT_FLOAT_EQ(elements.min.x, 3.0f);
    EXPECT_FLOAT_EQ(elements.max.x, 5.0f);
    EXPECT_FLOAT_EQ(capture.Read<Matrix>().rows[3].z, 9.0f);
    EXPECT_FLOAT_EQ(capture.Read<Vector>().x, 1.0f);
    EXPECT_FALSE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
    // The entities' rendering contexts die while their renderer still runs.
    gEntityManager.NewScene();
}

TEST_F(CompoundEntityTest, TheTemplateDebugShapeDrawsMeshElementsWithTheirPresets)
{
    RenderStreamCapture capture;
    CompoundElementSpec wall = Element("Wall", "props/Wall", Translation(0, 4, 0));
    wall.shaderPreset = "rock";
    CompoundTemplate* compound = Compound("kit/Shape", {wall});
    capture.Drain();
    EXPECT_TRUE(compound->DrawDebugShape(Translation(1, 0, 0), HDRColor(), 0, 0));
    capture.Take();
    ASSERT_TRUE(capture.SkipTo(RENDER_OP_DRAW_MESH));
    EXPECT_EQ(capture.Read<uintptr_t>(), reinterpret_cast<uintptr_t>(
                                            dynamic_cast<const MeshTemplate*>(compound->GetElements()[0].GetTemplate())
                                                ->GetRenderingData()));
    const Matrix world = capture.Read<Matrix>();
    EXPECT_FLOAT_EQ(world.rows[3].x, 1.0f);
    EXPECT_FLOAT_EQ(world.rows[3].y, 4.0f);
    capture.Skip(sizeof(Matrix) + sizeof(BoundingBox4) + sizeof(Vector));
    EXPECT_EQ(capture.Read<uint32_t>(), 2u);
    capture.Read<uint8_t>();
}

TEST_F(CompoundEntityTest, RefreshesReachElementsAtEveryDepthAndFollowAnActiveLayer)
{
    Bind("props/Counting", new RefreshCountingTemplate);
    CompoundElementSpec post = Element("Post", "props/Post");
    post.children.push_back(Element("Deep", "props/Counting"));
    CompoundEntity* compound = Make(Compound("kit/Counting", {post, Element("Top", "props/Counting")}));
    auto* top = dynamic_cast<RefreshCountingEntity*>(Elements(compound)[1]);
    auto* deep = dynamic_cast<RefreshCountingEntity*>(Elements(compound)[0]->GetChildren()[0]);
    ASSERT_NE(top, nullptr);
    ASSERT_NE(deep, nullptr);
    compound->RefreshRendering();
    EXPECT_EQ(top->refreshes, 1);
    EXPECT_EQ(deep->refreshes, 1);
    compound->SetLayerToActive();
    EXPECT_EQ(deep->refreshes, 2);
    EXPECT_EQ(deep->GetLayer(), gEntityManager.GetLayerSystem().GetActiveLayerId());
}
