// A scene fixture for compound tests: templates registered under paths through stubs (which own
// them), compound element specs, and a tear-down that lets elements release their templates before
// the stubs delete them. Test thread only.
#pragma once

#include "core/reflection/RTTIPropertiesBase.h"
#include "scene/kinds/CompoundTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/SceneTestSupport.h"
#include "support/TemplateTestSupport.h"
#include "tools/datakit/CompoundTemplateWriter.h"

#include <type_traits>
#include <vector>

class CompoundSceneTest : public SceneTest
{
protected:
    void TearDown() override
    {
        SceneTest::TearDown();
        for (CompoundTemplate* compound : m_compounds)
            compound->EditElements().FreeStorage();
        gTemplateManager.Clear();
    }
    // Registers `entityTemplate` under `path`; the stub owns it from then on.
    template <class T>
    T* Bind(const char* path, T* entityTemplate)
    {
        SimpleGUID guid;
        guid.bytes[0] = 0xC0;
        guid.bytes[15] = ++m_nextGuid;
        EntityTemplateStub* stub = RegisterStubAtPath(path, guid, nullptr);
        EXPECT_NE(stub, nullptr);
        stub->SetTemplate(entityTemplate);
        if constexpr (std::is_base_of_v<CompoundTemplate, T>)
            m_compounds.push_back(entityTemplate);
        return entityTemplate;
    }
    EntityTemplate* Boxed(const char* path, float halfSize)
    {
        EntityTemplate* entityTemplate = Bind(path, new EntityTemplate);
        entityTemplate->SetStaticBoundingBox(CenteredBox(halfSize));
        return entityTemplate;
    }
    static CompoundElementSpec Element(const char* name, const char* templateName, const Matrix& at = Matrix::ONE)
    {
        CompoundElementSpec spec;
        spec.name = name;
        spec.templateName = templateName;
        spec.location = at;
        return spec;
    }
    static const RTTIProperty* Property(const RTTIPolyBaseClass& object, const char* name)
    {
        return object.GetClassProperties()->FindPropertyInClassChain(name);
    }

    std::vector<CompoundTemplate*> m_compounds;
    uint8_t m_nextGuid = 0;
};
