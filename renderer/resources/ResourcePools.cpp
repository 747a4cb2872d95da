#include "renderer/resources/ResourcePools.h"

#include "core/console/GameConsole.h"
#include "renderer/resources/ResourceAnimation.h"
#include "renderer/resources/ResourceFont.h"
#include "renderer/resources/ResourceShader.h"
#include "renderer/resources/ResourceSound.h"
#include "renderer/resources/ResourceTemplate.h"
#include "renderer/resources/ResourceTexture.h"
#include "renderer/resources/TemplateTypeRegistry.h"

Resource* ResourceTexturePool::CreateResource(const char* name, uint32_t) { return new ResourceTexture(name); }
Resource* ResourceShaderPool::CreateResource(const char* name, uint32_t) { return new ResourceShader(name); }
Resource* ResourceAnimationPool::CreateResource(const char* name, uint32_t) { return new ResourceAnimation(name); }
Resource* ResourceFontPool::CreateResource(const char* name, uint32_t) { return new ResourceFont(name); }
Resource* ResourceSoundPool::CreateResource(const char* name, uint32_t) { return new ResourceSound(name); }

Resource* ResourceTemplatePool::CreateResource(const char* name, uint32_t parameter)
{
    const char* className = TemplateTypeRegistry::GetInstance().GetClassName(parameter);
    RTTIPolyBaseClass* object = className != nullptr ? RTTIClassRegistry::CreateObject(className) : nullptr;
    ResourceTemplate* resource = dynamic_cast<ResourceTemplate*>(object);
    if (resource == nullptr)
    {
        delete object;
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Resource of name %s not created!", name);
        return nullptr;
    }
    AssignName(resource, name);
    return resource;
}
