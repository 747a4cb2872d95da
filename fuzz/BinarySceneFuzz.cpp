// Binary scene files over arbitrary bytes, loaded into a live scene whose one template has the GUID
// the seeds use. A file either loads or is refused whole; the scene is emptied after each input.
#include "core/math/BoundingBox4.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/SceneEntity.h"
#include "scene/templates/BinarySceneReader.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"

#include <cstdint>

namespace
{
void StartOnce()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    RegisterSceneClasses();
    gEntityManager.Init(BoundingBox4(Vector(-1000.0f, -100.0f, -1000.0f, 1.0f), Vector(1000.0f, 100.0f, 1000.0f, 1.0f)),
                        50.0f);
    EntityTemplateStub* stub = new EntityTemplateStub;
    stub->SetFileName("fuzz");
    SimpleGUID guid;
    guid.bytes[15] = 0x5A;
    guid.bytes[0] = 1;
    stub->SetGUID(guid);
    gTemplateManager.RegisterStub(stub);
    stub->SetTemplate(new EntityTemplate);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StartOnce();
    gEntityManager.NewScene();
    const uint32_t empty = gEntityManager.GetLiveEntityCount();
    if (!BinarySceneReader::LoadBinaryScene(data, size, BinarySceneReader::kSceneAlreadyStarted |
                                                            BinarySceneReader::kApplyNavigationGrid,
                                            0, BinarySceneReader::kAllVariations) &&
        gEntityManager.GetLiveEntityCount() != empty)
        __builtin_trap();
    gEntityManager.NewScene();
    return 0;
}
