// AnimationTreeDefinition: builds a skeleton's animation tree nodes from a mesh template's
// "Animation tree definition" text, a list of nested "Node" elements naming a tree node and its
// first bone. Runs when the template initialises (main thread, or the resource thread while the
// template loads), before anyone poses the skeleton.
#pragma once

class MeshSkeleton;

// Parser of animation tree definition texts.
namespace AnimationTreeDefinition
{
// Replaces the skeleton's tree nodes: node 0 "root" over every bone, then the defined nodes in
// depth-first order with siblings by ascending bone. Faulty elements are logged and left out with
// their subtree; false when anything was left out (a text that does not parse leaves "root" alone).
bool Parse(MeshSkeleton& skeleton, const char* text, const char* templateName);
} // namespace AnimationTreeDefinition
