#include "effects/animation/AnimationTreeDefinition.h"

#include "core/console/GameConsole.h"
#include "effects/animation/MeshSkeleton.h"

#include <tinyxml.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
struct Pending
{
    const TiXmlElement* element;
    int32_t parent;
};

int32_t BoneOf(const MeshSkeleton& skeleton, const TiXmlElement* element)
{
    const char* const bone = element->Attribute("Bone");
    return bone != nullptr ? skeleton.FindBoneIndex(NameString(bone)) : -1;
}

// Pushes the "Node" children by descending bone index, so that they pop in ascending order.
void PushChildren(std::vector<Pending>& stack, const MeshSkeleton& skeleton, const TiXmlElement* parentElement,
                  int32_t parent)
{
    std::vector<std::pair<int32_t, const TiXmlElement*>> children;
    for (const TiXmlElement* child = parentElement->FirstChildElement("Node"); child != nullptr;
         child = child->NextSiblingElement("Node"))
        children.emplace_back(BoneOf(skeleton, child), child);
    std::stable_sort(children.begin(), children.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& child : children)
        stack.push_back({child.second, parent});
}

// Each node's range: its first bone and the following bones of its subtree that lie inside its
// parent node's range.
void CountBones(std::vector<AnimationTreeNode>& nodes, const MeshSkeleton& skeleton)
{
    const int32_t boneCount = int32_t(skeleton.GetBoneCount());
    nodes[0].boneCount = boneCount;
    for (size_t i = 1; i < nodes.size(); ++i)
    {
        AnimationTreeNode& node = nodes[i];
        const AnimationTreeNode& parent = nodes[size_t(node.parent)];
        const int32_t parentEnd = std::min(parent.firstBone + parent.boneCount, boneCount);
        node.boneCount = 1;
        // The walk ends at the bone array's end as well as at the parent's: a node whose bone lies
        // outside its parent's range must not read past the bones.
        for (int32_t next = node.firstBone + 1; next < parentEnd && next < boneCount; ++next)
        {
            const int32_t boneParent = skeleton.GetBone(uint32_t(next)).parent;
            if (boneParent == MeshSkeleton::kNoBone || boneParent < node.firstBone || boneParent >= next)
                break;
            ++node.boneCount;
        }
    }
}

void LinkChildren(std::vector<AnimationTreeNode>& nodes)
{
    std::vector<int32_t> lastChild(nodes.size(), -1);
    for (size_t i = 1; i < nodes.size(); ++i)
    {
        const int32_t parent = nodes[i].parent;
        if (lastChild[size_t(parent)] < 0)
            nodes[size_t(parent)].firstChild = int32_t(i);
        else
            nodes[size_t(lastChild[size_t(parent)])].nextSibling = int32_t(i);
        lastChild[size_t(parent)] = int32_t(i);
    }
}
} // namespace

namespace AnimationTreeDefinition
{
bool Parse(MeshSkeleton& skeleton, const char* text, const char* templateName)
{
    const char* const owner = templateName != nullptr ? templateName : "";
    std::vector<AnimationTreeNode> nodes(1);
    nodes[0].name = NameString("root");
    bool clean = true;
    TiXmlDocument document;
    if (text != nullptr)
    {
        const std::string wrapped = std::string("<Top>") + text + "</Top>";
        document.Parse(wrapped.c_str());
        if (document.Error())
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Error while parsing animation tree definition: %s. Template: %s",
                           document.ErrorDesc(), owner);
            clean = false;
        }
        else if (const TiXmlElement* top = document.RootElement())
        {
            std::vector<Pending> stack;
            PushChildren(stack, skeleton, top, 0);
            while (!stack.empty())
            {
                const Pending pending = stack.back();
                stack.pop_back();
                const char* const name = pending.element->Attribute("Name");
                const char* const bone = pending.element->Attribute("Bone");
                if (name == nullptr)
                    gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                                   "Error while parsing animation tree definition. Unnamed node detected. Template: %s",
                                   owner);
                if (bone == nullptr)
                    gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                                   "Error while parsing animation tree definition. Node without a bone detected. "
                                   "Template: %s",
                                   owner);
                if (name == nullptr || bone == nullptr)
                {
                    clean = false;
                    continue;
                }
                const int32_t first = skeleton.FindBoneIndex(NameString(bone));
                if (first < 0)
                {
                    gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                                   "Error while parsing animation tree definition. Bone %s not found in the hierarchy. "
                                   "Template: %s",
                                   bone, owner);
                    clean = false;
                    continue;
                }
                AnimationTreeNode node;
                node.name = NameString(name);
                node.firstBone = first;
                node.parent = pending.parent;
                nodes.push_back(node);
                PushChildren(stack, skeleton, pending.element, int32_t(nodes.size() - 1));
            }
        }
    }
    LinkChildren(nodes);
    CountBones(nodes, skeleton);
    skeleton.SetTreeNodes(std::move(nodes));
    return clean;
}
} // namespace AnimationTreeDefinition
