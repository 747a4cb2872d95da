// AnimationTreeDefinition: builds a skeleton's animation tree nodes from a mesh template's
// "Animation tree definition" text. The parser belongs to the animation runtime, which is not built
// yet: Parse says so in the log once and leaves the skeleton's nodes as they are. Main thread.
#pragma once

class MeshSkeleton;

// Parser of animation tree definition texts.
namespace AnimationTreeDefinition
{
// False while the parser is not built.
bool Parse(MeshSkeleton& skeleton, const char* text, const char* templateName);
} // namespace AnimationTreeDefinition
