// Shared set-up of the trigger tests: trigger templates made in memory, participating entities
// ("Activates triggers"), and a gameplay delegate that records every report.
#pragma once

#include "scene/entities/EntityGameplayDelegate.h"
#include "scene/entities/TriggerOccupancyTracker.h"
#include "scene/kinds/TriggerEntity.h"
#include "scene/kinds/TriggerOccupancy.h"
#include "scene/kinds/TriggerTemplate.h"
#include "support/SceneTestSupport.h"

#include <functional>
#include <string>
#include <vector>

// Records "enter <trigger> <entity>", "exit <trigger> <entity>" and "clear <trigger>".
class TriggerReportLog : public EntityGameplayDelegate
{
public:
    void OnTriggerEnter(Entity* trigger, Entity* entity) override { Report("enter", trigger, entity); }
    void OnTriggerExit(Entity* trigger, Entity* entity) override { Report("exit", trigger, entity); }
    void OnTriggerCleared(Entity* trigger) override { Report("clear", trigger, nullptr); }

    std::vector<std::string> events;
    // Runs after each report is recorded.
    std::function<void(const std::string& kind, Entity* trigger, Entity* entity)> then;

private:
    void Report(const char* kind, Entity* trigger, Entity* entity)
    {
        std::string line = std::string(kind) + " " + trigger->GetName();
        if (entity != nullptr)
            line += std::string(" ") + entity->GetName();
        events.push_back(line);
        if (then)
            then(kind, trigger, entity);
    }
};

class TriggerTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        TriggerOccupancy::ClearPendingEntities();
        m_unitTemplate = MakeTemplate(CenteredBox(0.5f));
        ASSERT_TRUE(SetProperty(m_unitTemplate, "Activates triggers", "1"));
    }
    void TearDown() override
    {
        TriggerOccupancy::ClearPendingEntities();
        SceneTest::TearDown();
    }

    static bool SetProperty(RTTIPolyBaseClass* object, const char* name, const char* text)
    {
        const RTTIProperty* property = object->GetClassProperties()->FindPropertyInClassChain(name);
        return property != nullptr && property->SetFromText(object, text);
    }

    // A trigger template with a box of half-size h (or the unit sphere scaled by h), in `mode`.
    TriggerTemplate* MakeTriggerTemplate(float h, uint32_t mode = 0, uint32_t shape = 0)
    {
        m_triggerTemplates.push_back(std::make_unique<TriggerTemplate>());
        TriggerTemplate* t = m_triggerTemplates.back().get();
        t->SetTypeId(ENTITY_TRIGGER);
        t->SetStaticBoundingBox(CenteredBox(shape == TriggerTemplate::SHAPE_SPHERE ? 1.0f : h));
        EXPECT_TRUE(SetProperty(t, "Trigger mode", std::to_string(mode).c_str()));
        EXPECT_TRUE(SetProperty(t, "Trigger shape", std::to_string(shape).c_str()));
        if (shape == TriggerTemplate::SHAPE_SPHERE)
        {
            const std::string scale = std::to_string(h) + " " + std::to_string(h) + " " + std::to_string(h) + " 1";
            EXPECT_TRUE(SetProperty(t, "Scale", scale.c_str()));
        }
        return t;
    }

    TriggerEntity* MakeTrigger(const char* name, TriggerTemplate* t, float x, float z, Entity* parent = nullptr)
    {
        auto* trigger = static_cast<TriggerEntity*>(
            gEntityManager.CreateEntity(t, parent, Translation(x, 0.0f, z), 0, nullptr));
        trigger->SetName(name);
        trigger->SetGameplayDelegate(&m_reports, false);
        return trigger;
    }

    Entity* MakeUnit(const char* name, float x, float z)
    {
        Entity* unit = gEntityManager.CreateEntity(m_unitTemplate, nullptr, Translation(x, 0.0f, z), 0, nullptr);
        unit->SetName(name);
        unit->PostCreateInit();
        return unit;
    }

    static void MoveTo(Entity* entity, float x, float z) { entity->SetGlobalPosition(Vector(x, 0.0f, z, 1.0f)); }

    std::vector<std::string> Update()
    {
        m_reports.events.clear();
        TriggerOccupancy::ProcessPendingEntities();
        return m_reports.events;
    }

    using Events = std::vector<std::string>;

    TriggerReportLog m_reports;
    EntityTemplate* m_unitTemplate = nullptr;
    std::vector<std::unique_ptr<TriggerTemplate>> m_triggerTemplates;
};
