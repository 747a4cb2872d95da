#include "tools/datakit/BehaviourTreeText.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "core/strings/StringUtils.h"
#include "gameplay/behaviour/BTTaskChangePropertyDecorator.h"
#include "gameplay/behaviour/BehaviourNode.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "gameplay/behaviour/BehaviourTreePropertyBindings.h"
#include "tools/datakit/RecordText.h"

#include <cctype>
#include <memory>

namespace
{
class Parser
{
public:
    Parser(const std::string& text, std::string& error) : m_text(text), m_error(error) {}

    std::unique_ptr<BehaviourNode> Node()
    {
        SkipBlanks();
        const size_t start = m_at;
        while (m_at < m_text.size() && (std::isalnum(static_cast<unsigned char>(m_text[m_at])) || m_text[m_at] == '_'))
            ++m_at;
        const std::string className = m_text.substr(start, m_at - start);
        std::unique_ptr<RTTIPolyBaseClass> object(RTTIClassRegistry::CreateObject(className.c_str()));
        std::unique_ptr<BehaviourNode> node(dynamic_cast<BehaviourNode*>(object.get()));
        if (node == nullptr)
            return Fail("\"" + className + "\" is not a behaviour node class");
        object.release();
        SkipBlanks();
        if (Peek('[') && !Settings(*node))
            return nullptr;
        SkipBlanks();
        if (Peek('{'))
        {
            ++m_at;
            for (SkipBlanks(); !Peek('}'); SkipBlanks())
            {
                if (m_at >= m_text.size())
                    return Fail("missing '}'");
                std::unique_ptr<BehaviourNode> child = Node();
                if (child == nullptr)
                    return nullptr;
                if (!node->AddChild(child.get()))
                    return Fail(std::string(node->GetClassName()) + " refused a child");
                child.release();
            }
            ++m_at;
        }
        return node;
    }

    bool AtEnd()
    {
        SkipBlanks();
        return m_at >= m_text.size();
    }

    std::unique_ptr<BehaviourNode> Fail(const std::string& message)
    {
        m_error = message + " (at character " + std::to_string(m_at) + ")";
        return nullptr;
    }

private:
    bool Settings(BehaviourNode& node)
    {
        ++m_at;
        const size_t end = m_text.find(']', m_at);
        if (end == std::string::npos)
            return Fail("missing ']'"), false;
        const std::string body = m_text.substr(m_at, end - m_at);
        m_at = end + 1;
        size_t from = 0;
        while (from <= body.size())
        {
            size_t to = body.find(';', from);
            if (to == std::string::npos)
                to = body.size();
            const std::string setting = TrimBlanks(body.substr(from, to - from));
            from = to + 1;
            if (!setting.empty() && !Setting(node, setting))
                return false;
        }
        return true;
    }

    bool Setting(BehaviourNode& node, const std::string& setting)
    {
        const size_t equals = setting.find('=');
        if (equals == std::string::npos)
            return Fail("setting \"" + setting + "\" has no '='"), false;
        const std::string name = TrimBlanks(setting.substr(1, equals - 1));
        const std::string value = TrimBlanks(setting.substr(equals + 1));
        if (setting[0] == '@')
        {
            node.AddListener(new BehaviourTreePropertyListener(name.c_str(), value.c_str()));
            return true;
        }
        if (setting[0] == '!')
        {
            auto* decorator = dynamic_cast<BTTaskChangePropertyDecorator*>(&node);
            if (decorator == nullptr)
                return Fail("only change-property decorators take speakers"), false;
            decorator->AddSpeaker(new BehaviourTreePropertySpeaker(name.c_str(), value.c_str()));
            return true;
        }
        std::string error;
        if (!RecordFromText(node, setting, error))
            return Fail(error), false;
        return true;
    }

    bool Peek(char c) const { return m_at < m_text.size() && m_text[m_at] == c; }
    void SkipBlanks()
    {
        while (m_at < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_at])))
            ++m_at;
    }

    const std::string& m_text;
    std::string& m_error;
    size_t m_at = 0;
};
} // namespace

namespace BehaviourTreeText
{
BehaviourNode* ParseNode(const std::string& text, std::string& error)
{
    Parser parser(text, error);
    std::unique_ptr<BehaviourNode> node = parser.Node();
    if (node != nullptr && !parser.AtEnd())
        node = parser.Fail("text after the root node");
    return node.release();
}

BehaviourTree* ParseTree(const std::string& text, std::string& error)
{
    auto tree = std::make_unique<BehaviourTree>();
    const size_t equals = text.find('=');
    tree->SetName(TrimBlanks(text.substr(0, equals)).c_str());
    if (equals != std::string::npos)
    {
        BehaviourNode* root = ParseNode(text.substr(equals + 1), error);
        if (root == nullptr)
            return nullptr;
        tree->SetRoot(root);
    }
    return tree.release();
}
} // namespace BehaviourTreeText
