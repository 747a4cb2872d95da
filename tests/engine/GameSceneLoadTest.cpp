// ctest-labels: thread
// Scene switches over the whole engine: a kit-made binary scene in the data root, the loading
// screen on the real renderer, the semaphore flags with a worker thread.
#include "platform/os/Clock.h"
#include "platform/os/Sync.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/GameEngineFixture.h"
#include "tools/datakit/SceneWriter.h"

#include <thread>

namespace
{
class GameSceneLoadTest : public GameEngineFixture
{
protected:
    // Writes "scenes/<name>.BinaryScene" with `count` entities of a template registered in memory.
    void WriteScene(const char* name, uint32_t count)
    {
        SimpleGUID guid;
        guid.bytes[15] = 0x5A;
        EntityTemplateStub* stub = new EntityTemplateStub;
        stub->SetFileName("kit/unit");
        stub->SetGUID(guid);
        ASSERT_TRUE(gTemplateManager.RegisterStub(stub));
        EntityTemplate* entityTemplate = new EntityTemplate;
        stub->SetTemplate(entityTemplate);
        SceneFileContents contents;
        for (uint32_t i = 0; i < count; ++i)
        {
            Matrix local = Matrix::ONE;
            local.rows[3].Set(float(i) * 10.0f, 0.0f, 5.0f, 1.0f);
            Entity* entity = gEntityManager.CreateEntity(entityTemplate, nullptr, local, 0, nullptr);
            ASSERT_NE(entity, nullptr);
            entity->SetName(("Unit" + std::to_string(i)).c_str());
            contents.entities.push_back({entity, guid, 0xFFFFFFFFu});
        }
        contents.hasGrid = true;
        contents.grid.width = contents.grid.height = 1;
        contents.grid.cells = {1};
        const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
        gEntityManager.NewScene();
        m_folder.WriteFile(std::string("data/scenes/") + name + ".BinaryScene", std::string(bytes.begin(), bytes.end()));
    }

    // A loading screen that fades out; the Game releases it at close.
    UIScreen* SetLoadingScreen()
    {
        UIScreen* screen = new UIScreen;
        gGame.SetLoadingUIScreen(screen, 0);
        return screen;
    }
};
} // namespace

TEST_F(GameSceneLoadTest, AKitSceneLoadsWithItsEntitiesAndMessagesInOrder)
{
    WriteScene("Level1", 5);
    SimpleGUID optimized;
    optimized.bytes[15] = 0x6B;
    const std::vector<uint8_t> opt =
        SceneWriter::BuildOptimizedTemplates({{SceneWriter::BuildTemplateBody(EntityTemplate(), optimized, 0)}});
    m_folder.WriteFile("data/scenes/Level1.opt", std::string(opt.begin(), opt.end()));
    // Flag bit 0, the number scripts pass, keeps the in-memory unit template for the scene.
    gGame.SwitchScene("Level1", 1, Game::kNoVariation, nullptr);
    gGame.Update(true);

    EXPECT_EQ(m_delegate.Joined(),
              "CanSwitchScene:Level1;OnSwitchScene:Level1;OnSwitchSceneAfterNetEntitiesDestroyed;"
              "OnDuringSwitchScene;OnAfterSwitchScene;OnAfterFirstScene;OnAfterSwitchComplete;");
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(gEntityManager.FindEntityByName(("Unit" + std::to_string(i)).c_str()), nullptr) << i;
    EXPECT_STREQ(gEntityManager.GetSceneName(), "Level1");
    EXPECT_NE(gEntityManager.GetNavigationGrid(), nullptr) << "with its navigation grid";
    EXPECT_NE(gTemplateManager.GetTemplateByGUID(optimized, false), nullptr) << "and its optimized templates";
    EXPECT_TRUE(m_log.Contains("Cannot preload resource list from scenes/Level1.ResList", CONSOLE_ERROR));
    std::string missing;
    EXPECT_TRUE(InOrder(m_log.Messages(),
                        {"Resource preloaded in", "Optimized templates loaded in", "Scene deserialized in",
                         "Scene data loaded in", "Scene switched in"},
                        &missing))
        << missing;
    EXPECT_EQ(gGame.GetTickCounter(), 0u) << "the switch frame runs no ticks";

    // An empty scene file is no scene: unlike a missing one, the switch reads it and says why.
    m_folder.WriteFile("data/scenes/Empty.BinaryScene", "");
    m_log.Clear();
    gGame.SwitchScene("Empty", 1, Game::kNoVariation, nullptr);
    gGame.Update(true);
    EXPECT_EQ(gEntityManager.FindEntityByName("Unit0"), nullptr);
    EXPECT_TRUE(InOrder(m_log.Messages(),
                        {"Binary scene: the file is shorter than its first word", "Binary scene file: scenes/Empty.BinaryScene",
                         "Scene switched in"},
                        &missing))
        << missing;
}

