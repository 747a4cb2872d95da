#include "engine/Game.h"

#include "gameplay/behaviour/BehaviourTreeEntity.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "support/BehaviourTestSupport.h"
#include "support/ManualClockGameTest.h"
#include "support/SceneTestSupport.h"

#include <gtest/gtest.h>

namespace
{
using GameBehaviourTreeTest = ManualClockGameTest<SceneTest>;

TEST_F(GameBehaviourTreeTest, EachFrameTicksTheAgentsOfTheScene)
{
    RegisterBehaviourTestClasses();
    m_templates.push_back(std::make_unique<BehaviourTreeTemplate>());
    auto* trees = static_cast<BehaviourTreeTemplate*>(m_templates.back().get());
    std::string error;
    trees->AddTree(BehaviourTreeText::ParseTree(ExpandTreeText("Walk = BTTaskSequence{L(W)}"), error));
    Entity* agent = gEntityManager.CreateEntity(trees, nullptr, Matrix::ONE, 0, nullptr);
    agent->PostCreateInit();
    gLeafScript.execute.clear();
    gLeafScript.trace.clear();
    for (int frame = 0; frame < 4 && gLeafScript.trace.empty(); ++frame)
        Frame();
    ASSERT_FALSE(gLeafScript.trace.empty());
    EXPECT_EQ(gLeafScript.trace.substr(0, 7), "W+ W W-");
    // A paused game clock ticks no logic, so no agent either.
    gGame.GetGameTimer().Pause(true);
    gLeafScript.trace.clear();
    for (int frame = 0; frame < 4; ++frame)
        Frame();
    EXPECT_EQ(gLeafScript.trace, "");
    gGame.GetGameTimer().Pause(false);
}
} // namespace
