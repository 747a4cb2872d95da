// A one-line text form of behaviour trees, for tests, the demo data and the data-template command:
//
//   tree    := name | name '=' node
//   node    := ClassName ['[' setting (';' setting)* ']'] ['{' node* '}']
//   setting := Property '=' text      a property with a text form ("Name = Walk", "Weight = 3")
//            | '@' Property '=' key   a listener binding Property to the store key
//            | '!' key '=' value      a speaker (change-property decorators)
//
// Children are added in order with AddChild. Main thread.
#pragma once

#include <string>

class BehaviourNode;
class BehaviourTree;

namespace BehaviourTreeText
{
// The node tree the text describes (owned by the caller), or null with `error` set.
BehaviourNode* ParseNode(const std::string& text, std::string& error);
// A named tree, laid out; a text without '=' names a tree without nodes.
BehaviourTree* ParseTree(const std::string& text, std::string& error);
} // namespace BehaviourTreeText