TEST_F(GameSceneLoadTest, TheLoadingScreenIsHiddenAfterTheSwitchUnlessFlagBitThreeKeepsIt)
{
    SetLoadingScreen();
    gGame.SwitchScene("Missing", 0, Game::kNoVariation, nullptr);
    gGame.ProcessPendingSceneSwitch();
    EXPECT_FALSE(gGame.IsLoadingScreenActive());
    EXPECT_EQ(Count(m_log.Messages(), "NorvexRenderer::SetLoadingScreen NOT NULL"), 1u);

    gGame.SwitchScene("Missing", Game::SWITCH_KEEP_LOADING_SCREEN, Game::kNoVariation, nullptr);
    gGame.ProcessPendingSceneSwitch();
    EXPECT_TRUE(gGame.IsLoadingScreenActive());
    EXPECT_TRUE(gGame.Render(false)) << "a frame under the loading screen only submits";
    gGame.TurnLoadingScreenOff();
    EXPECT_FALSE(gGame.IsLoadingScreenActive());
}

TEST_F(GameSceneLoadTest, WithoutBitTwoTheLoadingScreenGoesBeforeTheWorkerSignals)
{
    SetLoadingScreen();
    os::Semaphore semaphore(0, 1);
    // The worker signals once the screen is hidden, or after 10 s: a game that waited for it before
    // hiding the screen would show the hide after the signal. Loading frames may be slow to draw.
    std::thread worker([this, &semaphore] {
        for (int i = 0; i < 2000 && !m_log.Contains("NorvexRenderer::SetLoadingScreen NULL"); ++i)
            os::Sleep(5);
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "worker signals");
        semaphore.Release(1);
    });
    gGame.SwitchScene("Missing", 0, Game::kNoVariation, &semaphore);
    gGame.ProcessPendingSceneSwitch();
    worker.join();
    std::string missing;
    EXPECT_TRUE(InOrder(m_log.Messages(), {"NorvexRenderer::SetLoadingScreen NULL", "worker signals", "Scene switched in"},
                        &missing))
        << missing;
    EXPECT_EQ(Count(m_log.Messages(), "NorvexRenderer::SetLoadingScreen NULL"), 1u) << "hidden once only";
    EXPECT_EQ(gRenderer->GetHoldFlag(), 0u);
}

TEST_F(GameSceneLoadTest, WithBitTwoTheWaitComesFirstAndSetsTheHoldFlag)
{
    SetLoadingScreen();
    os::Semaphore semaphore(0, 1);
    std::thread worker([&semaphore] {
        os::Sleep(150);
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "worker signals");
        semaphore.Release(1);
    });
    gGame.SwitchScene("Missing", Game::SWITCH_WAIT_BEFORE_HIDING, Game::kNoVariation, &semaphore);
    gGame.ProcessPendingSceneSwitch();
    worker.join();
    std::string missing;
    EXPECT_TRUE(InOrder(m_log.Messages(), {"worker signals", "NorvexRenderer::SetLoadingScreen NULL"}, &missing))
        << missing;
    EXPECT_EQ(gRenderer->GetHoldFlag(), 1u);
}

TEST_F(GameSceneLoadTest, AnAlreadySignalledSemaphoreKeepsTheLoadingScreenUntilTheEnd)
{
    SetLoadingScreen();
    os::Semaphore semaphore(1, 1);
    gGame.SwitchScene("Missing", 0, Game::kNoVariation, &semaphore);
    gGame.ProcessPendingSceneSwitch();
    EXPECT_EQ(Count(m_log.Messages(), "NorvexRenderer::SetLoadingScreen NULL"), 1u);
    EXPECT_FALSE(gGame.IsLoadingScreenActive());
    EXPECT_FALSE(semaphore.Wait(0)) << "the poll took the signal";
}
