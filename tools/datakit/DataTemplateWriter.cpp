#include "tools/datakit/DataTemplateWriter.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "effects/sfx/SFXDefinition.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/kinds/ColorEnvelopeTemplate.h"
#include "scene/kinds/CompoundTemplate.h"
#include "scene/kinds/MeshAnimationGraphTemplate.h"
#include "scene/kinds/ParticleTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "scene/kinds/VectorEnvelopeTemplate.h"
#include "scene/templates/EntityTemplate.h"
#include "tools/datakit/BehaviourTreeText.h"
#include "tools/datakit/CompoundTemplateWriter.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/RecordText.h"
#include "tools/datakit/SceneWriter.h"
#include "tools/datakit/TemplateWriter.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace
{
Envelope* EnvelopeOf(EntityTemplate& entityTemplate)
{
    if (auto* vectors = dynamic_cast<VectorEnvelopeTemplate*>(&entityTemplate))
        return &vectors->GetEnvelope();
    if (auto* colors = dynamic_cast<ColorEnvelopeTemplate*>(&entityTemplate))
        return &colors->GetEnvelope();
    return nullptr;
}

// "name start end", the bounds in seconds.
bool AddLoop(Envelope& envelope, const std::string& value, std::string& error)
{
    std::istringstream words(value);
    std::string loopName;
    float start = 0.0f;
    float end = 0.0f;
    words >> loopName >> start >> end;
    if (!words || !(start >= 0.0f) || !(end > start))
    {
        error = "loop \"" + value + "\" is not \"name start end\" with 0 <= start < end";
        return false;
    }
    EnvelopeLoop& loop = envelope.GetLoops()[envelope.GetLoops().Add(EnvelopeLoop())];
    loop.m_name.Set(loopName.c_str());
    loop.m_start = Envelope::ToKeyTime(start);
    loop.m_end = Envelope::ToKeyTime(end);
    return true;
}

bool SetInterpolation(Envelope& envelope, const std::string& value, std::string& error)
{
    const char* const names[] = {"None", "Linear", "CubicBezier"};
    for (uint32_t i = 0; i < 3; ++i)
        if (value == names[i])
        {
            envelope.SetInterpolation(i);
            return true;
        }
    error = "interpolation \"" + value + "\" is not None, Linear or CubicBezier";
    return false;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// "[Kind:] Name = value; Name = value": an element of the kind (a class derived from
// "SFXElementDefinition", the base element without one) appended to the definition.
bool AddSFXElement(SFXDefinition& definition, const std::string& value, std::string& error)
{
    std::string lines = value;
    std::unique_ptr<SFXElementDefinition> element;
    const size_t colon = lines.find(':');
    const size_t equals = lines.find('=');
    if (colon != std::string::npos && (equals == std::string::npos || colon < equals))
    {
        const std::string kind = Trim(lines.substr(0, colon));
        std::unique_ptr<RTTIPolyBaseClass> made(RTTIClassRegistry::CreateObject(kind.c_str()));
        if (dynamic_cast<SFXElementDefinition*>(made.get()) == nullptr)
        {
            error = "\"" + kind + "\" is not an effect element kind";
            return false;
        }
        element.reset(static_cast<SFXElementDefinition*>(made.release()));
        lines = lines.substr(colon + 1);
    }
    else
        element.reset(new SFXElementDefinition);
    std::replace(lines.begin(), lines.end(), ';', '\n');
    if (!RecordFromText(*element, lines, error))
        return false;
    element->SetOwner(&definition);
    definition.AddElement(element.release());
    return true;
}

bool ApplyOption(EntityTemplate& entityTemplate, const DataTemplateWriter::Option& option, std::string& error)
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
    if (name == "--system")
        if (auto* particles = dynamic_cast<ParticleTemplate*>(&entityTemplate))
            return RecordFromText(particles->GetSystem(), value, error);
    if (name == "--tree")
        if (auto* trees = dynamic_cast<BehaviourTreeTemplate*>(&entityTemplate))
        {
            BehaviourTree* tree = BehaviourTreeText::ParseTree(value, error);
            if (tree == nullptr)
                return false;
            trees->AddTree(tree);
            return true;
        }
    if (name == "--definition" || name == "--sfx-element")
        if (auto* effect = dynamic_cast<SFXTemplate*>(&entityTemplate))
            return name == "--definition" ? RecordFromText(effect->GetDefinition(), value, error)
                                          : AddSFXElement(effect->GetDefinition(), value, error);
    if (name == "--element")
        if (auto* compound = dynamic_cast<CompoundTemplate*>(&entityTemplate))
            return CompoundTemplateWriter::AddElementOption(*compound, value, error);
    if (name == "--loop" || name == "--interpolation")
        if (Envelope* envelope = EnvelopeOf(entityTemplate))
            return name == "--loop" ? AddLoop(*envelope, value, error) : SetInterpolation(*envelope, value, error);
    if (name == "--key")
    {
        // "seconds x y z w" for vector envelopes, "seconds r g b a multiplier" for colour ones.
        std::istringstream words(value);
        float seconds = 0.0f;
        float v[5] = {0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
        words >> seconds >> v[0] >> v[1] >> v[2] >> v[3];
        if (auto* vectors = dynamic_cast<VectorEnvelopeTemplate*>(&entityTemplate))
        {
            if (words && vectors->GetEnvelope().AddKey(Vector(v[0], v[1], v[2], v[3]), seconds, -1) >= 0)
                return true;
            error = "key \"" + value + "\" is not a later \"seconds x y z w\"";
            return false;
        }
        if (auto* colors = dynamic_cast<ColorEnvelopeTemplate*>(&entityTemplate))
        {
            words >> v[4];
            const HDRColor color{uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2]), uint8_t(v[3]), v[4]};
            if (words && colors->GetEnvelope().AddKey(color, seconds, -1) >= 0)
                return true;
            error = "key \"" + value + "\" is not a later \"seconds r g b a multiplier\"";
            return false;
        }
    }
    error = "option " + name + " does not apply to " + entityTemplate.GetTemplateClassName();
    return false;
}
} // namespace

namespace DataTemplateWriter
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
} // namespace DataTemplateWriter

// data-template <out.BinaryTemplate> <GUID> <template class> [--set "Name = value"]... [kind options]
int RunDataTemplateCommand(const std::vector<std::string>& arguments)
{
    SimpleGUID guid;
    if (arguments.size() < 3 || (arguments.size() - 3) % 2 != 0 || !guid.FromString(arguments[1].c_str()))
        return 2;
    std::vector<DataTemplateWriter::Option> options;
    for (size_t i = 3; i + 1 < arguments.size(); i += 2)
        options.emplace_back(arguments[i], arguments[i + 1]);
    std::string error;
    const std::unique_ptr<EntityTemplate> made = DataTemplateWriter::MakeTemplate(arguments[2], options, error);
    if (made == nullptr)
    {
        std::fprintf(stderr, "datakit: %s\n", error.c_str());
        return 1;
    }
    return TemplateWriter::WriteFile(arguments[0], SceneWriter::BuildTemplateBody(*made, guid, made->GetTypeId())) ? 0
                                                                                                                  : 1;
}
