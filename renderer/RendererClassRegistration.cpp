#include "renderer/RendererClassRegistration.h"

#include "renderer/OutlineParams.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/resources/ResourceList.h"
#include "renderer/resources/ResourceTemplate.h"
#include "renderer/resources/ResourceTextureDescriptor.h"
#include "renderer/resources/ShaderFamily.h"
#include "renderer/resources/ShaderParameterDefinition.h"

void RegisterRendererClasses()
{
    OutlineParams::RegisterRTTIClass();
    VertexShaderObject::RegisterRTTIClass();
    PixelShaderObject::RegisterRTTIClass();
    ShaderParameterDefinition::RegisterRTTIClass();
    ShaderOption::RegisterRTTIClass();
    ShaderFamily::RegisterRTTIClass();
    ResourceEntry::RegisterRTTIClass();
    ResourceList::RegisterRTTIClass();
    ResourceTemplate::RegisterRTTIClass();
    ResourceTextureDescriptor::RegisterRTTIClass();
    ResourceTextureDescriptorContainer::RegisterRTTIClass();
}
