// Behaviour tree test support: a scripted leaf whose results each tick are set by the test, a trace
// of what the leaves were asked, and an agent that sets up, ticks and releases one context over a
// tree written in datakit's text form.
//
// A step of a scenario is a line of tokens: "A=2" (leaf A's Execute answers 2 this tick), "A?1" (its
// condition check answers 1), "A<0" (its OnEnter answers 0), "!" (the interrupt request is set
// before the tick). Unscripted leaves succeed. The trace lists, in order: "A+" enter, "A" execute,
// "A-" exit, "A!" exit while interrupted, "A?" condition check.
#pragma once

#include "core/reflection/RTTIClass.h"
#include "gameplay/behaviour/BehaviourClassRegistration.h"
#include "gameplay/behaviour/BehaviourNode.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "gameplay/behaviour/BehaviourTreeContext.h"
#include "gameplay/behaviour/BTTaskAction.h"
#include "tools/datakit/BehaviourTreeText.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>

// What the scripted leaves answer this tick and what they were asked.
struct LeafScript
{
    std::map<std::string, int32_t> execute;
    std::map<std::string, int32_t> check;
    std::map<std::string, int32_t> enter;
    std::string trace;
    std::function<void()> onExecute; // run by every scripted Execute while set

    void Record(const std::string& event)
    {
        if (!trace.empty())
            trace += ' ';
        trace += event;
    }
    static int32_t Lookup(const std::map<std::string, int32_t>& table, const std::string& name, int32_t otherwise)
    {
        const auto found = table.find(name);
        return found != table.end() ? found->second : otherwise;
    }
};

extern LeafScript gLeafScript;

// A leaf on the action protocol whose answers come from gLeafScript.
class ScriptedLeaf : public BTTaskAction
{
    RTTI_DECLARE_CLASS(ScriptedLeaf, BehaviourNode)

public:
    int32_t OnEnter(BehaviourTreeContext&, uint32_t) const override
    {
        gLeafScript.Record(Name() + "+");
        return LeafScript::Lookup(gLeafScript.enter, Name(), BT_RUNNING);
    }
    int32_t Execute(BehaviourTreeContext&, uint32_t) const override
    {
        gLeafScript.Record(Name());
        if (gLeafScript.onExecute)
            gLeafScript.onExecute();
        return LeafScript::Lookup(gLeafScript.execute, Name(), BT_SUCCESS);
    }
    void OnExit(BehaviourTreeContext&, uint32_t, bool interrupted) const override
    {
        gLeafScript.Record(Name() + (interrupted ? "!" : "-"));
    }
    int32_t CheckCondition(BehaviourTreeContext& ctx, uint32_t base) const override
    {
        gLeafScript.Record(Name() + "?");
        // A running leaf always passes, as actions do.
        return Slice(ctx, base).state != -1 ? BT_SUCCESS : LeafScript::Lookup(gLeafScript.check, Name(), BT_SUCCESS);
    }
    // The state word of this leaf's slice for an agent (-1 idle).
    int32_t StateIn(const BehaviourTreeContext& ctx, uint32_t base = 0) const { return Slice(ctx, base).state; }

private:
    std::string Name() const { return GetName().CStr(); }
};

// The behaviour tree classes and the scripted leaf, registered by name.
void RegisterBehaviourTestClasses();

// Expands "L(A)" shorthands into scripted leaves: "Seq{L(A) L(B)}" is BTTaskSequence with leaves A, B.
inline std::string ExpandTreeText(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text.compare(i, 2, "L(") == 0)
        {
            const size_t close = text.find(')', i);
            const std::string inside = text.substr(i + 2, close - i - 2);
            const size_t semicolon = inside.find(';');
            out += "ScriptedLeaf[Name=" + inside.substr(0, semicolon) +
                   (semicolon != std::string::npos ? inside.substr(semicolon) : "") + "]";
            i = close;
            continue;
        }
        out += text[i];
    }
    return out;
}

// One agent over a tree made from its text form.
class TestAgent
{
public:
    explicit TestAgent(BehaviourTree* tree) : m_tree(tree) { m_ready = m_tree->SetUpContext(m_context); }
    ~TestAgent() { Release(); }
    TestAgent(const TestAgent&) = delete;
    TestAgent& operator=(const TestAgent&) = delete;

    // Scripts the tick from a step line, ticks once and returns the root's result.
    int32_t Step(const std::string& step)
    {
        Script(step);
        return m_tree->Tick(m_context);
    }
    // Scripts the leaves (and the interrupt request) from a step line without ticking.
    void Script(const std::string& step)
    {
        gLeafScript.execute.clear();
        gLeafScript.check.clear();
        gLeafScript.enter.clear();
        std::istringstream tokens(step);
        for (std::string token; tokens >> token;)
        {
            if (token == "!")
            {
                m_context.SetInterruptRequested(true);
                continue;
            }
            const size_t at = token.find_first_of("=?<");
            const std::string name = token.substr(0, at);
            const int32_t value = std::stoi(token.substr(at + 1));
            (token[at] == '=' ? gLeafScript.execute : token[at] == '?' ? gLeafScript.check : gLeafScript.enter)[name] = value;
        }
    }
    void Release()
    {
        if (m_ready)
            m_tree->ReleaseContext(m_context);
        m_ready = false;
    }
    bool IsReady() const { return m_ready; }
    BehaviourTreeContext& Context() { return m_context; }

private:
    BehaviourTree* m_tree;
    BehaviourTreeContext m_context;
    bool m_ready = false;
};

// A tree from the shorthand text form; fails the test when the text does not parse.
inline std::unique_ptr<BehaviourTree> MakeTestTree(const std::string& text)
{
    RegisterBehaviourTestClasses();
    std::string error;
    std::unique_ptr<BehaviourTree> tree(BehaviourTreeText::ParseTree("T = " + ExpandTreeText(text), error));
    EXPECT_NE(tree, nullptr) << error << " in " << ExpandTreeText(text);
    return tree;
}
