#include "tools/datakit/KindTemplateWriter.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "gameplay/BehaviourTree.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/kinds/MeshAnimationGraphTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
#include "scene/templates/EntityTemplate.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/RecordText.h"
#include "tools/datakit/SceneWriter.h"
#include "tools/datakit/TemplateWriter.h"

#include <cstdio>

namespace
{
bool ApplyOption(EntityTemplate& entityTemplate, const KindTemplateWriter::Option& option, std::string& error)
{
    const std::string& name = option.first;
    const std::string& value = option.second;
    if (name == "--set")
        return RecordFromText(entityTemplate, value, error);
    if (name == "--transition")
        if (auto* graph = dynamic_cast<MeshAnimationGraphTemplate*>(&entityTemplate))
        {
            const std::string& old = graph->GetDefinition();
            graph->SetDefinition((old.empty() ? value : old + "\n" + value).c_str());
            return true;
        }
    if (name == "--mesh" || name == "--particles")
        if (auto* effect = dynamic_cast<PhysicalEffectTemplate*>(&entityTemplate))
        {
            if (name == "--mesh")
                effect->GetEffect().SetMeshTemplatePath(value.c_str());
            else
                effect->GetEffect().SetParticleTemplatePath(value.c_str());
            return true;
        }
    if (name == "--tree")
        if (auto* trees = dynamic_cast<BehaviourTreeTemplate*>(&entityTemplate))
        {
            BehaviourTree* tree = new BehaviourTree;
            tree->SetName(value.c_str());
            trees->AddTree(tree);
            return true;
        }
    error = "option " + name + " does not apply to " + entityTemplate.GetTemplateClassName();
    return false;
}
} // namespace

namespace KindTemplateWriter
{
std::unique_ptr<EntityTemplate> MakeTemplate(const std::string& className, const std::vector<Option>& options,
                                             std::string& error)
{
    RegisterSceneClasses();
    std::unique_ptr<RTTIPolyBaseClass> object(RTTIClassRegistry::CreateObject(className.c_str()));
    std::unique_ptr<EntityTemplate> made(dynamic_cast<EntityTemplate*>(object.get()));
    if (made == nullptr)
    {
        error = "no template class named " + className;
        return nullptr;
    }
    object.release();
    for (const Option& option : options)
        if (!ApplyOption(*made, option, error))
            return nullptr;
    made->OnPropertyChanged(nullptr);
    return made;
}
} // namespace KindTemplateWriter

// kind-template <out.BinaryTemplate> <GUID> <template class> [--set "Name = value"]... [kind options]
int RunKindTemplateCommand(const std::vector<std::string>& arguments)
{
    SimpleGUID guid;
    if (arguments.size() < 3 || (arguments.size() - 3) % 2 != 0 || !guid.FromString(arguments[1].c_str()))
        return 2;
    std::vector<KindTemplateWriter::Option> options;
    for (size_t i = 3; i + 1 < arguments.size(); i += 2)
        options.emplace_back(arguments[i], arguments[i + 1]);
    std::string error;
    const std::unique_ptr<EntityTemplate> made = KindTemplateWriter::MakeTemplate(arguments[2], options, error);
    if (made == nullptr)
    {
        std::fprintf(stderr, "datakit: %s\n", error.c_str());
        return 1;
    }
    return TemplateWriter::WriteFile(arguments[0], SceneWriter::BuildTemplateBody(*made, guid, made->GetTypeId())) ? 0
                                                                                                                  : 1;
}
